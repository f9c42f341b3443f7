// The collation and functions the engine's statements need in SQLite, and the file's password check.
#pragma once

#include <QString>

struct sqlite3;

namespace engine {

// Registers what the engine's statements need: the collation JETTEXT (text
// compares without regard to case, umlauts with their letters), Jet's LIKE
// patterns (* ? # [..]) in place of SQLite's, Len(), and jet_ascii_sort(...),
// which is true when every text given is plain ASCII and fails the statement
// with kBeyondAscii otherwise. The stored files need none of it.
void registerSqlFunctions(sqlite3 *db);

inline constexpr const char *kBeyondAscii = "sorted text beyond ASCII";

// Jet's LIKE: '*' any run, '?' one character, '#' one digit, '[abc]', '[!a-z]';
// letters match without regard to case.
bool jetLike(const QString &pattern, const QString &text);

// The order of the JETTEXT collation (<0, 0, >0).
int jetCompare(const QString &a, const QString &b);

// The sort key of a UTF-8 text (what jet_sortkey() gives): its bytes
// compare as the JETTEXT collation compares the texts. Writes at most
// sortKeyCapacity(n) bytes from `out` on and returns the end.
unsigned char *writeSortKey(const unsigned char *text, int n, unsigned char *out);
// A byte of text gives at most one unit ("ß", two bytes, gives two), a unit
// at most three bytes of key.
constexpr unsigned long long sortKeyCapacity(int n) { return 6ULL * (unsigned long long)(n < 0 ? 0 : n) + 1; }

// Password protection of a database file: a check value kept in the file.
void writePassword(sqlite3 *db, const QString &password);
QString storedPassword(sqlite3 *db);

} // namespace engine
