#include "engine/SortedWalk.h"

#include "engine/Connection.h"
#include "engine/EngineError.h"
#include "engine/KeyedPiece.h"

#include <sqlite3.h>

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <iterator>

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
    bool operator==(const SortValue &o) const;
};

// SQLite's order of values of different kinds: NULL, numbers, texts, blobs.
int kindRank(int type)
{
    switch (type) {
    case SQLITE_NULL:
        return 0;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return 1;
    case SQLITE_TEXT:
        return 2;
    default:
        return 3;
    }
}

int compare(const SortValue &a, const SortValue &b)
{
    const int ra = kindRank(a.type), rb = kindRank(b.type);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra == 0)
        return 0;
    if (ra == 1) {
        if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER)
            return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
        return a.number() < b.number() ? -1 : a.number() > b.number() ? 1 : 0;
    }
    const int c = std::memcmp(a.bytes.constData(), b.bytes.constData(), size_t(std::min(a.bytes.size(), b.bytes.size())));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a.bytes.size() < b.bytes.size() ? -1 : a.bytes.size() > b.bytes.size() ? 1 : 0;
}

bool SortValue::operator==(const SortValue &o) const
{
    return compare(*this, o) == 0;
}

struct Entry
{
    SortValue key;
    qint64 rowid = 0;
};

} // namespace

// Groups of lead rows, in the sort's order, each group's rowids ascending.
class SortedWalk::Lead
{
public:
    enum class Step { Groups, Pending, End };
    virtual ~Lead() = default;
    // Appends the next groups' rowids to `rows` and one past each group's
    // last to `ends`: at least one group unless the lead rows are all
    // handed out (End) or the deadline passed first (Pending: the next call
    // goes on from there).
    virtual Step more(std::vector<qint64> &rows, std::vector<size_t> &ends, const QDeadlineTimer &deadline) = 0;
    virtual bool finished() const = 0;

};

namespace {

// All lead rows sorted by one statement.
class WholeLead : public SortedWalk::Lead
{
public:
    WholeLead(Connection &conn, const QString &sql, const QString &source) : m_conn(conn), m_sql(sql), m_source(source) {}
    Step more(std::vector<qint64> &rows, std::vector<size_t> &ends, const QDeadlineTimer &) override
    {
        if (m_done)
            return Step::End;
        m_done = true;
        sqlite3_stmt *order = m_conn.prepare(m_sql, m_source);
        const int terms = sqlite3_column_count(order) - 1;
        std::vector<SortValue> previous;
        std::vector<SortValue> current(static_cast<size_t>(terms));
        bool open = false;
        int rc;
        while ((rc = sqlite3_step(order)) == SQLITE_ROW) {
            for (int t = 0; t < terms; ++t)
                current[size_t(t)] = SortValue::of(order, t + 1);
            if (open && current != previous)
                ends.push_back(rows.size());
            rows.push_back(sqlite3_column_int64(order, 0));
            open = true;
            std::swap(previous, current);
            current.resize(size_t(terms));
        }
        sqlite3_finalize(order);
        if (rc != SQLITE_DONE)
            m_conn.raise(rc, m_source, m_sql);
        if (open)
            ends.push_back(rows.size());
        return open ? Step::Groups : Step::End;
    }
    bool finished() const override { return m_done; }

private:
    Connection &m_conn;
    QString m_sql, m_source;
    bool m_done = false;
};

// The lead rows of a sort by one text column with a case-blind index, read
// piece by piece through that index: all rows without a value, those below
// any character, those whose text starts with each plain ASCII character
// in turn (the index holds them in one stretch, and their keys all start
// with that character), and those that start beyond ASCII, whose keys go
// to the piece whose range of first key bytes holds theirs. Only the piece
// reached is read and sorted, both a slice at a time when a deadline is
// given. `extremeOnly` hands out just the first group, found without
// sorting: enough for the last row, in most lists.
class PiecewiseLead : public SortedWalk::Lead
{
public:
    PiecewiseLead(Connection &conn, const SortedWalk::Plan &plan, bool descending, const QString &source,
                  bool extremeOnly = false)
        : m_conn(conn), m_source(source), m_descending(descending), m_extremeOnly(extremeOnly)
    {
        const QString head = QStringLiteral("SELECT %1, jet_sortkey(%2) FROM %3 WHERE ").arg(plan.leadRowid, plan.column, plan.leadTable);
        m_nullSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IS NULL").arg(plan.leadRowid, plan.leadTable, plan.column);
        m_belowSql = head + QStringLiteral("%1 < ?1 COLLATE NOCASE").arg(plan.column);
        // Only texts lie between two texts: their keys are built here.
        m_pieceSql = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %2 >= ?1 COLLATE NOCASE AND %2 < ?2 COLLATE NOCASE")
                         .arg(plan.leadRowid, plan.column, plan.leadTable);
        m_nextStartSql = QStringLiteral("SELECT CAST(substr(%1, 1, 1) AS BLOB), jet_sortkey(substr(%1, 1, 1)) FROM %2 "
                                        "WHERE %1 >= ?1 COLLATE NOCASE ORDER BY %1 COLLATE NOCASE LIMIT 1")
                             .arg(plan.column, plan.leadTable);
        // Stages ascending: no value, below any character, each first
        // character as the index orders them (capitals count as small
        // letters, and no key starts with one), beyond ASCII.
        std::vector<Stage> stages{{Stage::Null, 0, 0}, {Stage::Below, 0, 1}};
        for (int c = 1; c < 0x80; ++c)
            if (c < 'A' || c > 'Z')
                stages.push_back({Stage::Piece, c, 0});
        for (size_t i = 2; i < stages.size(); ++i)
            stages[i].to = i + 1 < stages.size() ? stages[i + 1].from : 0x80;
        stages.push_back({Stage::Beyond, 0x80, 0x100});
        if (descending)
            std::reverse(stages.begin(), stages.end());
        m_stages = std::move(stages);
    }
    ~PiecewiseLead() override { sqlite3_finalize(m_piece); }

