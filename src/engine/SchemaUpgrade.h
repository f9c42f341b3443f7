// The rewrite of files in an earlier form into the form the program writes.
#pragma once

#include <QString>

struct sqlite3;

namespace engine {

// Files written by earlier versions of the program declare their text columns
// COLLATE JETTEXT, a collation only this engine registers, so no other SQLite
// tool can check, dump or query them. The rewrite gives every such table the
// NOCASE of today's templates: the table is rebuilt under its own name with
// its rows (rowids included), indexes and triggers, all tables in one
// transaction, and the row counts are compared before the old ones go.
// The connection must have the engine's functions registered, because the
// old schema cannot be read without them.

// True when the file still names the old collation.
bool hasOldCollation(sqlite3 *db);

// Rewrites the file if it needs it. False when it still has the old form
// afterwards (read-only or busy file, full disk); the file is then unchanged
// and still works through the engine.
bool upgradeOldCollation(sqlite3 *db);

// The same for a file nobody has open, compacted afterwards; for the copy a
// compaction wrote.
bool upgradeFile(const QString &path);

} // namespace engine
