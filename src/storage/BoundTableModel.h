#pragma once

#include "storage/BoundView.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <vector>

// The rows of a bound view for a grid: one column per field of its record
// set, rows fetched in blocks as the grid scrolls to them. A Refresh of the
// view resets the model.
class BoundTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit BoundTableModel(BoundView *view, QObject *parent = nullptr);
    ~BoundTableModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    BoundView *view() const { return m_view; }

private:
    void reload();
    std::vector<std::vector<QVariant>> readBlock(long first);

    static constexpr int kBlock = 256;
    QPointer<BoundView> m_view;
    QStringList m_headers;
    std::vector<std::vector<QVariant>> m_rows;
    bool m_complete = true;
    bool m_busy = false; // a reset or insert is being announced
};
