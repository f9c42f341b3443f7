// Rows of one stretch of a case-blind index, sorted by their German sort keys a slice at a time.
#pragma once

#include <QDeadlineTimer>
#include <QtGlobal>
#include <memory>
#include <vector>

namespace engine {

// Collects rowids with their texts, builds each text's sort key once, and
// sorts them in steps short enough to run between events: sorted runs
// first, then merges of neighbouring runs. Keys share a common start in a
// piece (every text in it starts alike), so the comparison begins after
// it, on eight bytes held beside the rowid. Fresh memory is slow to come
// by, so the keys go into blocks that are never copied, and one buffer
// serves every merge.
class KeyedPiece
{
public:
    // `firstOnly` keeps only the rows of the first key: firstGroup() then
    // needs no memory for the others, and sort() and groups() none at all.
    explicit KeyedPiece(bool descending = false, bool firstOnly = false)
        : m_descending(descending), m_firstOnly(firstOnly)
    {
    }

    void add(qint64 rowid, const unsigned char *text, int bytes);

    // Sorts on until done (true) or until the deadline has passed.
    bool sort(const QDeadlineTimer &deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    // After sort(): appends the rowids in the key order (reversed when
    // descending), those of equal keys ascending, and one past the last of
    // each such group to `ends`.
    void groups(std::vector<qint64> &rows, std::vector<size_t> &ends) const;
    // With `firstOnly`: the group that comes first, rowids ascending.
    std::vector<qint64> firstGroup() const;

private:
    struct Item
    {
        quint64 head = 0; // the eight key bytes after the common start
        qint64 rowid = 0;
        quint32 at = 0;     // block and place in it; for a long key, its index in m_long
        quint32 length = 0; // kLong set for a key held in m_long
    };
    static constexpr int kBlockBits = 20;
    static constexpr quint32 kLong = 0x80000000u;

    bool m_descending;
    bool m_firstOnly;
    std::vector<Item> m_items;
    std::vector<std::unique_ptr<unsigned char[]>> m_blocks;
    std::vector<std::unique_ptr<unsigned char[]>> m_long;
    size_t m_blockUsed = size_t(1) << kBlockBits; // of the last block: none yet
    std::unique_ptr<unsigned char[]> m_scratch;
    size_t m_scratchSize = 0;
    size_t m_common = 0; // bytes every key starts with alike
    // Sorting: heads filled, then runs sorted, then merged pairwise with
    // the run length doubling.
    bool m_headsFilled = false;
    size_t m_run = 0, m_at = 0;
    std::vector<Item> m_merge;
    // firstOnly: the first key so far and its rowids.
    std::vector<unsigned char> m_firstKey;
    std::vector<qint64> m_first;

    const unsigned char *key(const Item &i) const;
    static size_t length(const Item &i) { return i.length & ~kLong; }
    unsigned char *scratch(size_t size);
    int compareKeys(const Item &a, const Item &b) const;
    bool before(const Item &a, const Item &b) const;
    void mergeRuns(size_t from, size_t middle, size_t end);
};

} // namespace engine
