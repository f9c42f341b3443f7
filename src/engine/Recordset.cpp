#include "engine/Recordset.h"

#include "engine/Connection.h"
#include "engine/FarMatch.h"
#include "engine/JetSql.h"
#include "engine/QueryText.h"
#include "engine/SortedWalk.h"
#include "engine/SqlFunctions.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <optional>

namespace engine {

using namespace querytext;

namespace {

void typeFromDecl(const QString &decl, FieldInfo &f)
{
    const QString d = decl.toUpper();
    static const QRegularExpression sizeRe(QStringLiteral("\\((\\d+)\\)"));
    if (d.contains(QLatin1String("BOOL")) || d.contains(QLatin1String("YESNO")) || d == QLatin1String("BIT")) {
        f.type = ftype::Boolean;
        f.size = 2;
    } else if (d.contains(QLatin1String("MEMO")) || d.contains(QLatin1String("LONGTEXT"))) {
        f.type = ftype::Memo;
        f.size = 0;
    } else if (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("TEXT"))) {
        f.type = ftype::Text;
        const auto m = sizeRe.match(d);
        f.size = m.hasMatch() ? m.captured(1).toInt() : 255;
    } else if (d.contains(QLatin1String("INT")) || d.contains(QLatin1String("LONG"))) {
        f.type = ftype::Long;
        f.size = 4;
    } else if (d.contains(QLatin1String("REAL")) || d.contains(QLatin1String("DOUB")) || d.contains(QLatin1String("FLOA"))
               || d.contains(QLatin1String("NUM"))) {
        f.type = ftype::Double;
        f.size = 8;
    } else if (d.contains(QLatin1String("DATE")) || d.contains(QLatin1String("TIME"))) {
        f.type = ftype::Date;
        f.size = 8;
    } else {
        f.type = ftype::Text;
        f.size = 0; // an expression: no limit known
    }
}

QString tableColumnsList(const std::vector<FieldInfo> &fields)
{
    QStringList cols;
    for (const FieldInfo &f : fields)
        cols << f.column;
    return cols.join(QLatin1String(", "));
}

} // namespace

// ---------------------------------------------------------------- Field

QString Field::name() const
{
    return m_rs->fieldInfo(m_index).name;
}
int Field::type() const
{
    return m_rs->fieldInfo(m_index).type;
}
int Field::size() const
{
    return m_rs->fieldInfo(m_index).size;
}
QVariant Field::value() const
{
    return m_rs->value(m_index);
}
void Field::setValue(const QVariant &v) const
{
    m_rs->setValue(m_index, v);
}

// ---------------------------------------------------------------- opening

