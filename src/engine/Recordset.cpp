#include "engine/Recordset.h"
#include "engine/SortedWalk.h"

#include "engine/Connection.h"
#include "engine/Database.h"
#include "engine/FarMatch.h"
#include "engine/JetSql.h"
#include "engine/QueryText.h"
#include "engine/SqlFunctions.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>
#include <QStringEncoder>
#include <algorithm>
#include <functional>
#include <limits>
#include <optional>

namespace engine {

using namespace querytext;

namespace {

constexpr qint64 kBeforeFirst = std::numeric_limits<qint64>::min();
constexpr qint64 kAfterLast = std::numeric_limits<qint64>::max();
// The rows shown from a far match on: a grid's page and more.
constexpr long kFarRows = 128;

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
                }, [this](const QString &table, const QString &column) { return caseBlindIndexOn(table, column); })) {
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

void Recordset::setFarCurrent(long row)
{
    m_farRow = row;
    m_rowid = 0;
    m_hasCurrent = true;
    m_deleted = false;
    m_bof = m_eof = false;
    m_pos = -1;
    m_rowLoaded = false;
}

void Recordset::dropFar()
{
    if (m_farKeys.empty())
        return;
    m_farKeys.clear();
    m_keys.forgetMet();
    ++m_shownGeneration;
    if (m_farRow >= 0) {
        // Not in the list after all: the list stays on its first row.
        m_farRow = -1;
        if (keyRows() > 0) {
            setCurrent(1, 0);
        } else {
            m_hasCurrent = false;
            m_bof = m_eof = true;
        }
    }
}

void Recordset::settleFar()
{
    const long start = m_keys.metAt();
    const long row = m_farRow;
    if (start < 0) {
        dropFar();
        return;
    }
    std::vector<qint64> current;
    if (row >= 0)
        current.assign(m_farKeys.begin() + qsizetype(row) * m_keys.width(),
                       m_farKeys.begin() + qsizetype(row + 1) * m_keys.width());
    m_farKeys.clear();
    m_keys.forgetMet();
    m_farRow = -1;
    ++m_shownGeneration;
    if (row < 0)
        return;
    // The rows that followed the match follow it in the list as well; a text
    // the index orders otherwise than the list could come between, so the
    // row is looked for from the match on.
    long index = start;
    for (;;) {
        if (index >= keyRows() && !readKeys(index + 1)) {
            setCurrent(1, 0);
            return;
        }
        if (m_keys.rowEquals(index, current.data()))
            break;
        ++index;
    }
    m_rowid = index + 1;
    m_pos = index;
    m_rowLoaded = false;
}

void Recordset::resolveFar()
{
    if (m_farRow < 0)
        return;
    readAllKeys();
    if (m_farRow >= 0)
        dropFar();
}

long Recordset::rowsShown()
{
    requireOpen();
    return m_farKeys.empty() ? rowsKnown() : m_farAt + farRows();
}

std::vector<std::vector<QVariant>> Recordset::readShownRows(long first, long count)
{
    requireOpen();
    if (m_farKeys.empty() || first + count <= m_farAt)
        return readRows(first, count);
    std::vector<std::vector<QVariant>> rows;
    if (first < m_farAt)
        rows = readRows(first, m_farAt - first);
    std::vector<qint64> keys;
    std::vector<QVariant> raw;
    const long end = std::min(first + count, m_farAt + farRows());
    for (long shown = std::max(first, m_farAt); shown < end; ++shown) {
        const auto at = m_farKeys.begin() + qsizetype(shown - m_farAt) * m_keys.width();
        keys.assign(at, at + m_keys.width());
        readKeysetRow(keys, raw);
        std::vector<QVariant> row(m_fields.size());
        for (size_t i = 0; i < m_fields.size(); ++i)
            row[i] = convertRead(int(i), raw[i + 1]);
        rows.push_back(std::move(row));
    }
    return rows;
}

long Recordset::shownRow()
{
    requireOpen();
    if (m_farRow >= 0)
        return m_farAt + m_farRow;
    if (!m_hasCurrent || m_eof || m_bof)
        return -1;
    const long pos = absolutePosition();
    return !m_farKeys.empty() && pos >= m_farAt ? -1 : pos;
}

void Recordset::setShownRow(long row)
{
    requireOpen();
    if (!m_farKeys.empty() && row >= m_farAt && row < m_farAt + farRows()) {
        m_mode = EditMode::None;
        setFarCurrent(row - m_farAt);
        notifyMove();
        return;
    }
    setAbsolutePosition(row);
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

// ---------------------------------------------------------------- finding

QString Recordset::translateCriteria(const QString &criteria) const
{
    // A keyset's criteria name the joined tables' own columns.
    if (!m_isTemp || m_keyset)
        return engineSql(criteria);
    return engineSql(criteria, [this](const QString &qualifier, const QString &name) -> std::optional<QString> {
        const QString wanted = qualifier.isEmpty() ? name : qualifier + QLatin1Char('.') + name;
        const int index = fieldIndex(wanted);
        if (index < 0)
            return std::nullopt;
        return m_fields[size_t(index)].column;
    });
}

QString Recordset::parameterizedCriteria(const QString &criteria, std::vector<QString> &literals) const
{
    // Table sets translate a criteria text the same way for all literals
    // alike in whether they are plain ASCII (which decides a comparison's
    // collation), unless it holds a double-quoted text or Len(), whose
    // translation looks at the literal; so the translation of the shape is
    // kept and reused.
    if ((!m_isTemp || m_keyset) && !criteria.contains(QLatin1Char('"')) && !lenComparedWithText(criteria)) {
        static QHash<QString, QString> translated;
        // The import deletes a business's rows from nine tables by the one
        // criteria text: the last one is kept as it came apart.
        static QString lastCriteria, lastShape;
        static std::vector<QString> lastLiterals;
        if (!lastCriteria.isNull() && criteria == lastCriteria) {
            literals = lastLiterals;
            return lastShape;
        }
        const auto remember = [&](const QString &result) {
            lastCriteria = criteria;
            lastShape = result;
            lastLiterals = literals;
            return result;
        };
        QString shape = literalsAsParameters(criteria, literals);
        shape += QLatin1Char('\n');
        for (const QString &v : literals)
            shape += std::all_of(v.cbegin(), v.cend(), [](QChar c) { return c.unicode() < 0x80; }) ? QLatin1Char('a')
                                                                                                   : QLatin1Char('u');
        auto it = translated.constFind(shape);
        if (it != translated.constEnd())
            return remember(*it);
        if (translated.size() > 1000)
            translated.clear();
        std::vector<QString> same;
        return remember(*translated.insert(shape, literalsAsParameters(engineSql(criteria), same)));
    }
    literals.clear();
    return literalsAsParameters(translateCriteria(criteria), literals);
}

// The one joined table whose columns a criteria text names, each of them
// qualified with that table's name; -1 when it names others too, or a column
// without its table.
int Recordset::criteriaTable(const QString &criteria) const
{
    static const QStringList words{QStringLiteral("AND"), QStringLiteral("OR"),   QStringLiteral("NOT"),
                                   QStringLiteral("LIKE"), QStringLiteral("IS"),  QStringLiteral("NULL"),
                                   QStringLiteral("TRUE"), QStringLiteral("FALSE"), QStringLiteral("LEN"),
                                   QStringLiteral("BETWEEN"), QStringLiteral("IN")};
    int found = -1;
    qsizetype i = 0;
    QString previous;
    for (QString t = fromToken(criteria, i); !t.isEmpty(); previous = t, t = fromToken(criteria, i)) {
        const bool name = t.front() == QLatin1Char('[') || t.front() == QLatin1Char('"') || t.front().isLetter()
                          || t.front() == QLatin1Char('_');
        if (!name || t.front() == QLatin1Char('"') || words.contains(t, Qt::CaseInsensitive))
            continue;
        qsizetype after = i;
        if (fromToken(criteria, after) == QLatin1String(".")) {
            // A qualifier: which joined table?
            int which = -1;
            for (int k = 0; k < m_keyRefs.size(); ++k)
                if (bare(m_keyRefs.at(k)).compare(bare(t), Qt::CaseInsensitive) == 0)
                    which = k;
            if (which < 0 || (found >= 0 && which != found))
                return -1;
            found = which;
            i = after;
            const QString column = fromToken(criteria, i);
            if (column.isEmpty())
                return -1;
            t = column;
            continue;
        }
        if (previous != QLatin1String("."))
            return -1; // a column without its table
    }
    return found;
}

bool Recordset::find(const QString &criteria, bool forward, bool fromCurrent)
{
    requireOpen();
    m_mode = EditMode::None;
    // The criteria's literals are bound as parameters, so that a search of
    // one shape is translated and prepared once and reused for every value.
    // FindNext mostly repeats the criteria of the search before it.
    if (criteria != m_lastCriteria || m_lastCriteria.isNull()) {
        std::vector<QString> literals;
        m_lastShape = parameterizedCriteria(criteria, literals);
        m_lastLiterals = std::move(literals);
        m_lastCriteria = criteria;
    }
    const QString &crit = m_lastShape;
    const std::vector<QString> &literals = m_lastLiterals;
    if (fromCurrent)
        resolveFar();
    qint64 from = forward ? kBeforeFirst : kAfterLast;
    if (fromCurrent && (m_hasCurrent || m_deleted))
        from = m_rowid;
    else if (fromCurrent && m_eof && forward)
        from = kAfterLast;
    else if (fromCurrent && m_bof && !forward)
        from = kBeforeFirst;
    if (m_keyset)
        return findInKeyset(criteria, crit, literals, forward, from);
    if (m_readOnFind && forward)
        return findOnward(criteria, fromCurrent);
    QHash<QString, QString> &texts = forward ? m_findForwardSql : m_findBackwardSql;
    if (texts.size() > 256)
        texts.clear();
    QString &text = texts[crit];
    if (text.isEmpty())
        text = (forward ? QStringLiteral("SELECT rowid%3 FROM %1 WHERE rowid > ? AND (%2) ORDER BY rowid LIMIT 1")
                        : QStringLiteral("SELECT rowid%3 FROM %1 WHERE rowid < ? AND (%2) ORDER BY rowid DESC LIMIT 1"))
                   .arg(m_browse, crit, m_readOnFind ? QStringLiteral(", ") + m_rowColumns : QString());
    sqlite3_stmt *st = criteriaStatement(text, criteria);
    int rc = SQLITE_DONE;
    qint64 r = 0;
    {
        StmtGuard guard(st);
        sqlite3_bind_int64(st, 1, from);
        for (size_t k = 0; k < literals.size(); ++k)
            bindValue(st, int(k) + 2, literals[k]);
        rc = sqlite3_step(st);
        r = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
        if (rc == SQLITE_ROW) {
            setCurrent(r, -1);
            if (m_readOnFind)
                takeRow(st, 1);
        }
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_conn->raise(rc, source(), text);
    m_noMatch = rc != SQLITE_ROW;
    if (!m_noMatch)
        notifyMove();
    return !m_noMatch;
}

// A keyset's find. On one table's columns: the next rows are looked at row by
// row, which finds a near match at once; beyond them the criterion is tested
// on its table alone, read in stored order, and the keyset is walked for the
// rows that met it, so a search that matches late or never costs one pass
// over one table. Other criteria are tested row by row through the rowids.
bool Recordset::findInKeyset(const QString &criteria, const QString &crit, const std::vector<QString> &literals,
                             bool forward, qint64 from)
{
    const int table = criteriaTable(criteria);
    QStringList bound;
    if (table >= 0) {
        bound << QStringLiteral("%1.rowid = ?").arg(m_keyRefs.at(table));
    } else {
        for (int k = 0; k < m_keys.width(); ++k)
            bound << QStringLiteral("%1.rowid = ?").arg(m_keyRefs.at(k));
    }
    const QString rowTest = QStringLiteral("SELECT 1 FROM %1 WHERE %2 AND (%3)")
                                .arg(table >= 0 ? m_keyTables.at(table) : m_keyTables.join(QLatin1String(" CROSS JOIN ")),
                                     bound.join(QLatin1String(" AND ")), crit);
    // Whether row `index` (from 0) meets the criteria. Reading keys on does
    // not touch the connection's kept statements, so the test's stays valid.
    sqlite3_stmt *const test = criteriaStatement(rowTest, criteria);
    const auto meetsKeys = [&](const qint64 *keys) {
        sqlite3_stmt *st = test;
        StmtGuard guard(st);
        int at = 1;
        if (table >= 0) {
            sqlite3_bind_int64(st, at++, keys[table]);
        } else {
            for (int k = 0; k < m_keys.width(); ++k)
                sqlite3_bind_int64(st, at++, keys[k]);
        }
        for (const QString &literal : literals)
            bindValue(st, at++, literal);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            m_conn->raise(rc, source(), rowTest);
        return rc == SQLITE_ROW;
    };
    std::vector<qint64> rowKeys;
    const auto meets = [&](long index) {
        m_keys.row(index, rowKeys);
        return meetsKeys(rowKeys.data());
    };
    long found = -1;
    const bool fromStart = forward && from == kBeforeFirst;
    // One more character typed: the rows that match now matched before, so
    // the search goes on from the row the last one found.
    if (fromStart && !m_lastHitCriteria.isNull() && narrows(m_lastHitCriteria, criteria)) {
        if (m_lastHitKeys.empty()) {
            dropFar();
            m_noMatch = true;
            return false;
        }
        const qint64 *hit = m_lastHitKeys.data();
        const long farHit = !m_farKeys.empty() && std::equal(hit, hit + m_keys.width(), m_farKeys.begin()) ? 0 : -1;
        if (farHit == 0) {
            // The far rows follow the last hit in the list's order.
            for (long r = 0; r < farRows(); ++r)
                if (meetsKeys(m_farKeys.data() + qsizetype(r) * m_keys.width())) {
                    m_lastHitCriteria = criteria;
                    setFarCurrent(r);
                    m_noMatch = false;
                    notifyMove();
                    return true;
                }
        } else if (const long at = knownIndexOf(hit); at >= 0) {
            dropFar();
            if (meetsKeys(hit)) {
                m_lastHitCriteria = criteria;
                m_noMatch = false;
                setCurrent(at + 1, at);
                notifyMove();
                return true;
            }
            from = at + 1;
        }
    }
    // A new search shows its own match: the rows of the last far one go.
    dropFar();
    if (forward) {
        // Rowid r is row index r - 1: the search starts at index r.
        long index = from == kBeforeFirst ? 0 : from == kAfterLast ? std::numeric_limits<long>::max() : long(from);
        constexpr long kNear = 512;
        const long nearEnd = table >= 0 && index < std::numeric_limits<long>::max() - kNear
                                 ? index + kNear
                                 : std::numeric_limits<long>::max();
        for (; found < 0 && index < nearEnd && readKeys(index + 1); ++index)
            if (meets(index))
                found = index;
        // A prefix of the sort column: its first match is looked up where
        // the list would reach it, and shown before the rows up to it are
        // read.
        const auto range = fromStart && found < 0 && index == nearEnd && m_farMatch && readingOn()
                               ? prefixRanges(criteria)
                               : std::nullopt;
        if (range && m_farMatch->serves(range->column)) {
            std::vector<qint64> far;
            bool told = false;
            try {
                told = m_farMatch->rowsFrom(*m_conn, source(), range->ranges, range->ascii, kFarRows, far);
            } catch (const EngineError &) {
                // A value the index does not order as the list does: the
                // search reads on to its match.
            }
            if (told) {
                if (far.empty()) {
                    m_lastHitCriteria = criteria;
                    m_lastHitKeys.clear();
                    m_noMatch = true;
                    return false;
                }
                if (meetsKeys(far.data())) {
                    found = knownIndexOf(far.data());
                    if (found < 0) {
                        m_lastHitCriteria = criteria;
                        m_lastHitKeys.assign(far.begin(), far.begin() + m_keys.width());
                        m_farKeys = std::move(far);
                        m_farAt = keyRows();
                        ++m_shownGeneration;
                        setFarCurrent(0);
                        m_noMatch = false;
                        notifyMove();
                        return true;
                    }
                }
            }
        } else if (fromStart && found < 0 && index == nearEnd && m_farMatch && readingOn() && table >= 0
                   && m_farMatch->inIndexOrder() && m_farMatch->lead() == table) {
            // Another column of the table that leads the order: its matches'
            // first value of the sort column is where the first one lies.
            const auto r = prefixRanges(criteria);
            const QString first =
                QStringLiteral("SELECT %1(%2 COLLATE NOCASE), max(%2 IS NULL) FROM %3 WHERE (%4)%5")
                    .arg(m_farMatch->descending() ? QStringLiteral("max") : QStringLiteral("min"),
                         m_farMatch->leadColumn(), m_farMatch->leadTable(), crit,
                         r ? QStringLiteral(" AND %1 >= ? COLLATE NOCASE AND %1 < ? COLLATE NOCASE").arg(r->column)
                           : QString());
            QVariant value;
            bool nulls = false;
            // One look-up through the searched column's index per way of
            // writing the typed text.
            const size_t lookups = r ? r->ranges.size() : 1;
            for (size_t range = 0; range < lookups; ++range) {
                sqlite3_stmt *st = criteriaStatement(first, criteria);
                StmtGuard guard(st);
                int at = 1;
                for (const QString &literal : literals)
                    bindValue(st, at++, literal);
                if (r) {
                    bindValue(st, at++, r->ranges[range].first);
                    bindValue(st, at++, r->ranges[range].second);
                }
                const int rc = sqlite3_step(st);
                if (rc != SQLITE_ROW)
                    m_conn->raise(rc, source(), first);
                const QVariant v = columnValue(st, 0);
                nulls = nulls || sqlite3_column_int64(st, 1) != 0;
                const auto folded = [](const QVariant &x) { return x.toString().toUtf8().toLower(); };
                if (!v.isNull()
                    && (value.isNull()
                        || (m_farMatch->descending() ? folded(v) > folded(value) : folded(v) < folded(value))))
                    value = v;
            }
            // Matches without a value sort at one end, where the value says nothing.
            if (!nulls && value.isNull()) {
                m_lastHitCriteria = criteria;
                m_lastHitKeys.clear();
                m_noMatch = true;
                return false;
            }
            if (!nulls && value.userType() == QMetaType::QString) {
                std::vector<qint64> far;
                m_farMatch->rowsFromValue(*m_conn, source(), value.toString(), kFarRows, far);
                for (long row = 0; row < long(far.size()) / m_keys.width(); ++row) {
                    if (!meetsKeys(far.data() + qsizetype(row) * m_keys.width()))
                        continue;
                    far.erase(far.begin(), far.begin() + qsizetype(row) * m_keys.width());
                    m_lastHitCriteria = criteria;
                    m_lastHitKeys.assign(far.begin(), far.begin() + m_keys.width());
                    found = knownIndexOf(far.data());
                    if (found < 0) {
                        m_farKeys = std::move(far);
                        m_farAt = keyRows();
                        ++m_shownGeneration;
                        setFarCurrent(0);
                        m_noMatch = false;
                        notifyMove();
                        return true;
                    }
                    break;
                }
            }
        }
        if (found < 0 && index == nearEnd && readKeys(index + 1)) {
            std::vector<qint64> matching;
            const auto range = prefixRange(criteria);
            const QString pass = QStringLiteral("SELECT %1.rowid FROM %2 WHERE (%3)%4")
                                     .arg(m_keyRefs.at(table), m_keyTables.at(table), crit,
                                          range ? QStringLiteral(" AND %1 >= ? COLLATE NOCASE AND %1 < ? COLLATE NOCASE")
                                                      .arg(range->column)
                                                : QString());
            {
                sqlite3_stmt *st = criteriaStatement(pass, criteria);
                StmtGuard guard(st);
                int at = 1;
                for (const QString &literal : literals)
                    bindValue(st, at++, literal);
                if (range) {
                    bindValue(st, at++, range->from);
                    bindValue(st, at++, range->to);
                }
                int rc;
                while ((rc = sqlite3_step(st)) == SQLITE_ROW)
                    matching.push_back(sqlite3_column_int64(st, 0));
                if (rc != SQLITE_DONE)
                    m_conn->raise(rc, source(), pass);
            }
            std::sort(matching.begin(), matching.end());
            // Keys still to be read are read on only until a match shows; a
            // table without any matching row needs none of them.
            while (found < 0 && !matching.empty()) {
                const long rows = keyRows();
                for (; found < 0 && index < rows; ++index)
                    if (std::binary_search(matching.begin(), matching.end(),
                                           m_keys.key(index, table)))
                        found = index;
                if (found >= 0 || countKnown())
                    break;
                readKeys(rows + 4096);
            }
        }
    } else {
        if (from == kAfterLast)
            readAllKeys();
        for (long index = (from == kAfterLast ? keyRows() : from == kBeforeFirst ? 0 : long(from) - 1) - 1;
             found < 0 && index >= 0; --index)
            if (meets(index))
                found = index;
    }
    m_noMatch = found < 0;
    if (fromStart) {
        m_lastHitCriteria = criteria;
        m_lastHitKeys.clear();
        if (found >= 0)
            keysFromRow(found, m_lastHitKeys);
    }
    if (found >= 0) {
        setCurrent(found + 1, found);
        notifyMove();
    }
    return found >= 0;
}

bool Recordset::findOnward(const QString &criteria, bool fromCurrent)
{
    // A FindNext right after the find before it, with the same criteria and
    // nothing changed since, takes the next row of the statement that found
    // that one; any other search runs a new statement from the start.
    sqlite3 *db = m_conn->db(source());
    const bool goOn = fromCurrent && m_cursor && m_hasCurrent && !m_deleted && m_rowid == m_cursorRowid
                      && criteria == m_cursorCriteria && m_cursorGeneration == m_conn->statementGeneration()
                      && m_cursorChanges == sqlite3_total_changes64(db);
    sqlite3_stmt *st = nullptr;
    if (goOn) {
        st = m_cursor;
    } else {
        dropCursor();
        qint64 from = kBeforeFirst;
        if (fromCurrent && (m_hasCurrent || m_deleted))
            from = m_rowid;
        else if (fromCurrent && m_eof)
            from = kAfterLast;
        QString &text = m_findForwardSql[m_lastShape];
        if (text.isEmpty())
            // Named after this set, so that no other set resets it while it is open.
            text = QStringLiteral("SELECT rowid, %3 FROM %1 WHERE rowid > ? AND (%2) ORDER BY rowid /* set %4 */")
                       .arg(m_browse, m_lastShape, m_rowColumns, QString::number(quintptr(this)));
        st = criteriaStatement(text, criteria);
        sqlite3_reset(st);
        sqlite3_bind_int64(st, 1, from);
        for (size_t k = 0; k < m_lastLiterals.size(); ++k)
            bindValue(st, int(k) + 2, m_lastLiterals[k]);
    }
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
        // A statement at its end or failed keeps nothing open.
        m_cursor = st;
        dropCursor();
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, source(), QString::fromUtf8(sqlite3_sql(st)));
        m_noMatch = true;
        return false;
    }
    const qint64 r = sqlite3_column_int64(st, 0);
    setCurrent(r, -1);
    takeRow(st, 1);
    m_cursor = st;
    m_cursorCriteria = criteria;
    m_cursorRowid = r;
    m_cursorGeneration = m_conn->statementGeneration();
    m_cursorChanges = sqlite3_total_changes64(db);
    m_noMatch = false;
    notifyMove();
    return true;
}

void Recordset::dropCursor()
{
    if (!m_cursor)
        return;
    // A statement the connection has finalized meanwhile is not touched.
    if (m_conn && m_conn->alive() && m_cursorGeneration == m_conn->statementGeneration())
        sqlite3_reset(m_cursor);
    m_cursor = nullptr;
}

sqlite3_stmt *Recordset::criteriaStatement(const QString &sql, const QString &criteria)
{
    try {
        return m_conn->cached(sql, source());
    } catch (const EngineError &e) {
        // A name the table does not have leaves a parameter without value.
        throw EngineError(e.number() == err::TooFewParameters ? err::UnknownFieldName : e.number(), source(),
                          e.text() + QStringLiteral(" (") + criteria + QLatin1Char(')'));
    }
}

void Recordset::findFirst(const QString &criteria)
{
    find(criteria, true, false);
}
void Recordset::findNext(const QString &criteria)
{
    find(criteria, true, true);
}

// ---------------------------------------------------------------- fields

int Recordset::fieldIndex(const QString &rawName) const
{
    // A set's fields never change once it is open, and the same few names
    // are asked for again and again (every element line of an import).
    const auto known = m_indexOf.constFind(rawName);
    if (known != m_indexOf.constEnd())
        return *known;
    const int index = lookUpField(rawName);
    if (m_indexOf.size() < 512)
        m_indexOf.insert(rawName, index);
    return index;
}

int Recordset::fieldIndex(QStringView rawName) const
{
    // Power of two, at most half of it used.
    constexpr size_t kSlots = 128;
    if (m_viewIndex.empty())
        m_viewIndex.resize(kSlots);
    // Short names of a few dozen columns: a plain multiplicative hash spreads them well enough.
    const auto hashOf = [](QStringView name) {
        size_t h = size_t(name.size());
        for (const QChar c : name)
            h = h * 31 + c.unicode();
        return h ^ (h >> 7);
    };
    const size_t hash = hashOf(rawName);
    for (size_t slot = hash & (kSlots - 1);; slot = (slot + 1) & (kSlots - 1)) {
        const ViewIndex &v = m_viewIndex[slot];
        if (v.name.isNull())
            break;
        if (v.name == rawName)
            return v.index;
    }
    const QString name = rawName.toString();
    const int index = fieldIndex(name);
    if (m_viewIndexUsed < int(kSlots / 2) && !name.isNull()) {
        size_t slot = hash & (kSlots - 1);
        while (!m_viewIndex[slot].name.isNull())
            slot = (slot + 1) & (kSlots - 1);
        m_viewIndex[slot] = {name, index};
        ++m_viewIndexUsed;
    }
    return index;
}

int Recordset::lookUpField(const QString &rawName) const
{
    // Most names come plain; only bracketed or padded ones need cleaning.
    const bool plain = !rawName.isEmpty() && !rawName.contains(QLatin1Char('[')) && rawName.front() != QLatin1Char(' ')
                       && rawName.back() != QLatin1Char(' ');
    const QString name = plain ? rawName : bare(rawName);
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot > 0) {
        const QString table = name.left(dot), column = name.mid(dot + 1);
        for (size_t i = 0; i < m_fields.size(); ++i)
            if (m_fields[i].table.compare(table, Qt::CaseInsensitive) == 0
                && m_fields[i].plainName.compare(column, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }
    int found = -1;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].plainName.compare(name, Qt::CaseInsensitive) == 0) {
            if (found >= 0)
                return -1; // ambiguous
            found = int(i);
        }
    }
    return found;
}

