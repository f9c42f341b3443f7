#include "storage/BoundTableModel.h"

#include "engine/Database.h"
#include "storage/BoundView.h"

BoundTableModel::BoundTableModel(BoundView *view, QObject *parent) : QAbstractTableModel(parent), m_view(view)
{
    if (view)
        connect(view, &BoundView::recordsetReplaced, this, &BoundTableModel::reload);
    reload();
}

BoundTableModel::~BoundTableModel() = default;

void BoundTableModel::reload()
{
    beginResetModel();
    m_headers.clear();
    m_rows.clear();
    m_complete = true;
    const auto rs = m_view ? m_view->Recordset() : nullptr;
    if (rs && rs->isOpen()) {
        for (int i = 0; i < rs->fieldCount(); ++i)
            m_headers << rs->fieldInfo(i).name;
        m_complete = false;
        m_rows = readBlock(0);
    }
    // Views answer a reset or an insert by asking for more; rows must not
    // arrive while the change before them is still being announced.
    m_busy = true;
    endResetModel();
    m_busy = false;
}

std::vector<std::vector<QVariant>> BoundTableModel::readBlock(long first)
{
    const auto rs = m_view ? m_view->Recordset() : nullptr;
    std::vector<std::vector<QVariant>> block;
    try {
        if (rs && rs->isOpen())
            block = rs->readRows(first, kBlock);
    } catch (const engine::EngineError &) {
        // The file was released under the grid (compaction, switch): show
        // what was read; the next Refresh brings the grid back.
        block.clear();
    }
    if (int(block.size()) < kBlock)
        m_complete = true;
    return block;
}

int BoundTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BoundTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant BoundTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()) || index.column() >= int(m_headers.size()))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const QVariant &v = m_rows[size_t(index.row())][size_t(index.column())];
    return engine::isNull(v) ? QVariant() : v;
}

QVariant BoundTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_headers.size() ? QVariant(m_headers.at(section)) : QVariant();
    return section + 1;
}

bool BoundTableModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_complete && !m_busy;
}

void BoundTableModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_complete || m_busy)
        return;
    std::vector<std::vector<QVariant>> block = readBlock(long(m_rows.size()));
    if (block.empty())
        return;
    const int first = int(m_rows.size());
    m_busy = true;
    beginInsertRows(QModelIndex(), first, first + int(block.size()) - 1);
    for (auto &row : block)
        m_rows.push_back(std::move(row));
    endInsertRows();
    m_busy = false;
}
