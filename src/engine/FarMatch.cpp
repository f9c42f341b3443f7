#include "engine/FarMatch.h"

#include "engine/Connection.h"
#include "engine/EngineError.h"
#include "engine/KeyedPiece.h"

#include <sqlite3.h>

#include <QByteArray>
#include <algorithm>

namespace engine {

namespace {

// "t.[col]" and "T.col" alike.
QString plainName(QString name)
{
    name.remove(QLatin1Char('[')).remove(QLatin1Char(']')).remove(QLatin1Char('"'));
    return name.simplified().remove(QLatin1Char(' ')).toLower();
}

// Every row of a key statement, keyCount rowids each, appended to keys.
void readKeys(Connection &conn, sqlite3_stmt *st, const QString &source, const QString &sql, int keyCount,
              std::vector<qint64> &keys)
{
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        for (int k = 0; k < keyCount; ++k)
            keys.push_back(sqlite3_column_int64(st, k));
    if (rc != SQLITE_DONE)
        conn.raise(rc, source, sql);
}

} // namespace

FarMatch FarMatch::inIndexOrder(QString column, QString fromBound, QString between, bool descending, int keyCount,
                                int lead, QString leadTable)
{
    FarMatch m;
    m.m_column = plainName(column);
    m.m_leadColumn = column;
    m.m_lead = lead;
    m.m_leadTable = std::move(leadTable);
    m.m_fromBound = std::move(fromBound);
    m.m_between = std::move(between);
    m.m_descending = descending;
    m.m_keyCount = keyCount;
    return m;
}

FarMatch FarMatch::walked(QString column, SortedWalk::Plan plan)
{
    FarMatch m;
    m.m_column = plainName(column);
    m.m_walked = true;
    m.m_descending = plan.descending;
    m.m_keyCount = plan.tables;
    m.m_plan = std::move(plan);
    return m;
}

bool FarMatch::serves(const QString &column) const
{
    return !m_column.isEmpty() && plainName(column) == m_column;
}

bool FarMatch::rowsFrom(Connection &conn, const QString &source, const Ranges &ranges, int ascii, long rows,
                        std::vector<qint64> &keys) const
{
    if (m_walked)
        return walkedRowsFrom(conn, source, ranges, keys);
    // The list holds plain ASCII only, where the index folds every case.
    if (ascii < 0)
        return false;
    // Bounded at both ends: rows after the stretch that the list's conditions
    // leave out (the postal addresses after the last place) are not read.
    sqlite3_stmt *st = conn.cached(m_between, source);
    StmtGuard guard(st);
    const auto &[from, to] = ranges[size_t(ascii)];
    const QByteArray bound = (m_descending ? to : from).toUtf8(), end = (m_descending ? from : to).toUtf8();
    sqlite3_bind_text(st, 1, bound.constData(), int(bound.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, rows);
    sqlite3_bind_text(st, 3, end.constData(), int(end.size()), SQLITE_TRANSIENT);
    readKeys(conn, st, source, m_between, m_keyCount, keys);
    return true;
}

void FarMatch::rowsFromValue(Connection &conn, const QString &source, const QString &value, long rows,
                             std::vector<qint64> &keys) const
{
    // The bound is exclusive when descending: just above the value.
    const QString bound = m_descending ? value + QChar(1) : value;
    sqlite3_stmt *st = conn.cached(m_fromBound, source);
    StmtGuard guard(st);
    const QByteArray b = bound.toUtf8();
    sqlite3_bind_text(st, 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, rows);
    readKeys(conn, st, source, m_fromBound, m_keyCount, keys);
}

// The lead rows in the stretch are read through the index with their sort
// keys; those that share the first key (in the list's direction) form the
// first group, whose rows in the join then go by the joined tables' rowids.
bool FarMatch::walkedRowsFrom(Connection &conn, const QString &source, const Ranges &ranges,
                              std::vector<qint64> &keys) const
{
    const QString scan = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %2 >= ?1 COLLATE NOCASE AND %2 < ?2 COLLATE NOCASE")
                             .arg(m_plan.leadRowid, m_plan.column, m_plan.leadTable);
    KeyedPiece piece(m_descending, true);
    for (const auto &[from, to] : ranges) {
        sqlite3_stmt *st = conn.cached(scan, source);
        StmtGuard guard(st);
        const QByteArray f = from.toUtf8(), t = to.toUtf8();
        sqlite3_bind_text(st, 1, f.constData(), int(f.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            // Only texts lie between two texts.
            if (sqlite3_column_type(st, 1) != SQLITE_TEXT)
                return false;
            const unsigned char *text = sqlite3_column_text(st, 1);
            piece.add(sqlite3_column_int64(st, 0), text, sqlite3_column_bytes(st, 1));
        }
        if (rc != SQLITE_DONE)
            conn.raise(rc, source, scan);
    }
    const std::vector<qint64> firstGroup = piece.firstGroup();
    if (firstGroup.empty())
        return true;
    std::vector<qint64> first;
    sqlite3_stmt *ofLead = conn.cached(m_plan.ofLeadRow, source);
    for (const qint64 lead : firstGroup) {
        StmtGuard guard(ofLead);
        sqlite3_bind_int64(ofLead, 1, lead);
        int rc;
        while ((rc = sqlite3_step(ofLead)) == SQLITE_ROW) {
            std::vector<qint64> t(static_cast<size_t>(m_keyCount), 0);
            for (int k = 0; k < m_keyCount; ++k)
                t[size_t(k)] = sqlite3_column_int64(ofLead, k);
            if (first.empty() || t < first)
                first = std::move(t);
        }
        if (rc != SQLITE_DONE)
            conn.raise(rc, source, m_plan.ofLeadRow);
    }
    // A first group without a row in the join: the match lies further on.
    if (first.empty())
        return false;
    // Only the match itself: a row outside the stretch (an umlaut where the
    // typed text has its letter) may sort between the rows in it.
    keys.insert(keys.end(), first.begin(), first.end());
    return true;
}

} // namespace engine
