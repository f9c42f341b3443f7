#include "engine/Database.h"

#include "engine/Connection.h"
#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "engine/PlannerStatistics.h"
#include "engine/SchemaUpgrade.h"
#include "engine/SqlFunctions.h"
#include "platform/FileSystem.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace engine {

bool passwordMatches(sqlite3 *db, const QString &password); // SqlFunctions.cpp

namespace {
const QString kSource = QStringLiteral("DAO.Database");

std::optional<QString> passwordOf(const QString &connect)
{
    static const QRegularExpression re(QStringLiteral("(?:^|;)\\s*pwd\\s*=([^;]*)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(connect);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1);
}
} // namespace

std::shared_ptr<Database> Database::open(const QString &path, bool exclusive, bool readOnly, const QString &connect)
{
    Q_UNUSED(exclusive); // one program, one user: sharing needs no lock of its own
    const QString source = QStringLiteral("DAO.Workspace");
    if (path.isEmpty())
        throw EngineError(err::FileNotFound, source, QStringLiteral("Kein Dateiname"));
    const QString found = platform::findPath(path);
    if (found.isEmpty() || QFileInfo(found).isDir()) {
        const bool dirExists = platform::pathExists(QFileInfo(path).path());
        throw EngineError(dirExists ? err::FileNotFound : err::PathNotFound, source,
                          QStringLiteral("'%1' nicht gefunden").arg(path));
    }
    bool alreadyOpen = false;
    std::shared_ptr<Connection> conn = Connection::acquire(found, alreadyOpen);
    const std::optional<QString> pwd = passwordOf(connect);
    if (!(alreadyOpen && !pwd)) {
        if (!passwordMatches(conn->db(source), pwd.value_or(QString())))
            throw EngineError(err::InvalidPassword, source);
    }
    // A file of the old form is rewritten the first time the program opens
    // it; one that cannot be written stays readable through the engine.
    if (!alreadyOpen) {
        upgradeOldCollation(conn->db(source));
        addListIndexes(conn->db(source));
        writePlannerStatistics(conn->db(source));
    }
    std::shared_ptr<Database> db(new Database);
    db->m_path = path;
    db->m_readOnly = readOnly;
    db->m_conn = std::move(conn);
    return db;
}

Database::~Database() = default;

void Database::requireOpen() const
{
    if (!m_conn || !m_conn->alive())
        throw EngineError(err::ObjectClosed, kSource);
}

void Database::close()
{
    if (!m_conn)
        throw EngineError(err::ObjectClosed, kSource);
    for (auto &weak : m_recordsets) {
        if (auto rs = weak.lock(); rs && rs->isOpen())
            rs->close();
    }
    m_recordsets.clear();
    m_conn.reset();
}

std::shared_ptr<Connection> Database::connection() const
{
    requireOpen();
    return m_conn;
}

std::shared_ptr<Recordset> Database::openRecordset(const QString &source, int type)
{
    Q_UNUSED(type);
    return openSet(source, false);
}

std::shared_ptr<Recordset> Database::openRecordsetReadingOn(const QString &source)
{
    return openSet(source, true);
}

std::shared_ptr<Recordset> Database::openSet(const QString &source, bool background)
{
    requireOpen();
    auto rs = Recordset::open(m_conn, source, m_readOnly, background);
    // Forget handles of sets that are gone, so the list does not grow with every reopen.
    std::erase_if(m_recordsets, [](const std::weak_ptr<Recordset> &w) { return w.expired(); });
    m_recordsets.push_back(rs);
    return rs;
}

void Database::execute(const QString &sql)
{
    requireOpen();
    if (m_readOnly)
        throw EngineError(err::ReadOnly, kSource);
    m_conn->exec(engineSql(sql), kSource);
}

namespace {

// The share of a file's pages that are free (0 to 1), -1 for a file without
// any page; an SQLite result code other than SQLITE_OK in `rc` when the file
// could not be asked.
double freePageShare(sqlite3 *db, int &rc)
{
    const auto pragma = [db, &rc](const char *sql) {
        sqlite3_stmt *st = nullptr;
        qint64 value = 0;
        rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) {
                value = sqlite3_column_int64(st, 0);
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(st);
        return double(value);
    };
    const double pages = pragma("PRAGMA page_count");
    if (rc != SQLITE_OK)
        return 0.0;
    if (pages <= 0)
        return -1.0;
    const double free = pragma("PRAGMA freelist_count");
    return rc == SQLITE_OK ? free / pages : 0.0;
}

} // namespace

double Database::freeShare()
{
    requireOpen();
    int rc = SQLITE_OK;
    const double share = freePageShare(m_conn->db(kSource), rc);
    if (rc != SQLITE_OK)
        m_conn->raise(rc, kSource, QStringLiteral("PRAGMA freelist_count"));
    return std::max(share, 0.0);
}

void Database::beginTrans()
{
    requireOpen();
    m_conn->begin(kSource);
}

void Database::commitTrans()
{
    requireOpen();
    m_conn->commit(kSource);
}

void Database::rollback()
{
    requireOpen();
    m_conn->rollback(kSource);
}

void Database::beginUnit()
{
    requireOpen();
    m_conn->beginUnit(kSource);
}

int Database::endUnit()
{
    requireOpen();
    return m_conn->endUnit(kSource);
}

void releaseFile(const QString &path)
{
    const QString found = platform::findPath(path);
    if (found.isEmpty())
        return;
    if (auto conn = Connection::find(found))
        conn->shutdown();
}

void releaseAllFiles()
{
    Connection::closeAll();
}

namespace {

// How long a compaction waits for another connection to let go of the file.
// One that merely holds it open never does, so the wait is short.
constexpr int kLockWaitMs = 500;

int compactionError(int rc, int otherwise)
{
    return (rc & 0xff) == SQLITE_FULL ? err::DiskFull : Connection::fileErrorNumber(rc, otherwise);
}

} // namespace

namespace {

// The database at sourcePath opened for a compaction: the program's own
// connections checkpointed and closed, the file locked exclusively (until
// the returned connection closes), its password checked and its journal
// emptied into it. `fail` closes what was opened and throws.
sqlite3 *openLocked(const QString &found, const QString &sourcePath, const QString &password,
                    const std::function<void(sqlite3 *, int, const QString &)> &fail)
{
    const QString source = QStringLiteral("DAO.DBEngine");
    // Our own connection is checkpointed and closed first: VACUUM INTO refuses
    // to run beside a pending statement, and the copy must carry every commit.
    releaseFile(found);
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(found).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw EngineError(err::CannotOpenFile, source, sourcePath);
    }
    registerSqlFunctions(db);
    sqlite3_busy_timeout(db, kLockWaitMs);
    // Every other connection keeps a shared lock on a file in write-ahead
    // mode for as long as it has it open, so the exclusive lock is granted
    // only when there is none. In exclusive locking mode it stays held after
    // the transaction, until this connection closes.
    int rc = sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(db, compactionError(rc, err::CannotOpenFile), sourcePath);
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(db, compactionError(rc, err::CannotOpenFile), sourcePath);
    if (!passwordMatches(db, password))
        fail(db, err::InvalidPassword, sourcePath);
    // The journal is emptied into the file first: once the copy has taken the
    // name, a journal left beside it would be replayed into the wrong file.
    rc = sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(db, compactionError(rc, err::ReservedError), QString::fromUtf8(sqlite3_errmsg(db)));
    return db;
}

QString existingSource(const QString &sourcePath)
{
    const QString found = platform::findPath(sourcePath);
    if (found.isEmpty() || QFileInfo(found).isDir()) {
        const bool dirExists = platform::pathExists(QFileInfo(sourcePath).path());
        throw EngineError(dirExists ? err::FileNotFound : err::PathNotFound, QStringLiteral("DAO.DBEngine"), sourcePath);
    }
    return found;
}

} // namespace

void compactDatabase(const QString &sourcePath, const QString &target, const QString &password,
                     const std::function<void()> &whileLocked)
{
    const QString source = QStringLiteral("DAO.DBEngine");
    const QString found = existingSource(sourcePath);
    const QString targetPath = QDir::fromNativeSeparators(target);
    if (platform::pathExists(targetPath))
        throw EngineError(err::DatabaseExists, source, targetPath);
    if (!QFileInfo(targetPath).absoluteDir().exists())
        throw EngineError(err::PathNotFound, source, targetPath);
    auto fail = [&](sqlite3 *db, int number, const QString &text) {
        sqlite3_close(db);
        // A half-written copy must never be taken for the compacted database.
        QFile::remove(targetPath);
        QFile::remove(targetPath + QStringLiteral("-journal"));
        throw EngineError(number, source, text);
    };
    sqlite3 *db = openLocked(found, sourcePath, password, fail);
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db, "VACUUM INTO ?", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        const QByteArray t = QFile::encodeName(targetPath);
        sqlite3_bind_text(st, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    const QString msg = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    if (rc != SQLITE_OK)
        fail(db, compactionError(rc, err::ReservedError), msg);
    // The copy of a file of the old form that was never opened is rewritten
    // before it takes the source's place; when that fails it stays a
    // complete copy that the next open rewrites.
    upgradeFile(targetPath);
    try {
        if (whileLocked)
            whileLocked();
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

bool checkInsteadOfCompacting(const QString &sourcePath, const QString &password)
{
    const QString source = QStringLiteral("DAO.DBEngine");
    const QString found = existingSource(sourcePath);
    auto fail = [&](sqlite3 *db, int number, const QString &text) {
        sqlite3_close(db);
        throw EngineError(number, source, text);
    };
    sqlite3 *db = openLocked(found, sourcePath, password, fail);
    int rc = SQLITE_OK;
    const double share = freePageShare(db, rc);
    const bool nothingToReclaim = rc == SQLITE_OK && share >= 0 && share < kNothingToReclaim && !hasOldCollation(db);
    if (!nothingToReclaim) {
        sqlite3_close(db);
        return false;
    }
    // Every page read, as the copy would read it: a damaged file shows here.
    sqlite3_stmt *st = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW)
            rc = qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), "ok") == 0 ? SQLITE_OK
                                                                                                 : SQLITE_CORRUPT;
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_OK)
        fail(db, compactionError(rc, err::ReservedError), QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_close(db);
    return true;
}

} // namespace engine
