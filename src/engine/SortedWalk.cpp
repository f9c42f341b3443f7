#include "engine/SortedWalk.h"

#include "engine/Connection.h"

#include <QByteArray>
#include <algorithm>

namespace engine {

namespace {

// A sort value as ORDER BY compares it: numbers by value, texts and keys
// by their bytes (the walk only sorts byte keys and plain values), NULLs
// alike.
struct SortValue
{
    int type = SQLITE_NULL;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes;

    static SortValue of(sqlite3_stmt *st, int col)
    {
        SortValue v;
        v.type = sqlite3_column_type(st, col);
        if (v.type == SQLITE_INTEGER) {
            v.integer = sqlite3_column_int64(st, col);
        } else if (v.type == SQLITE_FLOAT) {
            v.real = sqlite3_column_double(st, col);
        } else if (v.type != SQLITE_NULL) {
            const void *p = v.type == SQLITE_BLOB ? sqlite3_column_blob(st, col) : sqlite3_column_text(st, col);
            v.bytes = QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(st, col));
        }
        return v;
    }
    bool numeric() const { return type == SQLITE_INTEGER || type == SQLITE_FLOAT; }
    double number() const { return type == SQLITE_INTEGER ? double(integer) : real; }
    bool operator==(const SortValue &o) const
    {
        if (numeric() && o.numeric())
            return type == SQLITE_INTEGER && o.type == SQLITE_INTEGER ? integer == o.integer : number() == o.number();
        return type == o.type && bytes == o.bytes;
    }
};

} // namespace

SortedWalk::SortedWalk(std::shared_ptr<Connection> conn, Plan plan, QString source)
    : m_conn(std::move(conn)), m_plan(std::move(plan)), m_source(std::move(source))
{
    try {
        // Rows looked up later must come from the state the lead rows were
        // sorted in, as one statement's would.
        static const QString pin = QStringLiteral("SELECT 1 FROM sqlite_master");
        m_pin = m_conn->prepare(pin, m_source);
        if (const int rc = sqlite3_step(m_pin); rc != SQLITE_ROW && rc != SQLITE_DONE)
            m_conn->raise(rc, m_source, pin);
        m_ofLeadRow = m_conn->prepare(m_plan.ofLeadRow, m_source);
        sqlite3_stmt *order = m_conn->prepare(m_plan.leadOrder, m_source);
        const int terms = sqlite3_column_count(order) - 1;
        std::vector<SortValue> previous;
        std::vector<SortValue> current(static_cast<size_t>(terms));
        int rc;
        while ((rc = sqlite3_step(order)) == SQLITE_ROW) {
            for (int t = 0; t < terms; ++t)
                current[size_t(t)] = SortValue::of(order, t + 1);
            if (m_leadRows.empty() || current != previous)
                m_groupStart.push_back(m_leadRows.size());
            m_leadRows.push_back(sqlite3_column_int64(order, 0));
            std::swap(previous, current);
            current.resize(size_t(terms));
        }
        sqlite3_finalize(order);
        if (rc != SQLITE_DONE)
            m_conn->raise(rc, m_source, m_plan.leadOrder);
        m_groupStart.push_back(m_leadRows.size());
        for (size_t g = 0; g + 1 < m_groupStart.size() && !m_scan; ++g)
            if (scans(g))
                m_scan = m_conn->prepare(m_plan.inRowidOrder, m_source);
    } catch (...) {
        sqlite3_finalize(m_pin);
        sqlite3_finalize(m_ofLeadRow);
        sqlite3_finalize(m_scan);
        throw;
    }
}

SortedWalk::~SortedWalk()
{
    sqlite3_finalize(m_scan);
    sqlite3_finalize(m_ofLeadRow);
    sqlite3_finalize(m_pin);
}

// A group that holds a good share of all lead rows (all those without a
// value, say) is found by walking the join in its tables' rowid order:
// looking each of its rows up and sorting them would cost about as much
// as the exact statement, before the first row could show.
bool SortedWalk::scans(size_t g) const
{
    return m_plan.lead != 0 && !m_plan.inRowidOrder.isEmpty() && groupSize(g) > 1
           && groupSize(g) * 8 > m_leadRows.size();
}

bool SortedWalk::inGroup(size_t g, qint64 leadRowid) const
{
    // A group's lead rows are in rowid order.
    return std::binary_search(m_leadRows.begin() + qsizetype(m_groupStart[g]),
                              m_leadRows.begin() + qsizetype(m_groupStart[g + 1]), leadRowid);
}