std::shared_ptr<Recordset> Recordset::open(std::shared_ptr<Connection> conn, const QString &source, bool readOnly,
                                           bool background)
{
    std::shared_ptr<Recordset> rs(new Recordset);
    rs->m_background = background && QCoreApplication::instance();
    rs->m_conn = std::move(conn);
    rs->m_name = source;
    rs->m_readOnly = readOnly;
    const QString trimmed = source.trimmed();
    static const QRegularExpression sqlStart(QStringLiteral("^\\s*(SELECT|TRANSFORM|PARAMETERS)\\b"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (sqlStart.match(trimmed).hasMatch()) {
        rs->openQuery(trimmed);
    } else {
        const QString table = rs->m_conn->tableName(bare(trimmed));
        if (table.isEmpty())
            throw EngineError(err::TableNotFound, rs->source(), source);
        rs->openTable(table);
    }
    return rs;
}

void Recordset::openTable(const QString &table)
{
    m_isTemp = false;
    m_browse = m_base = quoteIdent(table);
    for (const ColumnInfo &c : m_conn->columns(table)) {
        FieldInfo f;
        f.name = f.plainName = c.name;
        f.table = table;
        f.column = f.baseColumn = quoteIdent(c.name);
        f.defaultValue = c.defaultValue;
        typeFromDecl(c.declType, f);
        m_fields.push_back(f);
    }
    m_rowColumns = QStringLiteral("rowid, ") + tableColumnsList(m_fields);
    m_selectRow = QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(m_rowColumns, m_browse);
    qint64 first = 0;
    if (stepRowid(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid LIMIT 1").arg(m_browse), 0, false, first))
        setCurrent(first, 0);
}

void Recordset::openQuery(const QString &sqlText)
{
    const auto statement = [](QString s) {
        s = s.trimmed();
        while (s.endsWith(QLatin1Char(';')))
            s = s.left(s.size() - 1).trimmed();
        return s;
    };
    const QString sql = statement(engineSql(sqlText));
    QString fastSql = engineSqlAsciiSort(sqlText);
    if (!fastSql.isEmpty())
        fastSql = statement(fastSql);

    sqlite3_stmt *st = m_conn->prepare(sql, source());
    const int n = sqlite3_column_count(st);
    QStringList tables;
    bool allFromTable = n > 0;
    for (int i = 0; i < n; ++i) {
        FieldInfo f;
        f.name = QString::fromUtf8(sqlite3_column_name(st, i));
        const char *table = sqlite3_column_table_name(st, i);
        const char *origin = sqlite3_column_origin_name(st, i);
        const char *decl = sqlite3_column_decltype(st, i);
        f.table = table ? QString::fromUtf8(table) : QString();
        f.plainName = origin ? QString::fromUtf8(origin) : f.name;
        typeFromDecl(decl ? QString::fromUtf8(decl) : QString(), f);
        if (f.table.isEmpty())
            allFromTable = false;
        else if (!tables.contains(f.table, Qt::CaseInsensitive))
            tables << f.table;
        f.column = quoteIdent(QStringLiteral("c%1").arg(i));
        m_fields.push_back(f);
    }
    sqlite3_finalize(st);

    // Columns whose name occurs twice answer to "table.column", as in Jet.
    // Count first: renaming while counting would leave the last of a pair plain.
    std::vector<char> shared(m_fields.size(), 0);
    for (size_t i = 0; i < m_fields.size(); ++i)
        for (size_t j = 0; j < m_fields.size(); ++j)
            if (i != j && m_fields[i].name.compare(m_fields[j].name, Qt::CaseInsensitive) == 0)
                shared[i] = 1;
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (shared[i] && !m_fields[i].table.isEmpty())
            m_fields[i].name = m_fields[i].table + QLatin1Char('.') + m_fields[i].plainName;

    const bool oneTable = allFromTable && tables.size() == 1 && isPlainOneTableSelect(sql);
    if (!oneTable && openKeyset(sql, fastSql))
        return;
    QString insertSql = sql;
    if (oneTable) {
        static const QRegularExpression head(QStringLiteral("^\\s*SELECT(\\s+ALL)?\\s+"),
                                             QRegularExpression::CaseInsensitiveOption);
        const auto m = head.match(sql);
        if (m.hasMatch()) {
            const auto withRowid = [&](const QString &s) {
                return s.left(m.capturedEnd()) + quoteIdent(tables.first()) + QStringLiteral(".rowid, ")
                       + s.mid(m.capturedEnd());
            };
            insertSql = withRowid(sql);
            if (!fastSql.isEmpty())
                fastSql = withRowid(fastSql);
            m_base = quoteIdent(tables.first());
            const auto &cols = m_conn->columns(tables.first());
            for (FieldInfo &f : m_fields) {
                f.baseColumn = quoteIdent(f.plainName);
                for (const ColumnInfo &c : cols)
                    if (c.name.compare(f.plainName, Qt::CaseInsensitive) == 0)
                        f.defaultValue = c.defaultValue;
            }
        }
    }

    m_isTemp = true;
    m_dense = true;
    const QString tempName = QStringLiteral("_rs%1").arg(m_conn->nextTempId());
    m_browse = QStringLiteral("temp.") + quoteIdent(tempName);
    QStringList defs, cols;
    if (!m_base.isEmpty()) {
        defs << QStringLiteral("__base INTEGER");
        cols << QStringLiteral("__base");
    }
    for (int i = 0; i < n; ++i) {
        const FieldInfo &f = m_fields[size_t(i)];
        QString type = f.type == ftype::Text || f.type == ftype::Memo ? QStringLiteral("TEXT COLLATE JETTEXT")
                       : f.type == ftype::Double                      ? QStringLiteral("REAL")
                       : f.type == ftype::Date                        ? QStringLiteral("TEXT")
                                                                      : QStringLiteral("INTEGER");
        if (f.size == 0 && f.type == ftype::Text)
            type.clear(); // expressions keep the type of their values
        defs << f.column + QLatin1Char(' ') + type;
        cols << f.column;
    }
    m_conn->execTemporary(QStringLiteral("CREATE TEMP TABLE %1 (%2)").arg(quoteIdent(tempName), defs.join(QLatin1String(", "))),
                 source());
    const QString insertHead = QStringLiteral("INSERT INTO %1 (%2) ").arg(m_browse, cols.join(QLatin1String(", ")));
    bool filled = false;
    if (!fastSql.isEmpty()) {
        try {
            m_conn->execTemporary(insertHead + fastSql, source());
            filled = true;
        } catch (const EngineError &e) {
            // A sorted text beyond ASCII: the statement wrote nothing, the exact one runs.
            if (!e.text().contains(QLatin1String(kBeyondAscii)))
                throw;
        }
    }
    if (!filled)
        m_conn->execTemporary(insertHead + insertSql, source());
    m_count = long(sqlite3_changes(m_conn->db(source())));
    m_rowColumns = (m_base.isEmpty() ? QStringLiteral("rowid, ") : QStringLiteral("__base, ")) + tableColumnsList(m_fields);
    m_selectRow = QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(m_rowColumns, m_browse);
    if (m_count > 0)
        setCurrent(1, 0);
}

bool Recordset::openKeyset(const QString &sql, const QString &asciiSortSql)
{
    const auto join = plainJoin(sql);
    if (!join)
        return false;
    const int n = int(join->refs.size());
    QStringList rowids, bound, tables;
    for (int k = 0; k < n; ++k) {
        const QString ref = join->refs.at(k), table = join->tables.at(k);
        rowids << ref + QStringLiteral(".rowid");
        bound << QStringLiteral("%1.rowid = ?%2").arg(ref).arg(k + 1);
        tables << (ref == table ? table : table + QStringLiteral(" AS ") + ref);
    }
    // Rows with equal sort values keep the order in which their table rows
    // were stored, whatever plan the query takes. The rowids go in as
    // expressions ("+t.rowid"): named plainly, they let the planner walk a
    // table in rowid order to serve them, which breaks the order of the
    // joins and doubled the time of a sort by name.
    const auto keysText = [&](const PlainJoin &j, const QString &from, const QString &where) {
        const QString order = j.order.isEmpty() ? QString()
                                                : QStringLiteral(" ORDER BY ") + bySortKeys(j.order) + QStringLiteral(", +")
                                                      + rowids.join(QLatin1String(", +"));
        return QStringLiteral("SELECT %1 FROM %2%3%4")
            .arg(rowids.join(QLatin1String(", ")), from, where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where,
                 order);
    };
    const QString exactKeys = keysText(*join, join->from, join->where);
    QString keys = exactKeys;
    const QString row = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                            .arg(join->select, tables.join(QLatin1String(" CROSS JOIN ")), bound.join(QLatin1String(" AND ")));
    m_keyRefs = join->refs;
    m_keyTables = tables;
    QString lastKeySql; // the keys of the last row, while they are still being read
    // A list read in the background shows its first rows before the others
    // are known when the plan can hand them out in order: walking the index
    // of the first sort column, with the joins in that order. That index
    // sorts plain ASCII as the exact order does, so it serves only when no
    // value of a sort column goes beyond ASCII (checked on the tables first).
    if (m_background && !asciiSortSql.isEmpty()) {
        if (const auto fast = plainJoin(asciiSortSql); fast && fast->refs == join->refs) {
            if (const auto streaming = inSortOrder(*fast, tables, [this](const QString &probe) {
                    sqlite3_stmt *st = m_conn->prepare(probe, source());
                    const int rc = sqlite3_step(st);
                    sqlite3_finalize(st);
                    return rc == SQLITE_DONE;
                }, [this](const QString &table, const QString &column) { return caseBlindIndexOn(table, column); },
                [this](const QString &index) { return rowsPerValue(index); })) {
                keys = keysText(*fast, streaming->first, streaming->second);
                // The same walked from the other end finds the last row at once.
                QStringList reversed;
                for (const QString &term : topLevelParts(fast->order)) {
                    bool descending = false;
                    const QString plain = withoutDirection(term, &descending);
                    reversed << (descending ? plain : plain + QStringLiteral(" DESC"));
                }
                for (const QString &r : std::as_const(rowids))
                    reversed << QLatin1Char('+') + r + QStringLiteral(" DESC");
                PlainJoin back = *fast;
                back.order.clear();
                lastKeySql = keysText(back, streaming->first, streaming->second) + QStringLiteral(" ORDER BY ")
                               + reversed.join(QLatin1String(", ")) + QStringLiteral(" LIMIT 1");
                // The rows from a bound on the first sort column on, for a
                // search whose match lies far on.
                bool descending = false;
                const QString lead = withoutDirection(topLevelParts(fast->order).front(), &descending)
                                         .remove(QRegularExpression(QStringLiteral("\\s+COLLATE\\s+\\w+\\s*$"),
                                                                    QRegularExpression::CaseInsensitiveOption));
                // A typed prefix bounds the rows at its other end too: rows
                // beyond it that the list's conditions leave out (the postal
                // addresses after the last place) are not read to end the
                // last group.
                const QString bound = QStringLiteral("%1 %2 ?1 COLLATE NOCASE").arg(lead, descending ? QStringLiteral("<") : QStringLiteral(">="));
                const QString between = bound + QStringLiteral(" AND %1 %2 ?3 COLLATE NOCASE")
                                                    .arg(lead, descending ? QStringLiteral(">=") : QStringLiteral("<"));
                const auto bounded = [&](const QString &b) {
                    return keysText(*fast, streaming->first,
                                    streaming->second.isEmpty() ? b : QStringLiteral("(%1) AND %2").arg(streaming->second, b))
                           + QStringLiteral(" LIMIT ?2");
                };
                const int leadTable = refOf(lead, fast->refs);
                m_farMatch = std::make_unique<FarMatch>(
                    FarMatch::inIndexOrder(lead, bounded(bound), bounded(between), descending, n, leadTable,
                                           leadTable >= 0 ? tables.at(leadTable) : QString()));
            }
        }
    }
    // Otherwise, when one table holds every sort term, its rows alone are
    // sorted and the join's rows looked up in their order.
    std::optional<SortedWalk::Plan> walk;
    std::unique_ptr<SortedWalk> walker;
    if (m_background && keys == exactKeys)
        walk = sortedWalkPlan(*join, tables, rowids, [this](const QString &table, const QString &column) {
            return !caseBlindIndexOn(table, column).isEmpty();
        });
    sqlite3_stmt *keyStatement = nullptr;
    try {
        // The select list must read the same columns through the rowids.
        sqlite3_stmt *st = m_conn->prepare(row, source());
        const bool same = sqlite3_column_count(st) == int(m_fields.size());
        sqlite3_finalize(st);
        if (!same)
            return false;
        if (keys != exactKeys) {
            try {
                keyStatement = m_conn->prepare(keys, source());
            } catch (const EngineError &) {
                // The planner found no way through the named index.
                keys = exactKeys;
                lastKeySql.clear();
                m_farMatch.reset();
            }
        }
        if (walk) {
            try {
                walker = std::make_unique<SortedWalk>(m_conn, *walk, source());
                if (!walk->column.isEmpty())
                    m_farMatch = std::make_unique<FarMatch>(FarMatch::walked(walk->column, *walk));
            } catch (const EngineError &) {
                // The exact statement serves.
            }
        }
        if (!keyStatement && !walker)
            keyStatement = m_conn->prepare(keys, source());
    } catch (const EngineError &) {
        // A query this reading does not understand is copied as it stands.
        return false;
    }
    m_isTemp = true;
    m_dense = true;
    m_keyset = true;
    m_keysetRow = row;
    m_keys.start(m_conn.get(), source(), n, keys, keyStatement, std::move(walker), lastKeySql, [this] { readAllKeys(); });
    if (m_background) {
        // The first rows and some more now, the rest between events.
        readKeys(s_firstRows);
        if (s_atOnce > 0)
            readKeys(std::numeric_limits<long>::max(), s_atOnce);
        readKeysLater();
    } else {
        readAllKeys();
    }
    if (keyRows() > 0)
        setCurrent(1, 0);
    return true;
}

// A grid's first window, and 40 ms more: a list of some thousand rows is
// complete with its count when it opens.
long Recordset::s_firstRows = 256;
qint64 Recordset::s_atOnce = 40'000'000;
long Recordset::s_sliceRows = std::numeric_limits<long>::max();

void Recordset::setReadAtOnce(long firstRows, qint64 budget, long rowsBetweenEvents)
{
    s_firstRows = std::max(1L, firstRows);
    s_atOnce = budget;
    s_sliceRows = std::max(1L, rowsBetweenEvents);
}

bool Recordset::readKeys(long rows, qint64 budget)
{
    if (keyRows() >= rows)
        return true;
    m_keys.watchFor(m_farKeys.empty() ? nullptr : m_farKeys.data());
    const bool known = m_keys.read(rows, budget);
    if (!m_farKeys.empty() && (m_keys.metAt() >= 0 || !readingOn()))
        settleFar();
    return known;
}

void Recordset::readAllKeys()
{
    // The reading goes on in its own order. The exact statement would be
    // about as quick over the whole list, but sorts all of it in memory: a
    // list of millions of rows held hundreds of megabytes for it.
    readKeys(std::numeric_limits<long>::max());
}

void Recordset::readKeysLater()
{
    if (!readingOn() || m_sliceQueued)
        return;
    m_sliceQueued = true;
    // A short slice at a time keeps the window answering keys and repaints.
    QTimer::singleShot(0, QCoreApplication::instance(), [weak = weak_from_this()] {
        const auto rs = weak.lock();
        if (!rs)
            return;
        rs->m_sliceQueued = false;
        if (rs->m_closed)
            return;
        if (rs->readingOn()) {
            const long known = rs->keyRows();
            try {
                rs->readKeys(known > std::numeric_limits<long>::max() - s_sliceRows ? std::numeric_limits<long>::max()
                                                                                    : known + s_sliceRows,
                             8'000'000);
            } catch (const EngineError &) {
                // Reported to whoever reads the set next.
            }
        }
        rs->readKeysLater();
        // Rows read by a move or a search since the last slice count too.
        if (rs->keyRows() != rs->m_rowsTold || !rs->readingOn()) {
            rs->m_rowsTold = rs->keyRows();
            if (rs->m_onRows)
                rs->m_onRows();
        }
    });
}

QVariant Recordset::lastValue(const QString &name)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name);
    if (std::vector<qint64> keys; m_keys.lastKeys(keys)) {
        if (keys.empty())
            return {};
        std::vector<QVariant> row;
        readKeysetRow(keys, row);
        return convertRead(index, row[size_t(index) + 1]);
    }
    const long count = recordCount();
    if (count == 0)
        return {};
    const auto rows = readRows(count - 1, 1);
    return rows.empty() ? QVariant() : rows.front()[size_t(index)];
}

long Recordset::rowsPerValue(const QString &index)
{
    try {
        sqlite3_stmt *st = m_conn->cached(QStringLiteral("SELECT stat FROM sqlite_stat1 WHERE idx = ?1"), source());
        StmtGuard guard(st);
        bindValue(st, 1, index);
        if (sqlite3_step(st) != SQLITE_ROW)
            return 0;
        // "rows rows-per-value-of-the-first-column ...", as ANALYZE writes it.
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)))
            .section(QLatin1Char(' '), 1, 1)
            .toLong();
    } catch (const EngineError &) {
        // A file without planner statistics.
        return 0;
    }
}