    // Whether every value above ASCII is a text that starts with a whole
    // character: a blob (after every text in the index) or a stray byte
    // would not sort by its first character. Both are index lookups.
    static bool fits(Connection &conn, const SortedWalk::Plan &plan, const QString &source)
    {
        const QString stray = QStringLiteral("SELECT 1 FROM %1 WHERE %2 >= ?1 COLLATE NOCASE AND %2 < ?2 COLLATE NOCASE LIMIT 1")
                                  .arg(plan.leadTable, plan.column);
        const auto any = [&](const QString &sql, bool bind) {
            sqlite3_stmt *st = conn.prepare(sql, source);
            if (bind) {
                sqlite3_bind_text(st, 1, "\x80", 1, SQLITE_STATIC);
                sqlite3_bind_text(st, 2, "\xC2", 1, SQLITE_STATIC);
            }
            const int rc = sqlite3_step(st);
            sqlite3_finalize(st);
            if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                conn.raise(rc, source, sql);
            return rc == SQLITE_ROW;
        };
        return !any(stray, true)
               && !any(QStringLiteral("SELECT 1 FROM (SELECT typeof(%2) AS t FROM %1 WHERE %2 IS NOT NULL ORDER BY %2 "
                                      "COLLATE NOCASE DESC LIMIT 1) WHERE t = 'blob'")
                           .arg(plan.leadTable, plan.column),
                       false);
    }

