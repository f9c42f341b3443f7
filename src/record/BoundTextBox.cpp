#include "record/BoundTextBox.h"

#include "engine/Database.h"
#include "storage/BoundView.h"

#include <QDate>
#include <QLocale>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFrame>

BoundTextBox::BoundTextBox(BoundView *view, const QString &column, QWidget *parent)
    : QLineEdit(parent), m_view(view), m_column(column)
{
    setReadOnly(true);
    applyDisplayLook(this);
    if (m_view) {
        connect(m_view, &BoundView::Reposition, this, &BoundTextBox::refreshValue);
        connect(m_view, &BoundView::recordsetReplaced, this, &BoundTextBox::refreshValue);
    }
}

BoundView *BoundTextBox::dataSource() const
{
    return m_view;
}

void BoundTextBox::refreshValue()
{
    if (!m_view)
        return;
    setText(displayText(m_view->currentValue(m_column)));
    // Long values are read from their beginning, not from where the last one ended.
    setCursorPosition(0);
}

void BoundTextBox::showText(const QString &text)
{
    setText(text);
    setCursorPosition(0);
    m_tipFollowsText = true;
    updateTextTip();
}

void BoundTextBox::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    updateTextTip();
}

void BoundTextBox::updateTextTip()
{
    if (!m_tipFollowsText)
        return;
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect inside = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    // The line edit keeps two pixels free on either side of its text.
    const bool fits = fontMetrics().horizontalAdvance(text()) <= inside.width() - 4;
    setToolTip(fits ? QString() : text());
}

QString BoundTextBox::displayText(const QVariant &value)
{
    if (engine::isNull(value))
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
    case QMetaType::Double: return QLocale().toString(value.toDouble(), 'g', 15);
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    default: return value.toString();
    }
}

void BoundTextBox::applyDisplayLook(QWidget *box)
{
    QPalette pal = box->palette();
    const QColor grey(192, 192, 192);
    const QColor darkBlue(0, 0, 192);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, grey);
        pal.setColor(group, QPalette::Text, darkBlue);
    }
    box->setPalette(pal);
}