QString Recordset::caseBlindIndexOn(const QString &table, const QString &column)
{
    sqlite3_stmt *st = m_conn->cached(
        QStringLiteral("SELECT il.name FROM pragma_index_list(?1) il WHERE il.partial = 0 AND EXISTS (SELECT 1 FROM "
                       "pragma_index_xinfo(il.name) x WHERE x.seqno = 0 AND x.name = ?2 COLLATE NOCASE "
                       "AND x.coll = 'NOCASE' AND x.desc = 0) ORDER BY il.name LIMIT 1"),
        source());
    StmtGuard guard(st);
    bindValue(st, 1, bare(table));
    bindValue(st, 2, column);
    return sqlite3_step(st) == SQLITE_ROW ? QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)))
                                          : QString();
}

long Recordset::rowsKnown()
{
    requireOpen();
    return m_keyset ? keyRows() : recordCount();
}

void Recordset::readKeysetRow(const std::vector<qint64> &keys, std::vector<QVariant> &into)
{
    sqlite3_stmt *st = m_conn->cached(m_keysetRow, source());
    StmtGuard g(st);
    for (size_t k = 0; k < keys.size(); ++k)
        sqlite3_bind_int64(st, int(k) + 1, keys[k]);
    stepToRow(st, m_keysetRow);
    into.resize(m_fields.size() + 1);
    into[0] = QVariant();
    for (size_t i = 0; i < m_fields.size(); ++i)
        into[i + 1] = columnValue(st, int(i));
}