    Step more(std::vector<qint64> &rows, std::vector<size_t> &ends, const QDeadlineTimer &deadline) override
    {
        const size_t before = ends.size();
        while (ends.size() == before) {
            if (!m_inPiece) {
                if (m_stageAt == m_stages.size())
                    return Step::End;
                const Stage stage = m_stages[m_stageAt++];
                if (stage.kind == Stage::Null) {
                    rowidsWithoutValue(rows, ends);
                    continue;
                }
                if (stage.kind == Stage::Below) {
                    // Numbers sort here too; there are few such rows.
                    std::vector<Entry> entries;
                    read(m_belowSql, QByteArray(1, '\x01'), {}, entries);
                    if (m_extremeOnly) {
                        extremeGroup(entries, rows, ends);
                    } else {
                        sortEntries(entries, m_descending);
                        groupEntries(entries, rows, ends);
                    }
                    continue;
                }
                m_ranges.clear();
                if (stage.kind == Stage::Piece)
                    m_ranges.emplace_back(QByteArray(1, char(stage.from)), QByteArray(1, char(stage.to)));
                for (const auto &[start, first] : beyondStarts())
                    if (first >= stage.from && first < stage.to)
                        m_ranges.emplace_back(start, pastStart(start));
                m_rangeAt = 0;
                m_keyed = KeyedPiece(m_descending, m_extremeOnly);
                m_inPiece = true;
            }
            if (!readPiece(deadline))
                return Step::Pending;
            if (m_extremeOnly) {
                if (const std::vector<qint64> first = m_keyed.firstGroup(); !first.empty()) {
                    rows.insert(rows.end(), first.begin(), first.end());
                    ends.push_back(rows.size());
                }
            } else {
                if (!m_keyed.sort(deadline))
                    return Step::Pending;
                m_keyed.groups(rows, ends);
            }
            m_keyed = KeyedPiece();
            m_inPiece = false;
        }
        if (m_extremeOnly)
            m_stageAt = m_stages.size();
        return Step::Groups;
    }
    bool finished() const override { return m_stageAt == m_stages.size() && !m_inPiece; }

private:
    struct Stage
    {
        enum Kind { Null, Below, Piece, Beyond } kind;
        int from, to; // the first bytes of the keys it holds: from <= byte < to
    };
    Connection &m_conn;
    QString m_source;
    bool m_descending;
    bool m_extremeOnly;
    std::vector<Stage> m_stages;
    size_t m_stageAt = 0;
    QString m_nullSql, m_belowSql, m_pieceSql, m_nextStartSql;
    sqlite3_stmt *m_piece = nullptr;
    // The piece being read: its stretches of the index, the one being read
    // (its statement bound and stepping) and the rows so far.
    bool m_inPiece = false;
    std::vector<std::pair<QByteArray, QByteArray>> m_ranges;
    size_t m_rangeAt = 0;
    bool m_pieceBound = false;
    KeyedPiece m_keyed;
    bool m_beyondStartsRead = false;
    std::vector<std::pair<QByteArray, int>> m_beyondStarts;

