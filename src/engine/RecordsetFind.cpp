// The record set's searches: finding by criteria, and the rows a far search shows ahead of the reading.

#include "engine/Recordset.h"

#include "engine/Connection.h"
#include "engine/FarMatch.h"
#include "engine/JetSql.h"
#include "engine/QueryText.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace engine {

using namespace querytext;

// ---------------------------------------------------------------- far rows

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
        rows.push_back(convertedRow(raw));
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
                        showFarMatch(std::move(far));
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
                        showFarMatch(std::move(far));
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

void Recordset::showFarMatch(std::vector<qint64> &&far)
{
    m_farKeys = std::move(far);
    m_farAt = keyRows();
    ++m_shownGeneration;
    setFarCurrent(0);
    m_noMatch = false;
    notifyMove();
}

} // namespace engine
