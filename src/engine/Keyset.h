// The keys of a join's rows in the list's order, read at once or on between events.
#pragma once

#include "engine/KeyStore.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace engine {

class Connection;
class SortedWalk;

// Per row the rowids of the joined tables' rows, in the list's order. The
// keys come from a statement or from a SortedWalk; a list read in the
// background keeps that reading open and takes rows from it as they are
// asked for. While it is open the count is not known. The connection ends
// the reading (reads every key) before it writes, and finalizes it when it
// closes.
class Keyset
{
public:
    Keyset() = default;
    ~Keyset();
    Keyset(const Keyset &) = delete;
    Keyset &operator=(const Keyset &) = delete;

    // Reads `width` keys a row from `statement` (its first columns, which the
    // keyset finalizes) or, without one, from `walk`. `sql` names the reading
    // in errors; `lastSql` (may be empty) selects the last row's keys of a
    // statement at once. `readAll` runs when the connection needs the reading
    // ended: it reads every key (through the owner, who may watch the rows go by).
    void start(Connection *conn, QString source, int width, QString sql, sqlite3_stmt *statement,
               std::unique_ptr<SortedWalk> walk, QString lastSql, std::function<void()> readAll);

    int width() const { return m_keys.width(); }
    // The rows known so far.
    long rows() const { return m_keys.rows(); }
    bool readingOn() const { return m_statement || m_walk; }
    bool countKnown() const { return !readingOn(); }
    const QString &sql() const { return m_sql; }

    // Reads keys until `rows` are known or all are; a budget (ns) ends it
    // earlier. True when row index `rows - 1` is known. A failure ends the
    // reading: the rows read so far stay, and this and every later read
    // raises it.
    bool read(long rows, qint64 budget = 0);
    // Ends the reading where it stands.
    void end();

    void row(long index, std::vector<qint64> &into) const { m_keys.row(index, into); }
    bool rowEquals(long index, const qint64 *keys) const { return m_keys.rowEquals(index, keys); }
    qint64 key(long index, int k) const { return m_keys.key(index, k); }
    // The position of a row's keys among the rows known; -1 when not known.
    long indexOf(const qint64 *keys) const { return m_keys.find(keys); }

    // The reading notes where it meets the row `keys` (width() of them; none:
    // it stops looking). Once met, it looks no more until forgetMet().
    void watchFor(const qint64 *keys);
    long metAt() const { return m_metAt; }
    void forgetMet() { m_metAt = -1; }

    // The last row's keys without reading on (empty: no row); false when the
    // reading cannot tell them so.
    bool lastKeys(std::vector<qint64> &keys);

private:
    Connection *m_conn = nullptr; // the owner's, which outlives the reading
    QString m_source;
    KeyStore m_keys;
    QString m_sql;
    QString m_lastSql;
    sqlite3_stmt *m_statement = nullptr;
    std::unique_ptr<SortedWalk> m_walk;
    int m_error = 0; // a failure of the reading that ended it early
    std::vector<qint64> m_watched;
    long m_metAt = -1;
};

} // namespace engine