const FieldInfo &Recordset::fieldInfo(int index) const
{
    checkIndex(index);
    return m_fields[size_t(index)];
}

Field Recordset::field(int index)
{
    requireOpen();
    checkIndex(index);
    return Field(this, index);
}

Field Recordset::field(const QString &name)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name);
    return Field(this, index);
}

Field Recordset::field(QStringView name)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name.toString());
    return Field(this, index);
}

QVariant Recordset::convertRead(int index, const QVariant &v) const
{
    if (!v.isValid())
        return v;
    switch (m_fields[size_t(index)].type) {
    case ftype::Boolean:
        return QVariant(v.toLongLong() != 0);
    case ftype::Long:
        return v.typeId() == QMetaType::LongLong ? QVariant(int(v.toLongLong())) : v;
    default:
        return v;
    }
}

QVariant Recordset::value(int index) const
{
    auto *self = const_cast<Recordset *>(this);
    self->requireOpen();
    checkIndex(index);
    if (m_mode != EditMode::None)
        return convertRead(index, m_buffer[size_t(index)]);
    requireCurrent();
    self->loadRow();
    return convertRead(index, m_row[size_t(index) + 1]);
}

QVariant Recordset::value(const QString &name) const
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name);
    return value(index);
}

QVariant Recordset::convertForStore(int index, const QVariant &v) const
{
    const FieldInfo &f = m_fields[size_t(index)];
    if (isNull(v))
        return {};
    switch (f.type) {
    case ftype::Boolean: {
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString().trimmed();
            bool ok = false;
            const qlonglong n = s.toLongLong(&ok);
            if (ok)
                return qlonglong(n != 0 ? -1 : 0);
            if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s.compare(QLatin1String("wahr"), Qt::CaseInsensitive) == 0)
                return qlonglong(-1);
            if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s.compare(QLatin1String("falsch"), Qt::CaseInsensitive) == 0)
                return qlonglong(0);
            throw EngineError(13, QStringLiteral("DAO.Field"), f.name);
        }
        return qlonglong(v.toBool() || v.toLongLong() != 0 ? -1 : 0);
    }
    case ftype::Long: {
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok)
            throw EngineError(13, QStringLiteral("DAO.Field"), f.name);
        return n;
    }
    case ftype::Double: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            throw EngineError(13, QStringLiteral("DAO.Field"), f.name);
        return d;
    }
    default: {
        const QString s = v.typeId() == QMetaType::Bool ? (v.toBool() ? QStringLiteral("Wahr") : QStringLiteral("Falsch"))
                                                        : v.toString();
        if (f.type == ftype::Text && f.size > 0 && s.size() > f.size)
            throw EngineError(err::FieldTooSmall, QStringLiteral("DAO.Field"), f.name);
        return s;
    }
    }
}