int SortedWalk::step(sqlite3_stmt *st, const QString &sql)
{
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        m_failedSql = sql;
        sqlite3_reset(st);
    }
    return rc;
}

int SortedWalk::rowsOfLead(qint64 leadRowid, std::vector<Tuple> &into)
{
    sqlite3_bind_int64(m_ofLeadRow, 1, leadRowid);
    int rc;
    while ((rc = step(m_ofLeadRow, m_plan.ofLeadRow)) == SQLITE_ROW) {
        Tuple t(size_t(m_plan.tables));
        for (int k = 0; k < m_plan.tables; ++k)
            t[size_t(k)] = sqlite3_column_int64(m_ofLeadRow, k);
        into.push_back(std::move(t));
    }
    sqlite3_reset(m_ofLeadRow);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int SortedWalk::rowsOfGroup(size_t g, std::vector<Tuple> &into)
{
    for (size_t i = m_groupStart[g]; i < m_groupStart[g + 1]; ++i)
        if (const int rc = rowsOfLead(m_leadRows[i], into); rc != SQLITE_OK)
            return rc;
    std::sort(into.begin(), into.end());
    return SQLITE_OK;
}

int SortedWalk::next(std::vector<qint64> &keys)
{
    const size_t groups = m_groupStart.size() - 1;
    for (;;) {
        if (m_pendingAt < m_pending.size()) {
            const Tuple &t = m_pending[m_pendingAt++];
            keys.insert(keys.end(), t.begin(), t.end());
            return SQLITE_ROW;
        }
        m_pending.clear();
        m_pendingAt = 0;
        if (m_scanning) {
            const int rc = step(m_scan, m_plan.inRowidOrder);
            if (rc == SQLITE_ROW) {
                if (inGroup(m_group, sqlite3_column_int64(m_scan, m_plan.lead))) {
                    for (int k = 0; k < m_plan.tables; ++k)
                        keys.push_back(sqlite3_column_int64(m_scan, k));
                    return SQLITE_ROW;
                }
                continue;
            }
            sqlite3_reset(m_scan);
            if (rc != SQLITE_DONE)
                return rc;
            m_scanning = false;
            ++m_group;
            continue;
        }
        if (m_plan.lead == 0) {
            // Ties go by the lead's rowid first: each lead row's own rows
            // follow in turn, in the rowids of the other tables.
            if (m_leadAt == m_leadRows.size())
                return SQLITE_DONE;
            if (const int rc = rowsOfLead(m_leadRows[m_leadAt++], m_pending); rc != SQLITE_OK)
                return rc;
            std::sort(m_pending.begin(), m_pending.end());
            continue;
        }
        if (m_group == groups)
            return SQLITE_DONE;
        if (scans(m_group)) {
            m_scanning = true;
            continue;
        }
        if (const int rc = rowsOfGroup(m_group, m_pending); rc != SQLITE_OK)
            return rc;
        ++m_group;
    }
}

int SortedWalk::last(std::vector<qint64> &keys)
{
    std::vector<Tuple> rows;
    if (m_plan.lead == 0) {
        for (size_t i = m_leadRows.size(); i-- > 0;) {
            if (const int rc = rowsOfLead(m_leadRows[i], rows); rc != SQLITE_OK)
                return rc;
            if (!rows.empty()) {
                const Tuple &t = *std::max_element(rows.begin(), rows.end());
                keys.assign(t.begin(), t.end());
                return SQLITE_ROW;
            }
        }
        return SQLITE_DONE;
    }
    for (size_t g = m_groupStart.size() - 1; g-- > 0;) {
        if (scans(g)) {
            sqlite3_stmt *back = m_conn->prepare(m_plan.inRowidOrderBack, m_source);
            int rc;
            while ((rc = step(back, m_plan.inRowidOrderBack)) == SQLITE_ROW)
                if (inGroup(g, sqlite3_column_int64(back, m_plan.lead)))
                    break;
            if (rc == SQLITE_ROW)
                for (int k = 0; k < m_plan.tables; ++k)
                    keys.push_back(sqlite3_column_int64(back, k));
            sqlite3_finalize(back);
            if (rc != SQLITE_DONE)
                return rc;
            continue;
        }
        if (const int rc = rowsOfGroup(g, rows); rc != SQLITE_OK)
            return rc;
        if (!rows.empty()) {
            keys.assign(rows.back().begin(), rows.back().end());
            return SQLITE_ROW;
        }
    }
    return SQLITE_DONE;
}

} // namespace engine
