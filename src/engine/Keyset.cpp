#include "engine/Keyset.h"

#include "engine/Connection.h"
#include "engine/EngineError.h"
#include "engine/SortedWalk.h"

#include <sqlite3.h>

#include <QDeadlineTimer>
#include <algorithm>

namespace engine {

Keyset::~Keyset()
{
    end();
}

void Keyset::start(Connection *conn, QString source, int width, QString sql, sqlite3_stmt *statement,
                   std::unique_ptr<SortedWalk> walk, QString lastSql, std::function<void()> readAll)
{
    m_conn = conn;
    m_source = std::move(source);
    m_keys.setWidth(width);
    m_sql = std::move(sql);
    m_statement = statement;
    m_walk = statement ? nullptr : std::move(walk);
    m_lastSql = std::move(lastSql);
    m_conn->addOpenRead(this, [this, readAll = std::move(readAll)](bool closing) {
        if (closing) {
            end();
            return;
        }
        try {
            readAll();
        } catch (const EngineError &) {
            // Reported to whoever reads the set next. The reading ends here
            // even when it failed before reading a row: what asked for it
            // must not run beside it.
            if (!m_error)
                m_error = SQLITE_ERROR;
            end();
        }
    });
}

bool Keyset::read(long rows, qint64 budget)
{
    if (m_keys.rows() >= rows)
        return true;
    if (m_error)
        m_conn->raise(m_error, m_source, m_sql);
    if (!readingOn())
        return false;
    QDeadlineTimer deadline(QDeadlineTimer::Forever);
    if (budget > 0)
        deadline.setPreciseRemainingTime(0, budget, Qt::PreciseTimer);
    int sinceCheck = 0;
    const int width = m_keys.width();
    std::vector<qint64> row;
    row.reserve(size_t(width));
    while (m_keys.rows() < rows) {
        row.clear();
        const int rc = m_walk ? m_walk->next(row, deadline) : sqlite3_step(m_statement);
        if (rc == SortedWalk::Pending)
            break;
        if (rc == SQLITE_ROW) {
            if (!m_walk)
                for (int k = 0; k < width; ++k)
                    row.push_back(sqlite3_column_int64(m_statement, k));
            m_keys.append(row.data());
            if (!m_watched.empty() && m_metAt < 0 && std::equal(row.begin(), row.end(), m_watched.begin()))
                m_metAt = m_keys.rows() - 1;
            // A row can cost a few lookups: the clock is asked often enough
            // that a slice ends close to its budget.
            if (budget > 0 && ++sinceCheck == 16) {
                sinceCheck = 0;
                if (deadline.hasExpired())
                    break;
            }
            continue;
        }
        if (m_walk && rc != SQLITE_DONE)
            m_sql = m_walk->failedSql();
        end();
        if (rc != SQLITE_DONE) {
            // The rows read so far stay; every later use reports the failure.
            m_error = rc;
            m_conn->raise(rc, m_source, m_sql);
        }
        break;
    }
    return m_keys.rows() >= rows;
}

void Keyset::end()
{
    if (!readingOn())
        return;
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    m_walk.reset();
    if (m_conn)
        m_conn->removeOpenRead(this);
}

void Keyset::watchFor(const qint64 *keys)
{
    if (keys)
        m_watched.assign(keys, keys + m_keys.width());
    else
        m_watched.clear();
}

bool Keyset::lastKeys(std::vector<qint64> &keys)
{
    keys.clear();
    if (!m_walk && !(m_statement && !m_lastSql.isEmpty()))
        return false;
    if (m_walk) {
        if (const int rc = m_walk->last(keys); rc != SQLITE_ROW && rc != SQLITE_DONE)
            m_conn->raise(rc, m_source, m_walk->failedSql());
        return true;
    }
    sqlite3_stmt *st = m_conn->cached(m_lastSql, m_source);
    StmtGuard guard(st);
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_conn->raise(rc, m_source, m_lastSql);
    if (rc == SQLITE_ROW)
        for (int k = 0; k < m_keys.width(); ++k)
            keys.push_back(sqlite3_column_int64(st, k));
    return true;
}

} // namespace engine
