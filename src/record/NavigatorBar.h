#pragma once

#include <QPointer>
#include <QWidget>

class BoundView;
class QLabel;
class QToolButton;

// The navigator of a bound view: first / previous, the view's caption,
// next / last. It follows the view's Caption, Enabled and Visible.
class NavigatorBar : public QWidget
{
    Q_OBJECT
public:
    explicit NavigatorBar(BoundView *view, QWidget *parent = nullptr);

    BoundView *view() const;
    QString captionText() const;

    QToolButton *firstButton() const { return m_first; }
    QToolButton *previousButton() const { return m_previous; }
    QToolButton *nextButton() const { return m_next; }
    QToolButton *lastButton() const { return m_last; }

private:
    void navigate(void (BoundView::*move)());

    QPointer<BoundView> m_view;
    QLabel *m_caption = nullptr;
    QToolButton *m_first = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
};
