#pragma once

#include <QString>
#include <QVariant>
#include <functional>

// Opening, binding, releasing, closing and compacting the two databases.
void DB_Load();
void DB_Load_RS();
void DB_Bind_DATA();
void DB_Unbind_DATA();
void DB_Close();
// With checkWhenNothingToReclaim, a working database with nothing to give back is only read
// through for damage under the compaction's lock, not copied.
void DB_Kompress(bool checkWhenNothingToReclaim = false);
// Returns 1 on success, 0 after a logged error.
QVariant A_Kompress(QVariant &path, const QString &password, bool checkWhenNothingToReclaim = false);

namespace storage {

// The file-system steps of a compaction, replaceable so that a test can make
// each of them fail.
struct CompactionSteps
{
    // Writes the compacted copy and runs putInPlace while the database is
    // still locked (engine::compactDatabase).
    std::function<void(const QString &database, const QString &copy, const QString &password,
                       const std::function<void()> &putInPlace)>
        compact;
    // Puts a file in place of another in one step; false when it could not.
    std::function<bool(const QString &from, const QString &to)> rename;
    // Deletes a file; false when it is still there.
    std::function<bool(const QString &path)> remove;
};

// The steps in use; resetCompactionSteps brings back the real ones.
CompactionSteps &compactionSteps();
void resetCompactionSteps();

// The name of a database's compacted copy: beside it, and tied to its name,
// so that only its own copy can ever take its place.
QString compactedCopyOf(const QString &database);

// Raises an error when the working database cannot take an import: the last
// compaction found the file damaged, or DB_Load left it or one of its record
// sets unopened.
void requireWorkingDatabase();

} // namespace storage