void Recordset::setValue(int index, const QVariant &v)
{
    requireOpen();
    checkIndex(index);
    if (m_mode == EditMode::None)
        throw EngineError(err::UpdateWithoutAddNew, source());
    if (m_fields[size_t(index)].baseColumn.isEmpty())
        throw EngineError(err::ReadOnly, source(), m_fields[size_t(index)].name);
    m_buffer[size_t(index)] = convertForStore(index, v);
    m_dirty[size_t(index)] = 1;
}

void Recordset::setValue(const QString &name, const QVariant &v)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(err::ItemNotFound, source(), name);
    setValue(index, v);
}

// ---------------------------------------------------------------- changing

void Recordset::addNew()
{
    requireOpen();
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    if (m_defaults.size() != m_fields.size()) {
        m_defaults.clear();
        for (const FieldInfo &f : m_fields)
            m_defaults.push_back(f.defaultValue);
        m_bufferFromDefaults = false;
    }
    // A row added after a row added differs from the defaults only where
    // that one was written.
    if (m_bufferFromDefaults && m_dirty.size() == m_defaults.size()) {
        for (size_t i = 0; i < m_dirty.size(); ++i)
            if (m_dirty[i])
                m_buffer[i] = m_defaults[i];
    } else {
        m_buffer = m_defaults;
    }
    m_bufferFromDefaults = true;
    m_dirty.assign(m_fields.size(), 0);
    m_mode = EditMode::Add;
}