Recordset::~Recordset()
{
    dropCursor();
    endKeyStatement();
    if (!m_closed && m_isTemp && !m_keyset && m_conn && m_conn->alive()) {
        try {
            m_conn->dropTemporary(m_browse, source());
        } catch (const EngineError &) {
        }
    }
}

void Recordset::close()
{
    if (m_closed)
        throw EngineError(err::ObjectClosed, source());
    m_closed = true;
    dropCursor();
    endKeyStatement();
    if (m_isTemp && !m_keyset && m_conn && m_conn->alive())
        m_conn->dropTemporary(m_browse, source());
    m_conn.reset();
    m_hasCurrent = false;
    m_mode = EditMode::None;
}

// ---------------------------------------------------------------- state

void Recordset::requireOpen() const
{
    if (m_closed || !m_conn || !m_conn->alive())
        throw EngineError(err::ObjectClosed, source());
}

void Recordset::requireCurrent() const
{
    requireOpen();
    if (m_deleted)
        throw EngineError(err::RecordDeleted, source());
    if (!m_hasCurrent)
        throw EngineError(err::NoCurrentRecord, source());
}

void Recordset::checkIndex(int index) const
{
    if (index < 0 || index >= int(m_fields.size()))
        throw EngineError(err::ItemNotFound, source(), QString::number(index));
}

