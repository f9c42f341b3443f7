#include "engine/Database.h"

#include "engine/Connection.h"
#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"
#include "platform/FileSystem.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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
    requireOpen();
    auto rs = Recordset::open(m_conn, source, m_readOnly);
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
    m_conn->exec(translateJetSql(sql), kSource);
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

void releaseFile(const QString &path)
{
    const QString found = platform::findPath(path);
    if (found.isEmpty())
        return;
    if (auto conn = Connection::find(found))
        conn->shutdown();
}

void compactDatabase(const QString &sourcePath, const QString &target, const QString &password)
{
    const QString source = QStringLiteral("DAO.DBEngine");
    const QString found = platform::findPath(sourcePath);
    if (found.isEmpty())
        throw EngineError(err::FileNotFound, source, sourcePath);
    if (platform::pathExists(target))
        throw EngineError(3204, source, QStringLiteral("Die Datenbank existiert bereits: ") + target);
    releaseFile(found);
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(found).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw EngineError(err::CannotOpenFile, source, sourcePath);
    }
    registerSqlFunctions(db);
    if (!password.isEmpty() && !passwordMatches(db, password)) {
        sqlite3_close(db);
        throw EngineError(err::InvalidPassword, source);
    }
    const QString targetPath = QDir::fromNativeSeparators(target);
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
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        QFile::remove(targetPath);
        throw EngineError(rc == SQLITE_FULL ? 61 : err::ReservedError, source, msg);
    }
}

} // namespace engine