void Recordset::edit()
{
    requireCurrent();
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    loadRow();
    m_buffer.assign(m_row.begin() + 1, m_row.end());
    m_bufferFromDefaults = false;
    m_dirty.assign(m_fields.size(), 0);
    m_mode = EditMode::Edit;
}

void Recordset::cancelUpdate()
{
    requireOpen();
    m_mode = EditMode::None;
}

void Recordset::update()
{
    requireOpen();
    if (m_mode == EditMode::None)
        throw EngineError(err::UpdateWithoutAddNew, source());
    const EditMode mode = m_mode;
    m_mode = EditMode::None; // a failed store drops the pending row, as the engine always did

    const auto written = [this](QStringList *cols) {
        std::vector<size_t> idx;
        for (size_t i = 0; i < m_fields.size(); ++i) {
            if (m_dirty[i]) {
                if (cols)
                    *cols << m_fields[i].baseColumn;
                idx.push_back(i);
            }
        }
        return idx;
    };

    if (mode == EditMode::Add) {
        // Rows of one set are mostly added with the same fields: the
        // statement's text and its fields are kept per set of written fields.
        InsertPlan &plan = m_insertPlans[m_dirty];
        if (plan.sql.isEmpty()) {
            QStringList cols;
            plan.idx = written(&cols);
            if (cols.isEmpty()) {
                plan.sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_base);
            } else {
                QStringList marks;
                for (qsizetype i = 0; i < cols.size(); ++i)
                    marks << QStringLiteral("?");
                plan.sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(m_base, cols.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
            }
        }
        const QString &sql = plan.sql;
        const std::vector<size_t> &idx = plan.idx;
        sqlite3_stmt *st = kept(plan.statement, sql);
        {
            StmtGuard g(st, StmtGuard::AllBoundEachTime);
            plan.utf8.resize(idx.size());
            for (size_t k = 0; k < idx.size(); ++k) {
                const QVariant &v = m_buffer[idx[k]];
                if (v.typeId() == QMetaType::QString && !v.isNull()) {
                    // Bound without SQLite's copy: the text stays in the
                    // plan until its next row is bound, and every use of
                    // the statement binds all of its parameters.
                    static thread_local QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
                    const QString &text = *static_cast<const QString *>(v.constData());
                    std::vector<char> &utf8 = plan.utf8[k];
                    const size_t need = size_t(encoder.requiredSpace(text.size())) + 1;
                    if (utf8.size() < need)
                        utf8.resize(need);
                    const char *end = encoder.appendToBuffer(utf8.data(), text);
                    sqlite3_bind_text(st, int(k) + 1, utf8.data(), int(end - utf8.data()), SQLITE_STATIC);
                } else {
                    bindValue(st, int(k) + 1, v);
                }
            }
            const int rc = sqlite3_step(st);
            if (rc != SQLITE_DONE)
                m_conn->raise(rc, source(), sql);
        }
        const qint64 baseRow = sqlite3_last_insert_rowid(m_conn->db(source()));
        if (m_isTemp) {
            QStringList tcols{QStringLiteral("__base")}, marks{QStringLiteral("?")};
            for (const FieldInfo &f : m_fields) {
                tcols << f.column;
                marks << QStringLiteral("?");
            }
            const QString tsql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(m_browse, tcols.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
            sqlite3_stmt *ts = m_conn->cached(tsql, source());
            StmtGuard g(ts);
            sqlite3_bind_int64(ts, 1, baseRow);
            for (size_t i = 0; i < m_fields.size(); ++i)
                bindValue(ts, int(i) + 2, m_buffer[i]);
            const int rc = sqlite3_step(ts);
            if (rc != SQLITE_DONE)
                m_conn->raise(rc, source(), tsql);
        }
        if (m_count >= 0)
            ++m_count;
        if (!m_hasCurrent && !m_deleted && m_eof && m_bof) {
            // The set was empty: it now has a row, positioned before it as Jet does.
            m_eof = true;
            m_bof = false;
            m_rowid = kAfterLast;
        }
        return;
    }

    QStringList cols;
    const std::vector<size_t> idx = written(&cols);
    if (idx.empty())
        return;
    if (!m_hasCurrent)
        throw EngineError(err::NoCurrentRecord, source());
    loadRow();
    const qint64 baseRow = m_row[0].toLongLong();
    QStringList sets;
    for (const QString &c : cols)
        sets << c + QStringLiteral(" = ?");
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(m_base, sets.join(QLatin1String(", ")));
    {
        sqlite3_stmt *st = m_conn->cached(sql, source());
        StmtGuard g(st);
        for (size_t k = 0; k < idx.size(); ++k)
            bindValue(st, int(k) + 1, m_buffer[idx[k]]);
        sqlite3_bind_int64(st, int(idx.size()) + 1, baseRow);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, source(), sql);
    }
    if (m_isTemp) {
        QStringList tsets;
        for (size_t i : idx)
            tsets << m_fields[i].column + QStringLiteral(" = ?");
        const QString tsql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(m_browse, tsets.join(QLatin1String(", ")));
        sqlite3_stmt *ts = m_conn->cached(tsql, source());
        StmtGuard g(ts);
        for (size_t k = 0; k < idx.size(); ++k)
            bindValue(ts, int(k) + 1, m_buffer[idx[k]]);
        sqlite3_bind_int64(ts, int(idx.size()) + 1, m_rowid);
        const int rc = sqlite3_step(ts);
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, source(), tsql);
    }
    m_rowLoaded = false;
}

