// A join's keys handed out in German sort order without sorting the whole join.
#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace engine {

class Connection;

// Hands out the keys of a join (per row the rowids of its joined tables)
// in the join's exact order, a few rows at a time, when every sort term is
// a column of one joined table, the "lead". Its rows alone are sorted
// first, which costs a fraction of sorting the whole join; the join's rows
// are then looked up per group of lead rows with equal sort values. Within
// a group the rows follow the joined tables' rowids, the first table's
// first, as the exact statement breaks its ties.
class SortedWalk
{
public:
    struct Plan
    {
        int tables = 0; // joined tables, each row's key count
        int lead = 0;   // which of them holds the sort terms
        // The lead's rowid and the sort terms as selected columns 2..n,
        // ordered by them and then by the rowid.
        QString leadOrder;
        // The keys of the join's rows of one lead row (?1).
        QString ofLeadRow;
        // Every key of the join in the order of the tables' rowids, and the
        // same from the end; only for a lead that is not the first table.
        QString inRowidOrder, inRowidOrderBack;
        // For a sort by one text column whose index ignores case: the lead
        // table as the join names it, its rowid and the column, so that its
        // rows can be read and sorted piece by piece.
        QString leadTable, leadRowid, column;
        bool descending = false;
    };
    class Lead;

    // Reads the first lead rows in order (all of them, unless the plan names
    // a column to read piece by piece); throws EngineError when a statement
    // cannot run.
    SortedWalk(std::shared_ptr<Connection> conn, Plan plan, QString source);
    ~SortedWalk();
    SortedWalk(const SortedWalk &) = delete;
    SortedWalk &operator=(const SortedWalk &) = delete;

    // Returned by next() when the deadline passed before the next row was
    // found; the next call goes on from there.
    static constexpr int Pending = -1;

    // Appends the next row's keys: SQLITE_ROW, SQLITE_DONE at the end,
    // Pending, or SQLite's failure (`failedSql` says of which statement).
    int next(std::vector<qint64> &keys, const QDeadlineTimer &deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    // The last row's keys without reading on: SQLITE_ROW, SQLITE_DONE when
    // the join has no row, or SQLite's failure.
    int last(std::vector<qint64> &keys);
    const QString &failedSql() const { return m_failedSql; }

private:
    using Tuple = std::vector<qint64>;
    std::shared_ptr<Connection> m_conn;
    Plan m_plan;
    QString m_source;
    QString m_failedSql;
    std::unique_ptr<Lead> m_lead;
    // Holds the read snapshot the lead rows were sorted in until the walk ends.
    sqlite3_stmt *m_pin = nullptr;
    sqlite3_stmt *m_ofLeadRow = nullptr;
    sqlite3_stmt *m_scan = nullptr;
    std::vector<qint64> m_leadRows;   // the lead rows known so far, in order
    std::vector<size_t> m_groupStart; // into m_leadRows, one past the last group at the end
    size_t m_leadTotal = 0;           // about how many lead rows there are
    size_t m_group = 0;               // the group being handed out
    size_t m_leadAt = 0;              // next lead row to look up
    std::vector<Tuple> m_pending;     // rows looked up and sorted, not yet handed out
    size_t m_pendingAt = 0;
    std::vector<Tuple> m_looked;      // the rows of the group being looked up so far
    bool m_scanning = false;

    // SQLITE_ROW when groups were added, SQLITE_DONE or Pending; throws
    // EngineError when a statement fails.
    int moreGroups(const QDeadlineTimer &deadline);
    int lookUpGroup(const QDeadlineTimer &deadline);
    const qint64 *groupBegin(size_t g) const { return m_leadRows.data() + m_groupStart[g]; }
    const qint64 *groupEnd(size_t g) const { return m_leadRows.data() + m_groupStart[g + 1]; }
    size_t groupSize(size_t g) const { return m_groupStart[g + 1] - m_groupStart[g]; }
    bool scans(size_t size) const;
    static bool inGroup(const qint64 *first, const qint64 *last, qint64 leadRowid);
    int rowsOfLead(qint64 leadRowid, std::vector<Tuple> &into);
    int rowsOfGroup(const qint64 *first, const qint64 *last, std::vector<Tuple> &into);
    int step(sqlite3_stmt *st, const QString &sql);
};

} // namespace engine