bool Recordset::stepRowid(const QString &sql, qint64 arg, bool bindArg, qint64 &out)
{
    sqlite3_stmt *st = m_conn->cached(sql, source());
    StmtGuard g(st);
    if (bindArg)
        sqlite3_bind_int64(st, 1, arg);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        out = sqlite3_column_int64(st, 0);
        return true;
    }
    if (rc != SQLITE_DONE)
        m_conn->raise(rc, source(), sql);
    return false;
}

void Recordset::setCurrent(qint64 rowid, long pos)
{
    m_farRow = -1;
    m_rowid = rowid;
    m_hasCurrent = true;
    m_deleted = false;
    m_bof = m_eof = false;
    m_pos = pos;
    m_rowLoaded = false;
}

void Recordset::loadRow()
{
    if (m_rowLoaded)
        return;
    if (m_keyset) {
        std::vector<qint64> keys;
        if (m_farRow >= 0) {
            const auto at = m_farKeys.begin() + qsizetype(m_farRow) * m_keys.width();
            keys.assign(at, at + m_keys.width());
            readKeysetRow(keys, m_row);
            m_rowLoaded = true;
            return;
        }
        if (m_rowid < 1 || m_rowid > keyRows())
            m_conn->raise(SQLITE_NOTFOUND, source(), m_keys.sql());
        keysFromRow(long(m_rowid - 1), keys);
        readKeysetRow(keys, m_row);
        m_rowLoaded = true;
        return;
    }
    sqlite3_stmt *st = m_conn->cached(m_selectRow, source());
    StmtGuard g(st);
    sqlite3_bind_int64(st, 1, m_rowid);
    stepToRow(st, m_selectRow);
    takeRow(st, 0);
}