void Recordset::deleteRow()
{
    requireCurrent();
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    m_mode = EditMode::None;
    // A table set walks the table itself, so its rowid is the row's own.
    if (m_isTemp)
        loadRow();
    const qint64 baseRow = m_isTemp ? m_row[0].toLongLong() : m_rowid;
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(m_base);
    {
        sqlite3_stmt *st = m_conn->cached(sql, source());
        StmtGuard g(st);
        sqlite3_bind_int64(st, 1, baseRow);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, source(), sql);
    }
    if (!m_isTemp && sqlite3_changes(m_conn->db(source())) == 0) {
        // Deleted through another set or statement.
        m_deleted = true;
        throw EngineError(err::RecordDeleted, source());
    }
    if (m_isTemp) {
        const QString tsql = QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(m_browse);
        sqlite3_stmt *ts = m_conn->cached(tsql, source());
        StmtGuard g(ts);
        sqlite3_bind_int64(ts, 1, m_rowid);
        sqlite3_step(ts);
        m_dense = false;
    }
    if (m_count >= 0)
        --m_count;
    m_hasCurrent = false;
    m_deleted = true;
    m_rowLoaded = false;
}

long Recordset::deleteMatching(const QString &criteria)
{
    requireOpen();
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    if (m_isTemp) {
        long deleted = 0;
        for (findFirst(criteria); !m_noMatch; findNext(criteria)) {
            deleteRow();
            ++deleted;
        }
        return deleted;
    }
    m_mode = EditMode::None;
    std::vector<QString> literals;
    const QString crit = parameterizedCriteria(criteria, literals);
    if (m_deleteSql.size() > 256)
        m_deleteSql.clear();
    QString &sql = m_deleteSql[crit];
    if (sql.isEmpty())
        sql = QStringLiteral("DELETE FROM %1 WHERE (%2)").arg(m_base, crit);
    return runDelete(criteriaStatement(sql, criteria), sql, literals);
}

