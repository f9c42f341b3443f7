// A handle on a database file as the program opens it: record sets, statements, transactions.
#pragma once

#include "engine/EngineError.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace engine {

class Connection;
class Recordset;

constexpr int dbOpenDynaset = 2;

// A handle on one database file. Every handle on the same file shares one
// SQLite connection, so two handles see the same data at once and a pending
// read of one never blocks a write of the other.
class Database : public std::enable_shared_from_this<Database>
{
public:
    // connect: "" or "; pwd=<password>". A file protected by a password opens
    // without one only while the program already holds it open.
    static std::shared_ptr<Database> open(const QString &path, bool exclusive = false, bool readOnly = false,
                                          const QString &connect = {});
    ~Database();

    void close();
    bool isOpen() const { return m_conn != nullptr; }
    QString path() const { return m_path; }
    bool readOnly() const { return m_readOnly; }

    std::shared_ptr<Recordset> openRecordset(const QString &source, int type = dbOpenDynaset);
    // A join whose rows after the first ones are read between events (lists).
    std::shared_ptr<Recordset> openRecordsetReadingOn(const QString &source);

    // Runs a statement that returns no rows (fixtures, maintenance).
    void execute(const QString &sql);

    // The share of the file's pages that are free (0 to 1): what a
    // compaction could give back.
    double freeShare();

    // Transactions nest; only the outermost commit writes. A commit that
    // fails, or one after SQLite ended the transaction on its own, stores
    // nothing of it and raises the error.
    void beginTrans();
    void commitTrans();
    void rollback();

    // One unit of data (a business) inside the open transaction, kept whole
    // or taken back with its transaction (Connection::beginUnit). endUnit
    // gives the number of the error that spoilt it, 0 when it stands.
    void beginUnit();
    int endUnit();

    std::shared_ptr<Connection> connection() const;

private:
    Database() = default;
    void requireOpen() const;
    std::shared_ptr<Recordset> openSet(const QString &source, bool background);

    QString m_path;
    bool m_readOnly = false;
    std::shared_ptr<Connection> m_conn;
    std::vector<std::weak_ptr<Recordset>> m_recordsets;
};

// Writes a compacted copy of the database at source to target (which must
// not exist). Connections the program still holds on the source are
// checkpointed and closed first, so that no stale journal follows the file.
// The source is locked exclusively from before the copy until whileLocked has
// run, so that whileLocked can put the copy in place of the source before
// anyone writes again. Fails with 3045 when another connection, of another
// process or opened apart from the program's own, holds the source open: its
// later commits would go to a file that no longer bears the name.
void compactDatabase(const QString &source, const QString &target, const QString &password = {},
                     const std::function<void()> &whileLocked = {});

// Below this share of free pages a compacted copy would hold the same data
// in nearly as many pages: there is nothing to give back.
constexpr double kNothingToReclaim = 0.05;

// For a database with almost no free page, of today's form: takes the lock
// and fails as compactDatabase would, then reads every page as its copy
// would (a damaged file fails with 3343) and leaves the file as it is, since
// a copy would hold the same data. True when it did that; false, having
// left the file alone, when a compaction would give pages back.
bool checkInsteadOfCompacting(const QString &source, const QString &password = {});

// Closes the program's connection to a file before the file is replaced,
// renamed or copied; handles still on it fail with error 3420 from then on.
void releaseFile(const QString &path);

// Closes every database the program has open, so that each file stands
// complete on its own, without a journal beside it.
void releaseAllFiles();

// How long a statement waits for another program's lock on the file before
// it fails with 3045; applies to files opened afterwards. Tests shorten it.
int lockWait();
void setLockWait(int ms);

// True when the value is the database's Null (an empty text is not Null).
inline bool isNull(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

} // namespace engine
