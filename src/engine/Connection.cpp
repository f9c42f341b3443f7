#include "engine/Connection.h"

#include "engine/Database.h"
#include "engine/EngineError.h"
#include "engine/SqlFunctions.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <QStringEncoder>
#include <map>
#include <utility>
#include <vector>

namespace engine {

namespace {

// Built once and never destroyed: handles kept by other long-lived objects
// may still close their connection while the program's statics go away.
std::map<QString, std::weak_ptr<Connection>> &registry()
{
    static auto *r = new std::map<QString, std::weak_ptr<Connection>>;
    return *r;
}

quint64 inodeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return (quint64(st.st_dev) << 40) ^ quint64(st.st_ino);
}

QString keyOf(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

int g_lockWaitMs = 5000;

} // namespace

int lockWait()
{
    return g_lockWaitMs;
}

void setLockWait(int ms)
{
    g_lockWaitMs = ms > 0 ? ms : 5000;
}

std::shared_ptr<Connection> Connection::find(const QString &path)
{
    auto &reg = registry();
    auto it = reg.find(keyOf(path));
    if (it == reg.end())
        return {};
    auto conn = it->second.lock();
    if (!conn || !conn->alive())
        return {};
    return conn;
}

std::shared_ptr<Connection> Connection::acquire(const QString &path, bool &alreadyOpen)
{
    const QString key = keyOf(path);
    const quint64 inode = inodeOf(path);
    auto &reg = registry();
    auto it = reg.find(key);
    if (it != reg.end()) {
        if (auto conn = it->second.lock(); conn && conn->alive()) {
            if (conn->m_inode == inode) {
                alreadyOpen = true;
                return conn;
            }
            // The file was replaced behind the connection: never mix the two.
            conn->shutdown();
        }
        reg.erase(key);
    }
    alreadyOpen = false;
    std::shared_ptr<Connection> conn(new Connection);
    conn->m_path = path;
    conn->m_key = key;
    conn->m_inode = inode;
    const QString source = QStringLiteral("DAO.DBEngine");
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &conn->m_db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(conn->m_db);
        conn->m_db = nullptr;
        throw EngineError(rc == SQLITE_CANTOPEN ? err::FileNotFound : err::CannotOpenFile, source, path);
    }
    registerSqlFunctions(conn->m_db);
    // Tells a duplicate key from a missing required value (3022 / 3314).
    sqlite3_extended_result_codes(conn->m_db, 1);
    sqlite3_busy_timeout(conn->m_db, lockWait());
    rc = sqlite3_exec(conn->m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(conn->m_db);
        conn->m_db = nullptr;
        throw EngineError(fileErrorNumber(rc, err::CannotOpenFile), source, path);
    }
    // WAL keeps each commit cheap and a killed program leaves no half-written
    // transaction; the journal is folded back before the file is ever copied.
    sqlite3_exec(conn->m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(conn->m_db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    sqlite3_exec(conn->m_db, "PRAGMA temp_store=MEMORY", nullptr, nullptr, nullptr);
    reg[key] = conn;
    return conn;
}

void Connection::closeAll()
{
    std::vector<std::shared_ptr<Connection>> open;
    for (const auto &[key, weak] : registry()) {
        if (auto conn = weak.lock())
            open.push_back(std::move(conn));
    }
    for (const auto &conn : open)
        conn->shutdown();
}

Connection::~Connection()
{
    shutdown();
}

void Connection::shutdown()
{
    if (!m_db)
        return;
    endOpenReads(true);
    for (sqlite3_stmt *st : std::as_const(m_cache))
        sqlite3_finalize(st);
    m_cache.clear();
    ++m_generation;
    m_columns.clear();
    if (m_depth > 0 && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_depth = 0;
    m_lost = 0;
    m_unitOpen = false;
    m_unitFailure = 0;
    sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    auto &reg = registry();
    auto it = reg.find(m_key);
    if (it != reg.end()) {
        auto other = it->second.lock();
        if (!other || other.get() == this)
            reg.erase(it);
    }
}

sqlite3 *Connection::db(const QString &source) const
{
    if (!m_db)
        throw EngineError(err::ObjectClosed, source);
    return m_db;
}

int Connection::fileErrorNumber(int rc, int otherwise)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        // The whole file is locked, by another program or during a compaction.
        return err::FileInUse;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return err::UnrecognizedFormat;
    case SQLITE_CANTOPEN:
        return err::CannotOpenFile;
    default:
        return otherwise;
    }
}

namespace {

// Failures of the file or its locks rather than of the statement or its row:
// whatever the unit wrote before cannot be trusted to stand with what it
// still has to write.
bool concernsTheFile(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_NOMEM:
    case SQLITE_READONLY:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_ABORT:
    case SQLITE_INTERRUPT:
    case SQLITE_PROTOCOL:
        return true;
    default:
        return false;
    }
}

} // namespace