long Recordset::deleteMatching(const QString &pattern, const std::vector<QString> &values)
{
    requireOpen();
    KeyedStatement *keyed = m_isTemp ? nullptr
                                  : keyedStatement(m_keyedDeletes, QStringLiteral("DELETE FROM %1 WHERE (%2)"), pattern,
                                                   values);
    if (!keyed)
        return deleteMatching(criteriaWithValues(pattern, values));
    if (!updatable())
        throw EngineError(err::ReadOnly, source(), m_name);
    m_mode = EditMode::None;
    sqlite3_stmt *st = nullptr;
    try {
        st = kept(keyed->statement, keyed->sql);
    } catch (const EngineError &) {
        // The criteria text is only made for the error, which the same
        // preparation gives again.
        st = criteriaStatement(keyed->sql, criteriaWithValues(pattern, values));
    }
    return runDelete(st, keyed->sql, values);
}

bool Recordset::anyMatching(const QString &pattern, const std::vector<QString> &values)
{
    requireOpen();
    KeyedStatement *keyed = m_isTemp ? nullptr
                                  : keyedStatement(m_keyedExists, QStringLiteral("SELECT 1 FROM %1 WHERE (%2) LIMIT 1"),
                                                   pattern, values);
    if (!keyed) {
        findFirst(pattern, values);
        return !m_noMatch;
    }
    m_mode = EditMode::None;
    sqlite3_stmt *st = nullptr;
    try {
        st = kept(keyed->statement, keyed->sql);
    } catch (const EngineError &) {
        st = criteriaStatement(keyed->sql, criteriaWithValues(pattern, values));
    }
    int rc = SQLITE_DONE;
    {
        StmtGuard guard(st, StmtGuard::AllBoundEachTime);
        for (size_t k = 0; k < values.size(); ++k)
            bindValue(st, int(k) + 1, values[k]);
        rc = sqlite3_step(st);
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_conn->raise(rc, source(), keyed->sql);
    m_noMatch = rc != SQLITE_ROW;
    return !m_noMatch;
}

Recordset::KeyedStatement *Recordset::keyedStatement(std::vector<KeyedStatement> &kept, const QString &head,
                                                  const QString &pattern, const std::vector<QString> &values)
{
    if (values.size() > 64)
        return nullptr;
    // Translated as the criteria text with these values would be: whether
    // each value is plain ASCII decides its comparison's collation.
    const quint64 nonAscii = nonAsciiValues(values);
    auto it = std::find_if(kept.begin(), kept.end(), [&](const KeyedStatement &d) {
        return d.nonAscii == nonAscii && d.pattern == pattern;
    });
    if (it != kept.end())
        return &*it;
    if (!keyedPatternFits(pattern, values))
        return nullptr;
    if (kept.size() >= 32)
        kept.clear();
    std::vector<QString> same;
    const QString crit = parameterizedCriteria(criteriaWithValues(pattern, values), same);
    kept.push_back({pattern, nonAscii, head.arg(m_base, crit), {}});
    return &kept.back();
}

// Patterns whose only literals are the values, and whose translation looks
// at nothing but whether each value is plain ASCII.
bool Recordset::keyedPatternFits(const QString &pattern, const std::vector<QString> &values)
{
    return values.size() <= 64 && !pattern.contains(QLatin1Char('"')) && !pattern.contains(QLatin1Char('\'')) &&
           !pattern.contains(QLatin1String("len"), Qt::CaseInsensitive);
}

void Recordset::findFirst(const QString &pattern, const std::vector<QString> &values)
{
    const QString criteria = criteriaWithValues(pattern, values);
    if ((!m_isTemp || m_keyset) && keyedPatternFits(pattern, values)) {
        requireOpen();
        const quint64 nonAscii = nonAsciiValues(values);
        auto it = std::find_if(m_keyedFinds.begin(), m_keyedFinds.end(), [&](const KeyedShape &f) {
            return f.nonAscii == nonAscii && f.pattern == pattern;
        });
        if (it == m_keyedFinds.end()) {
            if (m_keyedFinds.size() >= 32)
                m_keyedFinds.clear();
            std::vector<QString> same;
            m_keyedFinds.push_back({pattern, nonAscii, parameterizedCriteria(criteria, same)});
            it = m_keyedFinds.end() - 1;
        }
        // As the search of this criteria text would keep it.
        m_lastShape = it->shape;
        m_lastLiterals = values;
        m_lastCriteria = criteria;
    }
    find(criteria, true, false);
}

sqlite3_stmt *Recordset::kept(KeptStatement &k, const QString &sql)
{
    if (!k.st || k.generation != m_conn->statementGeneration()) {
        k.st = m_conn->cached(sql, source());
        k.generation = m_conn->statementGeneration();
    }
    return k.st;
}

long Recordset::runDelete(sqlite3_stmt *st, const QString &sql, const std::vector<QString> &literals)
{
    {
        // A text's parameters are its literals, all bound each time.
        StmtGuard guard(st, StmtGuard::AllBoundEachTime);
        for (size_t k = 0; k < literals.size(); ++k)
            bindValue(st, int(k) + 1, literals[k]);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, source(), sql);
    }
    const long deleted = long(sqlite3_changes(m_conn->db(source())));
    m_noMatch = true;
    if (deleted > 0) {
        if (m_count >= 0)
            m_count -= deleted;
        // The current row may be among them; reading it tells.
        m_rowLoaded = false;
    }
    return deleted;
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
            std::vector<QVariant> row(m_fields.size());
            for (size_t i = 0; i < m_fields.size(); ++i)
                row[i] = convertRead(int(i), raw[i + 1]);
            rows.push_back(std::move(row));
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
