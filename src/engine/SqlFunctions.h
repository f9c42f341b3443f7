#pragma once

#include <QString>

struct sqlite3;

namespace engine {

// Registers what every connection to our database files needs: the collation
// JETTEXT (text compares without regard to case, umlauts with their letters),
// Jet's LIKE patterns (* ? # [..]) in place of SQLite's, and Len(). The
// template generator calls it too, because the schema names the collation.
void registerSqlFunctions(sqlite3 *db);

// Jet's LIKE: '*' any run, '?' one character, '#' one digit, '[abc]', '[!a-z]';
// letters match without regard to case.
bool jetLike(const QString &pattern, const QString &text);

// The order of the JETTEXT collation (<0, 0, >0).
int jetCompare(const QString &a, const QString &b);

// Password protection of a database file: a check value kept in the file.
void writePassword(sqlite3 *db, const QString &password);
QString storedPassword(sqlite3 *db);

} // namespace engine