void Connection::raise(int rc, const QString &source, const QString &context)
{
    const QString msg = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    const int primary = rc & 0xff;
    int number = err::ReservedError;
    if (primary == SQLITE_CONSTRAINT) {
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            number = err::DuplicateKey;
        else if (rc == SQLITE_CONSTRAINT_NOTNULL)
            number = err::NullNotAllowed;
    } else if (primary == SQLITE_FULL) {
        // As the compaction reports a full disk.
        number = err::DiskFull;
    } else if (primary == SQLITE_READONLY) {
        number = err::ReadOnly;
    } else if (const int fileError = fileErrorNumber(rc, 0)) {
        number = fileError;
    } else if (msg.contains(QLatin1String("no such table"))) {
        number = err::TableNotFound;
    } else if (msg.contains(QLatin1String("no such column"))) {
        number = err::TooFewParameters;
    } else if (primary == SQLITE_ERROR) {
        number = err::SyntaxError;
    }
    QString text = msg;
    if (!context.isEmpty())
        text += QStringLiteral(" in: ") + context;
    EngineError error(number, source, text);
    const bool endedNow = m_lost == 0 && noticeEndedTransaction(number);
    if (m_unitOpen && m_unitFailure == 0 && (endedNow || concernsTheFile(rc))) {
        m_unitFailure = number;
        error.setSpoilsUnit();
    }
    throw error;
}

sqlite3_stmt *Connection::cached(const QString &sql, const QString &source)
{
    auto it = m_cache.constFind(sql);
    if (it != m_cache.constEnd()) {
        beforeRunning(*it);
        return *it;
    }
    sqlite3_stmt *st = prepare(sql, source);
    if (m_cache.size() > 400) {
        for (sqlite3_stmt *old : std::as_const(m_cache))
            sqlite3_finalize(old);
        m_cache.clear();
        ++m_generation;
    }
    m_cache.insert(sql, st);
    return st;
}

sqlite3_stmt *Connection::prepare(const QString &sql, const QString &source)
{
    sqlite3 *d = db(source);
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *st = nullptr;
    const int rc = sqlite3_prepare_v2(d, utf8.constData(), int(utf8.size()), &st, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        raise(rc, source, sql);
    }
    beforeRunning(st);
    return st;
}

void Connection::exec(const QString &sql, const QString &source)
{
    db(source);
    endOpenReads(false);
    execTemporary(sql, source);
}

void Connection::addOpenRead(const void *owner, std::function<void(bool)> finish)
{
    m_openReads.emplace_back(owner, std::move(finish));
}

void Connection::removeOpenRead(const void *owner)
{
    std::erase_if(m_openReads, [owner](const auto &r) { return r.first == owner; });
    if (m_openReads.empty())
        runPendingDrops();
}

void Connection::execTemporary(const QString &sql, const QString &source)
{
    sqlite3 *d = db(source);
    char *errmsg = nullptr;
    const int rc = sqlite3_exec(d, sql.toUtf8().constData(), nullptr, nullptr, &errmsg);
    sqlite3_free(errmsg);
    if (rc != SQLITE_OK)
        raise(rc, source, sql);
}

void Connection::dropTemporary(const QString &table, const QString &source)
{
    if (!m_openReads.empty()) {
        m_pendingDrops << table;
        return;
    }
    exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(table), source);
}

void Connection::runPendingDrops()
{
    // Only tables of sets already gone: a failure leaves a table in memory
    // until the connection closes, nothing else.
    const QStringList drops = std::exchange(m_pendingDrops, {});
    for (const QString &table : drops)
        sqlite3_exec(m_db, QStringLiteral("DROP TABLE IF EXISTS %1").arg(table).toUtf8().constData(), nullptr, nullptr,
                     nullptr);
}

void Connection::beforeRunning(sqlite3_stmt *st)
{
    if (!m_openReads.empty() && !sqlite3_stmt_readonly(st))
        endOpenReads(false);
}

void Connection::endOpenReads(bool closing)
{
    // Each one removes itself when it ends; removing it again is harmless.
    while (!m_openReads.empty()) {
        const auto finish = m_openReads.front().second;
        const void *owner = m_openReads.front().first;
        finish(closing);
        removeOpenRead(owner);
    }
}

void Connection::begin(const QString &source)
{
    if (m_depth == 0) {
        exec(QStringLiteral("BEGIN"), source);
        m_failedCommit = false;
    }
    ++m_depth;
}

