#pragma once

#include <QLineEdit>
#include <QPointer>

class BoundView;

// A display-only box showing one column of a view's current row; empty while
// the view has no row. Without a view it is a plain display box that the
// window fills itself (the code-to-text boxes).
class BoundTextBox : public QLineEdit
{
    Q_OBJECT
public:
    BoundTextBox(BoundView *view, const QString &column, QWidget *parent = nullptr);

    BoundView *dataSource() const;
    QString dataField() const { return m_column; }

    // Reads the column again (the view's Reposition does this by itself).
    void refreshValue();
    // The window's own text for an unbound box: shown from its beginning,
    // and whole as the tip while it is wider than the box.
    void showText(const QString &text);

    // The text a bound box shows for a stored value.
    static QString displayText(const QVariant &value);
    // Grey box, dark-blue text: the look of every display-only box.
    static void applyDisplayLook(QWidget *box);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateTextTip();

    QPointer<BoundView> m_view;
    QString m_column;
    bool m_tipFollowsText = false;
};
