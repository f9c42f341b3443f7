// The storage of a list's keys: rowids a row, in chunks, narrow while they fit.
#pragma once

#include <QtGlobal>
#include <memory>
#include <vector>

namespace engine {

// The keys of a list's rows: per row the rowids of its joined tables, in the
// list's order. Kept in chunks, as 32-bit values while every rowid fits, so
// that a list of millions of rows neither copies itself nor keeps slack as
// it grows, and takes half the room of plain 64-bit keys.
class KeyStore
{
public:
    void setWidth(int keysPerRow)
    {
        clear();
        m_width = keysPerRow;
    }
    int width() const { return m_width; }
    long rows() const { return m_rows; }
    void clear()
    {
        m_narrow.clear();
        m_wideChunks.clear();
        m_wide = false;
        m_rows = 0;
    }
    // Appends one row of width() keys.
    void append(const qint64 *keys);
    qint64 key(long row, int k) const
    {
        const size_t at = size_t(row % kChunkRows) * size_t(m_width) + size_t(k);
        return m_wide ? m_wideChunks[size_t(row / kChunkRows)][at] : qint64(m_narrow[size_t(row / kChunkRows)][at]);
    }
    void row(long row, std::vector<qint64> &into) const
    {
        into.resize(size_t(m_width));
        for (int k = 0; k < m_width; ++k)
            into[size_t(k)] = key(row, k);
    }
    bool rowEquals(long row, const qint64 *keys) const
    {
        for (int k = 0; k < m_width; ++k)
            if (key(row, k) != keys[k])
                return false;
        return true;
    }
    // The first row equal to `keys`; -1 when none is.
    long find(const qint64 *keys) const;

private:
    static constexpr long kChunkRows = 16384;
    int m_width = 0;
    long m_rows = 0;
    bool m_wide = false;
    std::vector<std::unique_ptr<quint32[]>> m_narrow;
    std::vector<std::unique_ptr<qint64[]>> m_wideChunks;
    void widen();
};

inline void KeyStore::append(const qint64 *keys)
{
    if (!m_wide)
        for (int k = 0; k < m_width; ++k)
            if (keys[k] < 0 || keys[k] > qint64(0xFFFFFFFFu)) {
                widen();
                break;
            }
    const size_t chunk = size_t(m_rows / kChunkRows);
    const size_t at = size_t(m_rows % kChunkRows) * size_t(m_width);
    if (m_wide) {
        if (chunk == m_wideChunks.size())
            m_wideChunks.push_back(std::make_unique<qint64[]>(size_t(kChunkRows) * size_t(m_width)));
        for (int k = 0; k < m_width; ++k)
            m_wideChunks[chunk][at + size_t(k)] = keys[k];
    } else {
        if (chunk == m_narrow.size())
            m_narrow.push_back(std::make_unique<quint32[]>(size_t(kChunkRows) * size_t(m_width)));
        for (int k = 0; k < m_width; ++k)
            m_narrow[chunk][at + size_t(k)] = quint32(keys[k]);
    }
    ++m_rows;
}

inline long KeyStore::find(const qint64 *keys) const
{
    for (long r = 0; r < m_rows; ++r)
        if (key(r, 0) == keys[0] && rowEquals(r, keys))
            return r;
    return -1;
}

inline void KeyStore::widen()
{
    for (size_t c = 0; c < m_narrow.size(); ++c) {
        auto wide = std::make_unique<qint64[]>(size_t(kChunkRows) * size_t(m_width));
        for (size_t i = 0; i < size_t(kChunkRows) * size_t(m_width); ++i)
            wide[i] = m_narrow[c][i];
        m_wideChunks.push_back(std::move(wide));
    }
    m_narrow.clear();
    m_wide = true;
}

} // namespace engine
