#include "exchange/ExportSelection.h"

#include "engine/Connection.h"
#include "engine/Database.h"
#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"

#include <sqlite3.h>

namespace exchange {

namespace {

const QString kSource = QStringLiteral("DAO.Recordset");
const QString kReadRow = QStringLiteral("SELECT * FROM betrieb WHERE rowid = ?");
const QString kStoreStatus = QStringLiteral("UPDATE betrieb SET [bearb-status] = ? WHERE rowid = ?");

QString text(const QVariant &v)
{
    return engine::isNull(v) ? QString() : v.toString();
}

// Finalizes a statement the connection does not keep.
struct Finalize
{
    sqlite3_stmt *st;
    ~Finalize() { sqlite3_finalize(st); }
};

} // namespace

ExportSelection::ExportSelection(std::shared_ptr<engine::Database> db, const std::optional<QString> &key)
    : m_db(std::move(db))
{
    // The fields as the table's record set names and types them.
    {
        const auto table = m_db->openRecordset(QStringLiteral("betrieb"));
        for (int i = 0; i < table->fieldCount(); ++i) {
            const engine::FieldInfo &f = table->fieldInfo(i);
            m_names.push_back(f.name);
            m_types.push_back(f.type);
            m_indexOf.insert(f.name.toLower(), i);
        }
        table->close();
    }

    QString jet = QStringLiteral("SELECT betrieb.rowid, betrieb.[betr-nr], betrieb.[betr-Ende] FROM betrieb");
    if (key)
        jet += QStringLiteral(" WHERE betrieb.schluesselfeld = ") + engine::sqlQuote(*key);
    jet += QStringLiteral(" ORDER BY betrieb.[betr-nr], betrieb.[betr-hist-nr]");
    // Numbers in plain ASCII come in the order of the index on betr-nr and
    // betr-hist-nr, without a sort; a number beyond ASCII fails that
    // statement, and the exact one, which sorts every row, runs instead.
    const QString tie = QStringLiteral(", betrieb.rowid");
    try {
        readKeys(engine::engineSqlAsciiSort(jet) + tie);
    } catch (const engine::EngineError &e) {
        if (!e.text().contains(QLatin1String(engine::kBeyondAscii)))
            throw;
        readKeys(engine::engineSql(jet) + tie);
    }
}

void ExportSelection::readKeys(const QString &sql)
{
    m_rowids.clear();
    m_status.clear();
    const auto conn = m_db->connection();
    const Finalize keys{conn->prepare(sql, kSource)};
    // A row's status needs the next row's number: the last row of a number
    // in this order is the business's current state, the rows before it its
    // history. The number compares exactly, letter case included.
    QString number, nextNumber;
    bool ended = false;
    int rc;
    while ((rc = sqlite3_step(keys.st)) == SQLITE_ROW) {
        nextNumber = text(engine::columnValue(keys.st, 1));
        if (!m_rowids.empty())
            m_status.back() = nextNumber != number ? (ended ? 'E' : 'A') : 'H';
        m_rowids.push_back(sqlite3_column_int64(keys.st, 0));
        m_status.push_back(0);
        number = nextNumber;
        ended = !text(engine::columnValue(keys.st, 2)).remove(QLatin1Char(' ')).isEmpty();
    }
    if (rc != SQLITE_DONE)
        conn->raise(rc, kSource, sql);
    if (!m_status.empty())
        m_status.back() = ended ? 'E' : 'A';
    m_at = 0;
    m_loaded = false;
}

void ExportSelection::moveTo(long index)
{
    m_at = std::min(index, count());
    m_loaded = false;
}

void ExportSelection::loadRow() const
{
    if (m_loaded)
        return;
    if (eof())
        throw engine::EngineError(engine::err::NoCurrentRecord, kSource);
    const auto conn = m_db->connection();
    sqlite3_stmt *st = conn->cached(kReadRow, kSource);
    engine::StmtGuard guard(st, engine::StmtGuard::AllBoundEachTime);
    sqlite3_bind_int64(st, 1, m_rowids[size_t(m_at)]);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE)
        throw engine::EngineError(engine::err::RecordDeleted, kSource);
    if (rc != SQLITE_ROW)
        conn->raise(rc, kSource, kReadRow);
    m_row.resize(m_names.size());
    for (size_t i = 0; i < m_names.size(); ++i)
        m_row[i] = engine::columnValue(st, int(i));
    m_loaded = true;
}

QVariant ExportSelection::value(int index) const
{
    if (index < 0 || index >= fieldCount())
        throw engine::EngineError(engine::err::ItemNotFound, kSource, QString::number(index));
    loadRow();
    const QVariant &v = m_row[size_t(index)];
    if (!v.isValid())
        return v;
    switch (m_types[size_t(index)]) {
    case engine::ftype::Boolean:
        return QVariant(v.toLongLong() != 0);
    case engine::ftype::Long:
        return v.typeId() == QMetaType::LongLong ? QVariant(int(v.toLongLong())) : v;
    default:
        return v;
    }
}

QVariant ExportSelection::value(const QString &name) const
{
    const auto it = m_indexOf.constFind(name.toLower());
    if (it == m_indexOf.constEnd())
        throw engine::EngineError(engine::err::ItemNotFound, kSource, name);
    return value(*it);
}

void ExportSelection::storeStatus(long index)
{
    const auto conn = m_db->connection();
    sqlite3_stmt *st = conn->cached(kStoreStatus, kSource);
    engine::StmtGuard guard(st, engine::StmtGuard::AllBoundEachTime);
    const char letter = m_status[size_t(index)];
    sqlite3_bind_text(st, 1, &letter, 1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, m_rowids[size_t(index)]);
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE)
        conn->raise(rc, kSource, kStoreStatus);
    if (m_loaded && index == m_at)
        m_loaded = false;
}

} // namespace exchange
