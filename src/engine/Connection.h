// The shared SQLite connection of a database file: statements, transactions, reads kept open.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace engine {

struct ColumnInfo
{
    QString name;
    QString declType;
    QVariant defaultValue;
};

// One SQLite connection per database file, shared by every handle on it.
class Connection
{
public:
    static std::shared_ptr<Connection> acquire(const QString &path, bool &alreadyOpen);
    static std::shared_ptr<Connection> find(const QString &path);
    // Folds every journal back into its file and closes every connection;
    // handles still on them fail with error 3420 from then on.
    static void closeAll();
    ~Connection();

    sqlite3 *db(const QString &source) const;
    bool alive() const { return m_db != nullptr; }
    const QString &path() const { return m_path; }

    // Statements kept prepared for reuse; the guard resets them after use.
    sqlite3_stmt *cached(const QString &sql, const QString &source);
    sqlite3_stmt *prepare(const QString &sql, const QString &source); // caller finalizes
    void exec(const QString &sql, const QString &source);
    // Raises the engine error of a failed step. It first asks SQLite whether
    // the step ended the open transaction (SQLite rolls a transaction back on
    // its own after a full disk, an I/O error or too little memory): the
    // engine then still counts it open, holds a new one that is never
    // committed, so that nothing written afterwards is stored piecemeal, and
    // the outermost commit fails.
    [[noreturn]] void raise(int rc, const QString &source, const QString &context = {});
    // The error number of a result code that concerns the whole file (in use,
    // damaged, not to be opened); `otherwise` for every other code.
    static int fileErrorNumber(int rc, int otherwise);

    void begin(const QString &source);
    // A commit that fails takes the whole transaction back: SQLite may have
    // done so already, and the engine never counts a transaction open that
    // SQLite has ended. A rollback right after it has nothing left to do.
    void commit(const QString &source);
    void rollback(const QString &source);
    int transactionDepth() const { return m_depth; }

    // A unit of the user's data (one business) inside the open transaction,
    // written whole or not at all. The first step of the unit that fails on
    // the file itself (locked, full, unreadable, rolled back by SQLite)
    // spoils it: its error says so (EngineError::spoilsUnit), and endUnit
    // takes back the whole transaction, the units before it included, so
    // that no unit is left half written. A step refused for its own row (a
    // duplicate key, a missing required value) spoils nothing.
    void beginUnit(const QString &source);
    // The error number that spoilt the unit, whose transaction is then gone;
    // 0 when the unit stands.
    int endUnit(const QString &source);

    // Looks up a table without regard to case; returns its stored name or "".
    QString tableName(const QString &name);
    const std::vector<ColumnInfo> &columns(const QString &table);

    int nextTempId() { return ++m_tempId; }

    // Statements that stay open between calls: keysets whose rows are still
    // being read. SQLite refuses to drop a table while any statement reads,
    // and a write could change what is still to come; so they are read to
    // their end before the connection writes (or runs any text through
    // exec), and finalized before it closes. `finish` gets true when the
    // connection closes.
    void addOpenRead(const void *owner, std::function<void(bool closing)> finish);
    // A statement that writes only the connection's temporary tables: it
    // changes nothing an open read reads, and runs beside it.
    void execTemporary(const QString &sql, const QString &source);
    // Drops a temporary table at once or, while reads are open (SQLite
    // refuses a drop beside them), as soon as the last one has ended.
    void dropTemporary(const QString &table, const QString &source);
    void removeOpenRead(const void *owner);
    // Changes whenever kept statements are finalized (a full cache, the
    // end of the connection): a statement taken from the cache before is
    // gone then.
    quint64 statementGeneration() const { return m_generation; }
    void shutdown();

private:
    Connection() = default;
    QString m_path;
    QString m_key;
    quint64 m_inode = 0;
    sqlite3 *m_db = nullptr;
    QHash<QString, sqlite3_stmt *> m_cache;
    QHash<QString, std::vector<ColumnInfo>> m_columns;
    int m_depth = 0;
    int m_lost = 0;
    bool m_failedCommit = false;
    bool m_unitOpen = false;
    int m_unitFailure = 0;
    int m_tempId = 0;
    quint64 m_generation = 0;
    std::vector<std::pair<const void *, std::function<void(bool)>>> m_openReads;
    QStringList m_pendingDrops;
    // True when SQLite has ended the transaction the engine counts open;
    // the first time, notes number as the cause.
    bool noticeEndedTransaction(int number);
    void runPendingDrops();
    void endOpenReads(bool closing);
    // The statement about to run may write: the open reads end first.
    void beforeRunning(sqlite3_stmt *st);
};

// Resets a cached statement when it goes out of scope, and clears its
// parameters unless every use binds all of them anew.
class StmtGuard
{
public:
    enum Bindings { Clear, AllBoundEachTime };
    explicit StmtGuard(sqlite3_stmt *s, Bindings b = Clear) : m_stmt(s), m_clear(b == Clear) {}
    ~StmtGuard();
    StmtGuard(const StmtGuard &) = delete;
    StmtGuard &operator=(const StmtGuard &) = delete;
    sqlite3_stmt *get() const { return m_stmt; }

private:
    sqlite3_stmt *m_stmt;
    bool m_clear;
};

QString quoteIdent(const QString &name);
void bindValue(sqlite3_stmt *st, int index, const QVariant &value);
QVariant columnValue(sqlite3_stmt *st, int col);

} // namespace engine
