#pragma once

#include <QAbstractTableModel>
#include <QCache>
#include <QList>
#include <QPointer>
#include <QString>
#include <vector>

class BoundView;
class QAbstractItemView;
class QModelIndex;

// The rows of a bound view for a grid, read-only. Rows are read from the
// view's record set in blocks as the grid asks for them and kept in a small
// cache; the result itself is never copied. A Refresh of the view resets the
// model. Once attached to a grid, the grid's current row and the record set's
// current row follow each other.
class ViewTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        QString caption;
        QString field; // the name the record set answers to ("gem-kz", "betrieb.betr-nr")
    };

    ViewTableModel(BoundView *view, QList<Column> columns, QObject *parent = nullptr);
    ~ViewTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Shows the model in the grid and keeps the two current rows in step.
    void attach(QAbstractItemView *grid);

    // Rows the record set came to know since: appended to the grid.
    void catchUp();
    // The name of the field a column shows.
    QString field(int column) const { return m_columns.value(column).field; }
    // The text a cell shows; empty for Null and for a row outside the list.
    QString cellText(int row, int column) const;

    static constexpr int kBlockRows = 128;
    static constexpr int kCachedBlocks = 64;

private:
    using Block = std::vector<std::vector<QVariant>>;

    void reload();
    void followRecordset();
    void followGrid(const QModelIndex &current);
    const Block *block(long number) const;

    QPointer<BoundView> m_view;
    QList<Column> m_columns;
    std::vector<int> m_fieldIndex; // per column its index in the record set, -1 when missing
    long m_rows = 0;
    quint64 m_generation = 0; // of the record set's shown rows
    mutable QCache<long, Block> m_cache;
    QPointer<QAbstractItemView> m_grid;
    bool m_syncing = false;
};