void Recordset::stepToRow(sqlite3_stmt *st, const QString &sql)
{
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) {
        // Deleted through another set or statement.
        m_deleted = true;
        throw EngineError(err::RecordDeleted, source());
    }
    if (rc != SQLITE_ROW)
        m_conn->raise(rc, source(), sql);
}

void Recordset::takeRow(sqlite3_stmt *st, int first)
{
    m_row.resize(m_fields.size() + 1);
    m_row[0] = columnValue(st, first); // rowid of the row in the table writes go to
    for (size_t i = 0; i < m_fields.size(); ++i)
        m_row[i + 1] = columnValue(st, first + int(i) + 1);
    m_rowLoaded = true;
}

// ---------------------------------------------------------------- moving

void Recordset::moveFirst()
{
    requireOpen();
    m_mode = EditMode::None;
    // A keyset's rowid is its position + 1.
    qint64 r = m_keyset ? 1 : 0;
    if (m_keyset ? !readKeys(1)
                 : !stepRowid(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid LIMIT 1").arg(m_browse), 0, false, r)) {
        m_hasCurrent = false;
        m_bof = m_eof = true;
        throw EngineError(err::NoCurrentRecord, source());
    }
    setCurrent(r, 0);
    notifyMove();
}

void Recordset::moveLast()
{
    requireOpen();
    m_mode = EditMode::None;
    qint64 r = 0;
    if (m_keyset) {
        readAllKeys();
        r = keyRows();
    }
    if (m_keyset ? r == 0
                 : !stepRowid(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid DESC LIMIT 1").arg(m_browse), 0, false,
                              r)) {
        m_hasCurrent = false;
        m_bof = m_eof = true;
        throw EngineError(err::NoCurrentRecord, source());
    }
    // A table set also walks rows that other handles added since the count
    // was taken; after MoveLast the count must be complete.
    if (!m_isTemp)
        invalidateCount();
    setCurrent(r, recordCount() - 1);
    notifyMove();
}

void Recordset::moveNext()
{
    requireOpen();
    if (m_eof)
        throw EngineError(err::NoCurrentRecord, source());
    m_mode = EditMode::None;
    if (m_farRow >= 0 && m_farRow + 1 < farRows()) {
        setFarCurrent(m_farRow + 1);
        notifyMove();
        return;
    }
    resolveFar();
    const qint64 from = (m_hasCurrent || m_deleted) ? m_rowid : kBeforeFirst;
    const long pos = m_pos < 0 ? -1 : (m_deleted ? m_pos : (m_hasCurrent ? m_pos + 1 : 0));
    qint64 r = 0;
    // A keyset's rowid is its position + 1; the row after `from` is number from + 1.
    const qint64 after = from == kBeforeFirst ? 0 : from;
    const bool next = m_keyset ? readKeys(long(after) + 1) && (r = after + 1) > 0
                               : stepRowid(QStringLiteral("SELECT rowid FROM %1 WHERE rowid > ? ORDER BY rowid LIMIT 1")
                                               .arg(m_browse),
                                           from, true, r);
    if (next) {
        setCurrent(r, (m_hasCurrent || m_deleted) ? pos : 0);
        notifyMove();
        return;
    }
    m_hasCurrent = false;
    m_deleted = false;
    m_rowid = kAfterLast;
    m_eof = true;
    m_pos = -1;
    if (recordCount() == 0)
        m_bof = true;
    notifyMove();
}

void Recordset::movePrevious()
{
    requireOpen();
    if (m_bof)
        throw EngineError(err::NoCurrentRecord, source());
    m_mode = EditMode::None;
    if (m_farRow > 0) {
        setFarCurrent(m_farRow - 1);
        notifyMove();
        return;
    }
    resolveFar();
    qint64 from = (m_hasCurrent || m_deleted) ? m_rowid : kAfterLast;
    const long pos = (m_hasCurrent || m_deleted) && m_pos > 0 ? m_pos - 1 : -1;
    qint64 r = 0;
    if (m_keyset && from == kAfterLast) {
        readAllKeys();
        from = keyRows() + 1;
    }
    const bool previous = m_keyset ? from > 1 && (r = from - 1) > 0
                                   : stepRowid(QStringLiteral("SELECT rowid FROM %1 WHERE rowid < ? ORDER BY rowid DESC LIMIT 1")
                                                   .arg(m_browse),
                                               from, true, r);
    if (previous) {
        setCurrent(r, pos);
        notifyMove();
        return;
    }
    m_hasCurrent = false;
    m_deleted = false;
    m_rowid = kBeforeFirst;
    m_bof = true;
    m_pos = -1;
    if (recordCount() == 0)
        m_eof = true;
    notifyMove();
}

long Recordset::recordCount()
{
    requireOpen();
    if (m_keyset) {
        readAllKeys();
        return keyRows();
    }
    if (m_count < 0) {
        qint64 c = 0;
        stepRowid(QStringLiteral("SELECT count(*) FROM %1").arg(m_browse), 0, false, c);
        m_count = long(c);
    }
    return m_count;
}

long Recordset::absolutePosition()
{
    requireOpen();
    resolveFar();
    if (!m_hasCurrent)
        return -1;
    if (m_pos < 0) {
        if (m_dense) {
            m_pos = long(m_rowid - 1);
        } else {
            qint64 c = 0;
            stepRowid(QStringLiteral("SELECT count(*) FROM %1 WHERE rowid < ?").arg(m_browse), m_rowid, true, c);
            m_pos = long(c);
        }
    }
    return m_pos;
}

void Recordset::setAbsolutePosition(long pos)
{
    requireOpen();
    if (pos < 0 || (m_keyset ? !readKeys(pos + 1) : pos >= recordCount()))
        throw EngineError(err::InvalidArgument, source(), QString::number(pos));
    m_mode = EditMode::None;
    qint64 r = 0;
    bool ok = false;
    if (m_keyset) {
        ok = true; // read above
        r = pos + 1;
    } else if (m_dense) {
        ok = stepRowid(QStringLiteral("SELECT rowid FROM %1 WHERE rowid = ?").arg(m_browse), pos + 1, true, r);
    } else {
        ok = stepRowid(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid LIMIT 1 OFFSET ?").arg(m_browse), pos, true, r);
    }
    if (!ok)
        throw EngineError(err::InvalidArgument, source(), QString::number(pos));
    setCurrent(r, pos);
    notifyMove();
}

std::vector<std::vector<QVariant>> Recordset::readRows(long first, long count)
{
    requireOpen();
    std::vector<std::vector<QVariant>> rows;
    if (first < 0 || count <= 0)
        return rows;
    if (m_keyset) {
        readKeys(first + count);
        const long last = std::min(keyRows(), first + count);
        std::vector<qint64> keys;
        std::vector<QVariant> raw;
        for (long index = first; index < last; ++index) {
            keysFromRow(index, keys);
            readKeysetRow(keys, raw);
            rows.push_back(convertedRow(raw));
        }
        return rows;
    }
    const QString cols = tableColumnsList(m_fields);
    const QString sql = m_dense ? QStringLiteral("SELECT %1 FROM %2 WHERE rowid >= ? ORDER BY rowid LIMIT ?").arg(cols, m_browse)
                                : QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid LIMIT ? OFFSET ?").arg(cols, m_browse);
    sqlite3_stmt *st = m_conn->cached(sql, source());
    StmtGuard g(st);
    if (m_dense) {
        sqlite3_bind_int64(st, 1, first + 1);
        sqlite3_bind_int64(st, 2, count);
    } else {
        sqlite3_bind_int64(st, 1, count);
        sqlite3_bind_int64(st, 2, first);
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<QVariant> row(m_fields.size());
        for (size_t i = 0; i < m_fields.size(); ++i)
            row[i] = convertRead(int(i), columnValue(st, int(i)));
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        m_conn->raise(rc, source(), sql);
    return rows;
}

} // namespace engine