    void rowidsWithoutValue(std::vector<qint64> &rows, std::vector<size_t> &ends)
    {
        const size_t from = rows.size();
        sqlite3_stmt *st = m_conn.prepare(m_nullSql, m_source);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            rows.push_back(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            m_conn.raise(rc, m_source, m_nullSql);
        const auto group = rows.begin() + qsizetype(from);
        if (!std::is_sorted(group, rows.end()))
            std::sort(group, rows.end());
        if (rows.size() > from)
            ends.push_back(rows.size());
    }

    void read(const QString &sql, const QByteArray &from, const QByteArray &to, std::vector<Entry> &into)
    {
        sqlite3_stmt *st = m_conn.prepare(sql, m_source);
        if (!from.isNull())
            sqlite3_bind_text(st, 1, from.constData(), int(from.size()), SQLITE_TRANSIENT);
        if (!to.isNull())
            sqlite3_bind_text(st, 2, to.constData(), int(to.size()), SQLITE_TRANSIENT);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            into.push_back(Entry{SortValue::of(st, 1), sqlite3_column_int64(st, 0)});
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            m_conn.raise(rc, m_source, sql);
    }

    // Reads the piece's stretches on; false when the deadline passed first.
    bool readPiece(const QDeadlineTimer &deadline)
    {
        if (!m_piece)
            m_piece = m_conn.prepare(m_pieceSql, m_source);
        int sinceCheck = 0;
        while (m_rangeAt < m_ranges.size()) {
            if (!m_pieceBound) {
                const auto &[from, to] = m_ranges[m_rangeAt];
                sqlite3_bind_text(m_piece, 1, from.constData(), int(from.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(m_piece, 2, to.constData(), int(to.size()), SQLITE_TRANSIENT);
                m_pieceBound = true;
            }
            int rc;
            while ((rc = sqlite3_step(m_piece)) == SQLITE_ROW) {
                m_keyed.add(sqlite3_column_int64(m_piece, 0), sqlite3_column_text(m_piece, 1), sqlite3_column_bytes(m_piece, 1));
                if (++sinceCheck == 64) {
                    sinceCheck = 0;
                    if (deadline.hasExpired())
                        return false;
                }
            }
            sqlite3_reset(m_piece);
            m_pieceBound = false;
            if (rc != SQLITE_DONE)
                m_conn.raise(rc, m_source, m_pieceSql);
            ++m_rangeAt;
        }
        return true;
    }

    // The characters the texts above ASCII start with, each with the first
    // byte of its key, found by one index lookup each: the texts starting
    // with one character lie in one stretch of the index.
    const std::vector<std::pair<QByteArray, int>> &beyondStarts()
    {
        if (m_beyondStartsRead)
            return m_beyondStarts;
        m_beyondStartsRead = true;
        sqlite3_stmt *st = m_conn.prepare(m_nextStartSql, m_source);
        QByteArray from(1, '\x80');
        for (;;) {
            sqlite3_bind_text(st, 1, from.constData(), int(from.size()), SQLITE_TRANSIENT);
            const int rc = sqlite3_step(st);
            if (rc != SQLITE_ROW) {
                sqlite3_finalize(st);
                if (rc != SQLITE_DONE)
                    m_conn.raise(rc, m_source, m_nextStartSql);
                break;
            }
            const QByteArray start(static_cast<const char *>(sqlite3_column_blob(st, 0)), sqlite3_column_bytes(st, 0));
            const int bytes = sqlite3_column_bytes(st, 1);
            const int firstKeyByte = bytes > 0 ? *static_cast<const unsigned char *>(sqlite3_column_blob(st, 1)) : 0;
            sqlite3_reset(st);
            if (start.isEmpty() || (unsigned char)start.back() == 0xFF) {
                sqlite3_finalize(st);
                throw EngineError(err::ReservedError, m_source, m_nextStartSql);
            }
            m_beyondStarts.emplace_back(start, firstKeyByte);
            from = pastStart(start);
        }
        return m_beyondStarts;
    }

    // The bound just after every text starting with `start` (a whole
    // character, whose last byte is never 0xFF).
    static QByteArray pastStart(QByteArray start)
    {
        start.back() = char(start.back() + 1);
        return start;
    }

    // Entries sorted by their keys (reversed when descending), ties by rowid.
    static void sortEntries(std::vector<Entry> &entries, bool descending)
    {
        std::sort(entries.begin(), entries.end(), [descending](const Entry &a, const Entry &b) {
            const int c = compare(a.key, b.key);
            return c != 0 ? (descending ? c > 0 : c < 0) : a.rowid < b.rowid;
        });
    }
    static void groupEntries(const std::vector<Entry> &sorted, std::vector<qint64> &rows, std::vector<size_t> &ends)
    {
        for (size_t i = 0; i < sorted.size(); ++i) {
            if (i > 0 && !(sorted[i].key == sorted[i - 1].key))
                ends.push_back(rows.size());
            rows.push_back(sorted[i].rowid);
        }
        if (!sorted.empty())
            ends.push_back(rows.size());
    }

    // The group that comes first among the entries, without sorting them.
    void extremeGroup(const std::vector<Entry> &entries, std::vector<qint64> &rows, std::vector<size_t> &ends) const
    {
        const Entry *best = nullptr;
        for (const Entry &e : entries) {
            const int c = best ? compare(e.key, best->key) : 0;
            if (!best || (m_descending ? c > 0 : c < 0))
                best = &e;
        }
        if (!best)
            return;
        const size_t from = rows.size();
        for (const Entry &e : entries)
            if (e.key == best->key)
                rows.push_back(e.rowid);
        std::sort(rows.begin() + qsizetype(from), rows.end());
        ends.push_back(rows.size());
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
        if (!m_plan.column.isEmpty() && PiecewiseLead::fits(*m_conn, m_plan, m_source)) {
            m_lead = std::make_unique<PiecewiseLead>(*m_conn, m_plan, m_plan.descending, m_source);
            sqlite3_stmt *st = m_conn->prepare(QStringLiteral("SELECT max(rowid) FROM %1").arg(m_plan.leadTable), m_source);
            if (sqlite3_step(st) == SQLITE_ROW)
                m_leadTotal = size_t(std::max<qint64>(0, sqlite3_column_int64(st, 0)));
            sqlite3_finalize(st);
        } else {
            m_lead = std::make_unique<WholeLead>(*m_conn, m_plan.leadOrder, m_source);
        }
        m_groupStart.push_back(0);
        moreGroups(QDeadlineTimer(QDeadlineTimer::Forever));
        if (!m_plan.inRowidOrder.isEmpty())
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

int SortedWalk::moreGroups(const QDeadlineTimer &deadline)
{
    // The groups' ends are where the next ones start.
    switch (m_lead->more(m_leadRows, m_groupStart, deadline)) {
    case Lead::Step::End:
        return SQLITE_DONE;
    case Lead::Step::Pending:
        return Pending;
    case Lead::Step::Groups:
        break;
    }
    m_leadTotal = std::max(m_leadTotal, m_leadRows.size());
    return SQLITE_ROW;
}

// A group that holds a good share of all lead rows (all those without a
// value, say) is found by walking the join in its tables' rowid order:
// looking each of its rows up and sorting them would cost about as much
// as the exact statement, before the first row could show.
bool SortedWalk::scans(size_t size) const
{
    return m_scan && size > 1 && size * 8 > m_leadTotal;
}

bool SortedWalk::inGroup(const qint64 *first, const qint64 *last, qint64 leadRowid)
{
    // A group's lead rows are in rowid order.
    return std::binary_search(first, last, leadRowid);
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

int SortedWalk::rowsOfGroup(const qint64 *first, const qint64 *last, std::vector<Tuple> &into)
{
    for (const qint64 *r = first; r != last; ++r)
        if (const int rc = rowsOfLead(*r, into); rc != SQLITE_OK)
            return rc;
    std::sort(into.begin(), into.end());
    return SQLITE_OK;
}

// Looks up the join's rows of the current group's lead rows, a slice at a
// time, into m_pending, sorted: SQLITE_OK, Pending or a failure.
int SortedWalk::lookUpGroup(const QDeadlineTimer &deadline)
{
    const size_t end = m_groupStart[m_group + 1];
    m_leadAt = std::max(m_leadAt, m_groupStart[m_group]);
    int sinceCheck = 0;
    while (m_leadAt < end) {
        if (const int rc = rowsOfLead(m_leadRows[m_leadAt], m_looked); rc != SQLITE_OK) {
            m_looked.clear();
            return rc;
        }
        ++m_leadAt;
        if (++sinceCheck == 16 && m_leadAt < end) {
            sinceCheck = 0;
            if (deadline.hasExpired())
                return Pending;
        }
    }
    std::sort(m_looked.begin(), m_looked.end());
    m_pending.swap(m_looked);
    m_looked.clear();
    return SQLITE_OK;
}

int SortedWalk::next(std::vector<qint64> &keys, const QDeadlineTimer &deadline)
{
    int passed = 0; // rows of the join scanned that lie in other groups
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
                if (inGroup(groupBegin(m_group), groupEnd(m_group), sqlite3_column_int64(m_scan, m_plan.lead))) {
                    for (int k = 0; k < m_plan.tables; ++k)
                        keys.push_back(sqlite3_column_int64(m_scan, k));
                    return SQLITE_ROW;
                }
                // A group whose rows are few or none in the join (the
                // postal addresses) can take the whole scan: it goes on
                // after the next events.
                if (++passed == 64) {
                    passed = 0;
                    if (deadline.hasExpired())
                        return Pending;
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
        if (m_group + 1 == m_groupStart.size()) {
            try {
                if (const int rc = moreGroups(deadline); rc != SQLITE_ROW)
                    return rc;
            } catch (const EngineError &) {
                m_failedSql = m_plan.leadOrder;
                return SQLITE_ERROR;
            }
        }
        if (m_plan.lead == 0) {
            // Ties go by the lead's rowid first: each lead row's own rows
            // follow in turn, in the rowids of the other tables.
            if (m_leadAt == m_groupStart[m_group + 1]) {
                ++m_group;
                continue;
            }
            if (const int rc = rowsOfLead(m_leadRows[m_leadAt++], m_pending); rc != SQLITE_OK)
                return rc;
            std::sort(m_pending.begin(), m_pending.end());
            continue;
        }
        if (scans(groupSize(m_group))) {
            m_scanning = true;
            continue;
        }
        if (const int rc = lookUpGroup(deadline); rc != SQLITE_OK)
            return rc;
        ++m_group;
    }
}

int SortedWalk::last(std::vector<qint64> &keys)
{
    // Groups from the end: those known when all are, else the lead rows
    // read piece by piece from the other end.
    std::unique_ptr<Lead> back;
    std::vector<qint64> backRows;
    std::vector<size_t> backEnds; // of the groups not yet tried, the first last
    size_t known = m_groupStart.size() - 1;
    const bool complete = m_lead->finished();
    // The first group from the other end is found without sorting; only
    // when none of its lead rows has a row in the join are the groups
    // read on from there.
    bool extreme = !complete;
    bool tried = false;
    if (!complete)
        back = std::make_unique<PiecewiseLead>(*m_conn, m_plan, !m_plan.descending, m_source, true);
    for (;;) {
        const qint64 *first, *end;
        if (complete) {
            if (known == 0)
                return SQLITE_DONE;
            --known;
            first = groupBegin(known);
            end = groupEnd(known);
        } else {
            if (backEnds.empty()) {
                backRows.clear();
                std::vector<size_t> ends;
                if (back->more(backRows, ends, QDeadlineTimer(QDeadlineTimer::Forever)) == Lead::Step::End) {
                    if (!extreme)
                        return SQLITE_DONE;
                    extreme = false;
                    tried = true;
                    back = std::make_unique<PiecewiseLead>(*m_conn, m_plan, !m_plan.descending, m_source);
                    continue;
                }
                backEnds.push_back(0);
                backEnds.insert(backEnds.end(), ends.begin(), ends.end());
                std::reverse(backEnds.begin(), backEnds.end());
                if (tried) {
                    // The extreme group was looked at already: a large one
                    // (a scan of the whole join) is not looked at twice.
                    tried = false;
                    backEnds.pop_back();
                    if (backEnds.size() == 1) {
                        backEnds.clear();
                        continue;
                    }
                }
            }
            // The group between the last two bounds left.
            first = backRows.data() + backEnds[backEnds.size() - 1];
            end = backRows.data() + backEnds[backEnds.size() - 2];
            backEnds.pop_back();
            if (backEnds.size() == 1)
                backEnds.clear();
        }
        std::vector<Tuple> rows;
        if (m_plan.lead != 0 && scans(size_t(end - first))) {
            sqlite3_stmt *st = m_conn->prepare(m_plan.inRowidOrderBack, m_source);
            int rc;
            while ((rc = step(st, m_plan.inRowidOrderBack)) == SQLITE_ROW)
                if (inGroup(first, end, sqlite3_column_int64(st, m_plan.lead)))
                    break;
            if (rc == SQLITE_ROW)
                for (int k = 0; k < m_plan.tables; ++k)
                    keys.push_back(sqlite3_column_int64(st, k));
            sqlite3_finalize(st);
            if (rc != SQLITE_DONE)
                return rc;
            continue;
        }
        if (const int rc = rowsOfGroup(first, end, rows); rc != SQLITE_OK)
            return rc;
        if (!rows.empty()) {
            keys.assign(rows.back().begin(), rows.back().end());
            return SQLITE_ROW;
        }
    }
}

} // namespace engine
