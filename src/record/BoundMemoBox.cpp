#include "record/BoundMemoBox.h"

#include "record/BoundTextBox.h"
#include "storage/BoundView.h"

BoundMemoBox::BoundMemoBox(BoundView *view, const QString &column, QWidget *parent)
    : QTextEdit(parent), m_view(view), m_column(column)
{
    setReadOnly(true);
    setAcceptRichText(false);
    BoundTextBox::applyDisplayLook(this);
    if (m_view) {
        connect(m_view, &BoundView::Reposition, this, &BoundMemoBox::refreshValue);
        connect(m_view, &BoundView::recordsetReplaced, this, &BoundMemoBox::refreshValue);
    }
}

BoundView *BoundMemoBox::dataSource() const
{
    return m_view;
}

void BoundMemoBox::refreshValue()
{
    if (m_view)
        setPlainText(BoundTextBox::displayText(m_view->currentValue(m_column)));
}