void Connection::commit(const QString &source)
{
    if (m_depth == 0)
        throw EngineError(3034, source, QStringLiteral("Kein BeginTrans"));
    if (m_depth > 1) {
        --m_depth;
        return;
    }
    db(source);
    // Also one ended by a step whose failure nobody reported.
    noticeEndedTransaction(err::ReservedError);
    if (const int lost = m_lost) {
        rollback(source);
        m_failedCommit = true;
        throw EngineError(lost, source, QStringLiteral("Die Transaktion wurde von der Datenbank zurückgenommen"));
    }
    try {
        exec(QStringLiteral("COMMIT"), source);
    } catch (const EngineError &) {
        m_depth = 0;
        m_lost = 0;
        m_unitOpen = false;
        m_unitFailure = 0;
        m_failedCommit = true;
        if (m_db && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    m_depth = 0;
}

void Connection::rollback(const QString &source)
{
    // The usual answer to a failed commit finds nothing left to take back.
    if (m_depth == 0 && std::exchange(m_failedCommit, false))
        return;
    if (m_depth == 0)
        throw EngineError(3034, source, QStringLiteral("Kein BeginTrans"));
    m_depth = 0;
    m_lost = 0;
    m_unitOpen = false;
    m_unitFailure = 0;
    if (sqlite3_get_autocommit(db(source)))
        return; // SQLite ended it already
    exec(QStringLiteral("ROLLBACK"), source);
}

bool Connection::noticeEndedTransaction(int number)
{
    if (m_lost != 0)
        return true;
    if (!m_db || m_depth == 0 || !sqlite3_get_autocommit(m_db))
        return false;
    // Going on would store every later statement on its own. The new
    // transaction only keeps them together until the commit refuses them.
    m_lost = number;
    sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    return true;
}

void Connection::beginUnit(const QString &source)
{
    if (m_depth == 0)
        throw EngineError(3034, source, QStringLiteral("Kein BeginTrans"));
    m_unitOpen = true;
    // A transaction already ended spoils the unit before its first step.
    m_unitFailure = noticeEndedTransaction(err::ReservedError) ? m_lost : 0;
}

int Connection::endUnit(const QString &source)
{
    if (!m_unitOpen)
        return 0;
    m_unitOpen = false;
    int failure = std::exchange(m_unitFailure, 0);
    if (failure == 0 && noticeEndedTransaction(err::ReservedError))
        failure = m_lost;
    if (failure == 0)
        return 0;
    // The whole transaction goes: a savepoint per unit would keep the units
    // before it, but would copy every page each unit touches.
    m_depth = 0;
    m_lost = 0;
    if (!sqlite3_get_autocommit(db(source)))
        exec(QStringLiteral("ROLLBACK"), source);
    return failure;
}

QString Connection::tableName(const QString &name)
{
    sqlite3_stmt *st = cached(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name = ? COLLATE NOCASE"),
        QStringLiteral("DAO.Database"));
    StmtGuard g(st);
    bindValue(st, 1, name);
    if (sqlite3_step(st) == SQLITE_ROW)
        return columnValue(st, 0).toString();
    return {};
}

const std::vector<ColumnInfo> &Connection::columns(const QString &table)
{
    auto it = m_columns.find(table);
    if (it != m_columns.end())
        return *it;
    std::vector<ColumnInfo> cols;
    sqlite3_stmt *st = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdent(table)), QStringLiteral("DAO.Database"));
    while (sqlite3_step(st) == SQLITE_ROW) {
        ColumnInfo c;
        c.name = columnValue(st, 1).toString();
        c.declType = columnValue(st, 2).toString();
        QVariant dflt = columnValue(st, 4);
        if (dflt.isValid()) {
            QString d = dflt.toString();
            if (d.startsWith(QLatin1Char('\'')) && d.endsWith(QLatin1Char('\'')) && d.size() >= 2)
                dflt = d.mid(1, d.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
            else if (d.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
                dflt = QVariant();
            else
                dflt = d.toLongLong();
        }
        c.defaultValue = dflt;
        cols.push_back(c);
    }
    sqlite3_finalize(st);
    return *m_columns.insert(table, cols);
}

StmtGuard::~StmtGuard()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        if (m_clear)
            sqlite3_clear_bindings(m_stmt);
    }
}

QString quoteIdent(const QString &name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

namespace {

// Text as UTF-8 through one buffer kept for the next value: every value an
// import stores passes here, and SQLite copies it anyway.
void bindText(sqlite3_stmt *st, int index, QStringView text)
{
    static thread_local QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    static thread_local std::vector<char> buffer;
    buffer.resize(size_t(encoder.requiredSpace(text.size())) + 1);
    const char *end = encoder.appendToBuffer(buffer.data(), text);
    sqlite3_bind_text(st, index, buffer.data(), int(end - buffer.data()), SQLITE_TRANSIENT);
}

} // namespace

void bindValue(sqlite3_stmt *st, int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(st, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(st, index, value.toBool() ? -1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Short:
        sqlite3_bind_int64(st, index, value.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_bind_double(st, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
        sqlite3_bind_blob(st, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QString:
        bindText(st, index, *static_cast<const QString *>(value.constData()));
        break;
    default:
        bindText(st, index, value.toString());
        break;
    }
}

QVariant columnValue(sqlite3_stmt *st, int col)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(st, col)));
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, col);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(st, col)), sqlite3_column_bytes(st, col));
    default: {
        const char *p = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
        const int n = sqlite3_column_bytes(st, col);
        QString s = QString::fromUtf8(p, n);
        if (s.isNull())
            s = QLatin1String("");
        return s;
    }
    }
}

} // namespace engine
