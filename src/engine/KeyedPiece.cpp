#include "engine/KeyedPiece.h"

#include "engine/SqlFunctions.h"

#include <algorithm>
#include <cstring>

namespace engine {

namespace {

// Items sorted in one go before the merging starts: a fraction of a
// millisecond each.
constexpr size_t kRun = 4096;

int compareBytes(const unsigned char *a, size_t na, const unsigned char *b, size_t nb)
{
    if (const int c = std::memcmp(a, b, std::min(na, nb)); c != 0)
        return c < 0 ? -1 : 1;
    return na < nb ? -1 : na > nb ? 1 : 0;
}

} // namespace

const unsigned char *KeyedPiece::key(const Item &i) const
{
    if (i.length & kLong)
        return m_long[i.at].get();
    return m_blocks[i.at >> kBlockBits].get() + (i.at & ((1u << kBlockBits) - 1));
}

unsigned char *KeyedPiece::scratch(size_t size)
{
    if (size > m_scratchSize) {
        m_scratch = std::make_unique_for_overwrite<unsigned char[]>(size);
        m_scratchSize = size;
    }
    return m_scratch.get();
}

void KeyedPiece::add(qint64 rowid, const unsigned char *text, int bytes)
{
    const size_t room = size_t(sortKeyCapacity(bytes));
    constexpr size_t block = size_t(1) << kBlockBits;
    if (m_firstOnly) {
        unsigned char *k = scratch(room);
        const size_t n = size_t(writeSortKey(text, bytes, k) - k);
        int c = -1;
        if (!m_first.empty()) {
            c = compareBytes(k, n, m_firstKey.data(), m_firstKey.size());
            if (m_descending)
                c = -c;
        }
        if (c < 0) {
            m_firstKey.assign(k, k + n);
            m_first.clear();
        }
        if (c <= 0)
            m_first.push_back(rowid);
        return;
    }
    Item item;
    item.rowid = rowid;
    unsigned char *start;
    if (room > block) {
        auto own = std::make_unique_for_overwrite<unsigned char[]>(room);
        start = own.get();
        item.at = quint32(m_long.size());
        item.length = quint32(writeSortKey(text, bytes, start) - start) | kLong;
        m_long.push_back(std::move(own));
    } else {
        if (m_blockUsed + room > block) {
            m_blocks.push_back(std::make_unique_for_overwrite<unsigned char[]>(block));
            m_blockUsed = 0;
        }
        start = m_blocks.back().get() + m_blockUsed;
        item.at = quint32(((m_blocks.size() - 1) << kBlockBits) | m_blockUsed);
        item.length = quint32(writeSortKey(text, bytes, start) - start);
        m_blockUsed += item.length;
    }
    const size_t n = length(item);
    if (m_items.empty()) {
        m_common = n;
    } else {
        const unsigned char *first = key(m_items.front());
        size_t same = 0;
        const size_t most = std::min(m_common, n);
        while (same < most && first[same] == start[same])
            ++same;
        m_common = same;
    }
    m_items.push_back(item);
    m_headsFilled = false;
    m_run = m_at = 0;
}

int KeyedPiece::compareKeys(const Item &a, const Item &b) const
{
    if (m_headsFilled && a.head != b.head)
        return a.head < b.head ? -1 : 1;
    // Equal heads hold the same bytes, zeros past a shorter key's end.
    const size_t from = m_headsFilled ? m_common + 8 : m_common;
    const size_t la = length(a), lb = length(b);
    if (std::min(la, lb) > from)
        return compareBytes(key(a) + from, la - from, key(b) + from, lb - from);
    return la < lb ? -1 : la > lb ? 1 : 0;
}

bool KeyedPiece::before(const Item &a, const Item &b) const
{
    const int c = compareKeys(a, b);
    if (c != 0)
        return m_descending ? c > 0 : c < 0;
    return a.rowid < b.rowid;
}

void KeyedPiece::mergeRuns(size_t from, size_t middle, size_t end)
{
    // An index stretch is mostly near its sort order: runs already in
    // order stay as they are.
    if (!before(m_items[middle], m_items[middle - 1]))
        return;
    m_merge.assign(m_items.begin() + qsizetype(from), m_items.begin() + qsizetype(middle));
    size_t a = 0, b = middle, out = from;
    const size_t left = m_merge.size();
    while (a < left && b < end)
        m_items[out++] = before(m_items[b], m_merge[a]) ? m_items[b++] : m_merge[a++];
    while (a < left)
        m_items[out++] = m_merge[a++];
}

bool KeyedPiece::sort(const QDeadlineTimer &deadline)
{
    const size_t n = m_items.size();
    if (!m_headsFilled) {
        for (Item &i : m_items) {
            quint64 head = 0;
            const unsigned char *k = key(i);
            const size_t l = length(i);
            for (size_t b = 0; b < 8; ++b)
                head = (head << 8) | (m_common + b < l ? k[m_common + b] : 0);
            i.head = head;
        }
        m_headsFilled = true;
        m_run = m_at = 0;
    }
    while (m_run < n) {
        if (m_run == 0) {
            const size_t end = std::min(n, m_at + kRun);
            std::sort(m_items.begin() + qsizetype(m_at), m_items.begin() + qsizetype(end),
                      [this](const Item &a, const Item &b) { return before(a, b); });
            m_at = end;
            if (m_at >= n) {
                m_run = kRun;
                m_at = 0;
            }
        } else {
            const size_t middle = std::min(n, m_at + m_run), end = std::min(n, m_at + 2 * m_run);
            if (middle < end)
                mergeRuns(m_at, middle, end);
            m_at = end;
            if (m_at >= n) {
                m_run *= 2;
                m_at = 0;
            }
        }
        if (m_run < n && deadline.hasExpired())
            return false;
    }
    m_merge = {};
    return true;
}

void KeyedPiece::groups(std::vector<qint64> &rows, std::vector<size_t> &ends) const
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (i > 0 && compareKeys(m_items[i - 1], m_items[i]) != 0)
            ends.push_back(rows.size());
        rows.push_back(m_items[i].rowid);
    }
    if (!m_items.empty())
        ends.push_back(rows.size());
}

std::vector<qint64> KeyedPiece::firstGroup() const
{
    std::vector<qint64> rows = m_first;
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace engine
