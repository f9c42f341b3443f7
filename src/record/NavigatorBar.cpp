#include "record/NavigatorBar.h"

#include "storage/BoundView.h"
#include "storage/ErrorLog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

NavigatorBar::NavigatorBar(BoundView *view, QWidget *parent) : QWidget(parent), m_view(view)
{
    setObjectName(view->objectName() + QStringLiteral("_Navigator"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    auto button = [this, row](const QString &text, const QString &tip, void (BoundView::*move)()) {
        auto *b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        b->setAutoRaise(false);
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QToolButton::clicked, this, [this, move] { navigate(move); });
        row->addWidget(b);
        return b;
    };
    m_first = button(QStringLiteral("|<"), QStringLiteral("erster Datensatz"), &BoundView::navigateFirst);
    m_previous = button(QStringLiteral("<"), QStringLiteral("vorheriger Datensatz"), &BoundView::navigatePrevious);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFrameShape(QFrame::Panel);
    m_caption->setFrameShadow(QFrame::Sunken);
    m_caption->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Satz 9999 von 9999")) + 8);
    row->addWidget(m_caption, 1);
    m_next = button(QStringLiteral(">"), QStringLiteral("nächster Datensatz"), &BoundView::navigateNext);
    m_last = button(QStringLiteral(">|"), QStringLiteral("letzter Datensatz"), &BoundView::navigateLast);

    m_caption->setText(view->Caption());
    setEnabled(view->Enabled());
    setVisible(view->Visible());
    connect(view, &BoundView::captionChanged, m_caption, &QLabel::setText);
    connect(view, &BoundView::enabledChanged, this, &QWidget::setEnabled);
    connect(view, &BoundView::visibleChanged, this, &QWidget::setVisible);
}

BoundView *NavigatorBar::view() const
{
    return m_view;
}

QString NavigatorBar::captionText() const
{
    return m_caption->text();
}

void NavigatorBar::navigate(void (BoundView::*move)())
{
    if (!m_view)
        return;
    // A click must never take the program down: a failing move is logged.
    guarded(m_view->objectName() + QStringLiteral("_Navigator"), [this, move] { (m_view->*move)(); });
}
