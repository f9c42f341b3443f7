#pragma once

#include <QPointer>
#include <QTextEdit>

class BoundView;

// The display-only box of a memo column: several lines, scrolls when the
// remark is longer than the box.
class BoundMemoBox : public QTextEdit
{
    Q_OBJECT
public:
    BoundMemoBox(BoundView *view, const QString &column, QWidget *parent = nullptr);

    BoundView *dataSource() const;
    QString dataField() const { return m_column; }
    void refreshValue();

private:
    QPointer<BoundView> m_view;
    QString m_column;
};
