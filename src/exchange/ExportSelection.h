#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

namespace engine {
class Database;
}

namespace exchange {

// The businesses of one export file: the rowids of their betrieb rows in
// the file's order, each row read from the table when it is written. A copy
// of the selected rows would hold the whole table in memory; this holds
// 9 bytes a business.
//
// The processing status of each row is worked out while the rowids are
// read, from the row's betr-nr against the next row's and its betr-Ende;
// storeStatus writes it.
class ExportSelection
{
public:
    // The rows of betrieb whose schluesselfeld is `key` (all rows without
    // one), in ascending betr-nr, then betr-hist-nr; rows equal in both keep
    // the order in which they were stored.
    ExportSelection(std::shared_ptr<engine::Database> db, const std::optional<QString> &key);

    long count() const { return long(m_rowids.size()); }
    bool eof() const { return m_at >= count(); }
    void moveFirst() { moveTo(0); }
    void moveNext() { moveTo(m_at + 1); }

    // The columns of betrieb, in the table's order, and the current row's
    // values as a record set of the table gives them.
    int fieldCount() const { return int(m_names.size()); }
    const QString &fieldName(int index) const { return m_names[size_t(index)]; }
    QVariant value(int index) const;
    QVariant value(const QString &name) const;

    // Stores the processing status of row `index` (E, A or H).
    void storeStatus(long index);

private:
    void readKeys(const QString &sql);
    void moveTo(long index);
    void loadRow() const;

    std::shared_ptr<engine::Database> m_db;
    std::vector<qint64> m_rowids;
    std::vector<char> m_status;
    std::vector<QString> m_names;
    std::vector<int> m_types;
    QHash<QString, int> m_indexOf; // by lower-case name
    long m_at = 0;
    mutable std::vector<QVariant> m_row;
    mutable bool m_loaded = false;
};

} // namespace exchange
