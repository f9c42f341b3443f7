#include "select/ViewTableModel.h"

#include "engine/EngineError.h"
#include "engine/Recordset.h"
#include "storage/BoundView.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

ViewTableModel::ViewTableModel(BoundView *view, QList<Column> columns, QObject *parent)
    : QAbstractTableModel(parent), m_view(view), m_columns(std::move(columns)), m_cache(kCachedBlocks)
{
    connect(view, &BoundView::recordsetReplaced, this, &ViewTableModel::reload);
    connect(view, &BoundView::Reposition, this, &ViewTableModel::followRecordset);
    connect(view, &BoundView::rowsArrived, this, &ViewTableModel::catchUp);
    reload();
}

ViewTableModel::~ViewTableModel() = default;

int ViewTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows);
}

int ViewTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ViewTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Block *rows = block(index.row() / kBlockRows);
    if (!rows)
        return {};
    const size_t inBlock = size_t(index.row() % kBlockRows);
    if (inBlock >= rows->size())
        return {};
    const QVariant &v = (*rows)[inBlock][size_t(index.column())];
    if (!v.isValid() || v.isNull())
        return {};
    return v.toString();
}

QVariant ViewTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_columns.size() ? QVariant(m_columns.at(section).caption) : QVariant();
    return section + 1;
}

Qt::ItemFlags ViewTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QString ViewTableModel::cellText(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns.size())
        return {};
    return data(index(row, column)).toString();
}

void ViewTableModel::attach(QAbstractItemView *grid)
{
    m_grid = grid;
    grid->setModel(this);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &) { followGrid(current); });
    followRecordset();
}

void ViewTableModel::reload()
{
    beginResetModel();
    m_cache.clear();
    m_rows = 0;
    m_fieldIndex.assign(size_t(m_columns.size()), -1);
    const auto rs = m_view ? m_view->Recordset() : nullptr;
    if (rs && rs->isOpen()) {
        try {
            m_rows = rs->rowsShown();
            m_generation = rs->shownGeneration();
            for (int c = 0; c < m_columns.size(); ++c)
                m_fieldIndex[size_t(c)] = rs->fieldIndex(m_columns.at(c).field);
        } catch (const engine::EngineError &) {
            // A result that cannot be counted shows as an empty grid.
            m_rows = 0;
        }
    }
    endResetModel();
}

const ViewTableModel::Block *ViewTableModel::block(long number) const
{
    if (const Block *cached = m_cache.object(number))
        return cached;
    const auto rs = m_view ? m_view->Recordset() : nullptr;
    if (!rs || !rs->isOpen())
        return nullptr;
    std::vector<std::vector<QVariant>> full;
    try {
        full = rs->readShownRows(number * kBlockRows, kBlockRows);
    } catch (const engine::EngineError &) {
        // The file went away under the grid (database closed or replaced):
        // show empty cells rather than fail while painting.
        return nullptr;
    }
    auto *rows = new Block;
    rows->reserve(full.size());
    for (const auto &row : full) {
        std::vector<QVariant> cells(m_fieldIndex.size());
        for (size_t c = 0; c < m_fieldIndex.size(); ++c) {
            const int f = m_fieldIndex[c];
            if (f >= 0 && size_t(f) < row.size())
                cells[c] = row[size_t(f)];
        }
        rows->push_back(std::move(cells));
    }
    m_cache.insert(number, rows);
    return m_cache.object(number);
}

void ViewTableModel::catchUp()
{
    const auto rs = m_view ? m_view->Recordset() : nullptr;
    long known = m_rows;
    try {
        if (rs && rs->isOpen()) {
            // A far match shown, or its number found: the rows are placed anew.
            if (rs->shownGeneration() != m_generation) {
                reload();
                followRecordset();
                return;
            }
            known = rs->rowsShown();
        }
    } catch (const engine::EngineError &) {
        return;
    }
    if (known <= m_rows)
        return;
    // The last block may have been read short.
    m_cache.remove(m_rows / kBlockRows);
    beginInsertRows(QModelIndex(), int(m_rows), int(known - 1));
    m_rows = known;
    endInsertRows();
}

void ViewTableModel::followRecordset()
{
    if (!m_grid || m_syncing || !m_grid->selectionModel())
        return;
    // A move to the end or a far search may have read rows on.
    catchUp();
    QItemSelectionModel *selection = m_grid->selectionModel();
    const auto rs = m_view ? m_view->Recordset() : nullptr;
    long pos = -1;
    try {
        if (rs && rs->isOpen() && !rs->eof() && !rs->bof())
            pos = rs->shownRow();
    } catch (const engine::EngineError &) {
        pos = -1;
    }
    m_syncing = true;
    if (pos < 0 || pos >= m_rows) {
        selection->clear();
    } else {
        const QModelIndex current = selection->currentIndex();
        const QModelIndex target = index(int(pos), current.isValid() ? current.column() : 0);
        selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_grid->scrollTo(target);
    }
    m_syncing = false;
}

void ViewTableModel::followGrid(const QModelIndex &current)
{
    if (m_syncing || !current.isValid())
        return;
    const auto rs = m_view ? m_view->Recordset() : nullptr;
    if (!rs || !rs->isOpen())
        return;
    try {
        if (!rs->eof() && !rs->bof() && rs->shownRow() == current.row())
            return;
        m_syncing = true;
        rs->setShownRow(current.row());
    } catch (const engine::EngineError &) {
        // The row vanished from the set; the grid keeps its selection.
    }
    m_syncing = false;
}
