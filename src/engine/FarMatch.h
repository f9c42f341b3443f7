// A far search: the first match of a typed text in a list still being read, found through an index.
#pragma once

#include "engine/SortedWalk.h"

#include <QString>
#include <vector>

namespace engine {

class Connection;

// The first row of a list (a join's keyset still being read in its order)
// whose sort column starts with a typed text, and the rows that follow it,
// found without reading the rows before it: a search whose match lies far
// down the list then shows the match at once, and its number follows once
// the reading reaches it.
//
// Serves a list whose first sort term is a column of one joined table, the
// "lead", with a case-blind index: either a list handed out in that index's
// order (plain ASCII values), or one sorted lead row group by lead row group
// (SortedWalk). The typed text covers the stretch [from, to) of that index.
class FarMatch
{
public:
    // A list in index order: `fromBound` is its keys statement that starts at
    // the first row whose lead column is >= ?1 (< ?1 when descending) and
    // hands out at most ?2 rows.
    // `between` the same up to ?3 (down to it when descending).
    static FarMatch inIndexOrder(QString column, QString fromBound, QString between, bool descending, int keyCount,
                                 int lead, QString leadTable);
    // A list sorted lead row group by lead row group.
    static FarMatch walked(QString column, SortedWalk::Plan plan);

    // Whether a search on `column` (as the criteria name it) can be served.
    bool serves(const QString &column) const;

    // A list in index order: which joined table leads, as the join names it,
    // and its first sort column; the same column's first value among rows
    // that meet a search on that table's other columns is where its first
    // match can lie.
    bool inIndexOrder() const { return !m_walked; }
    int lead() const { return m_lead; }
    const QString &leadTable() const { return m_leadTable; }
    const QString &leadColumn() const { return m_leadColumn; }
    bool descending() const { return m_descending; }
    // Appends the keys of up to `rows` rows of a list in index order from
    // the first whose lead column is >= `value` (<= when descending) on.
    void rowsFromValue(Connection &conn, const QString &source, const QString &value, long rows,
                       std::vector<qint64> &keys) const;

    using Ranges = std::vector<std::pair<QString, QString>>;
    // Appends the keys of up to `rows` rows of the list, from the first whose
    // sort column lies in one of the stretches [from, to) on (of a sorted
    // list only that first one); `ascii` is the stretch of plain ASCII, -1
    // when there is none. False when it cannot tell (a list in index order
    // and a text beyond ASCII, or a first group without a row in the join);
    // nothing is appended then. True with no keys: no row lies in them.
    bool rowsFrom(Connection &conn, const QString &source, const Ranges &ranges, int ascii, long rows,
                  std::vector<qint64> &keys) const;

private:
    QString m_column;
    QString m_leadColumn;
    QString m_leadTable;
    int m_lead = -1;
    QString m_fromBound, m_between;
    bool m_descending = false;
    int m_keyCount = 0;
    bool m_walked = false;
    SortedWalk::Plan m_plan;

    bool walkedRowsFrom(Connection &conn, const QString &source, const Ranges &ranges, std::vector<qint64> &keys) const;
};

} // namespace engine
