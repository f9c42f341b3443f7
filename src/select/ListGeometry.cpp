#include "select/ListGeometry.h"

#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>

namespace {

int digitsWidth(const QWidget *w, int chars)
{
    return w->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0')));
}

// Keeps the key columns of one grid at their width whenever the grid's
// visible width changes (the window is laid out, a scroll bar comes or goes).
class ColumnFitter : public QObject
{
public:
    ColumnFitter(QTableView *grid, std::vector<int> keyChars)
        : QObject(grid), m_grid(grid), m_keyChars(std::move(keyChars))
    {
        QHeaderView *header = grid->horizontalHeader();
        header->setStretchLastSection(false);
        for (int i = 0; i < int(m_keyChars.size()); ++i)
            header->setSectionResizeMode(i, m_keyChars[size_t(i)] > 0 ? QHeaderView::Interactive : QHeaderView::Stretch);
        grid->viewport()->installEventFilter(this);
        m_viewport = grid->viewport();
        fit();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The viewport's last events arrive while the grid is being torn
        // down, when it is a table view no longer: the grid is asked nothing
        // before the event is known to be a resize of its viewport.
        if (event->type() == QEvent::Resize && watched == m_viewport)
            fit();
        return QObject::eventFilter(watched, event);
    }

private:
    void fit()
    {
        QHeaderView *header = m_grid->horizontalHeader();
        // The cell keeps a few pixels free around its text, as the grid draws it.
        const int padding = 2 * m_grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 8;
        // Each free text keeps room for some fifteen characters.
        const int textMinimum = m_grid->fontMetrics().averageCharWidth() * 15 + padding;
        int keys = 0, texts = 0, captionsWant = 0;
        std::vector<int> content(m_keyChars.size(), 0), caption(m_keyChars.size(), 0);
        for (size_t i = 0; i < m_keyChars.size(); ++i) {
            if (m_keyChars[i] <= 0) {
                ++texts;
                continue;
            }
            content[i] = digitsWidth(m_grid, m_keyChars[i]) + padding;
            caption[i] = qMax(0, header->sectionSizeHint(int(i)) - content[i]);
            keys += content[i];
            captionsWant += caption[i];
        }
        // A key column always shows its longest value; what the texts can
        // spare goes to the key captions.
        const int spare = qMax(0, m_grid->viewport()->width() - keys - texts * textMinimum);
        for (size_t i = 0; i < m_keyChars.size(); ++i) {
            if (m_keyChars[i] <= 0)
                continue;
            const int extra = captionsWant <= spare ? caption[i] : caption[i] * spare / captionsWant;
            m_grid->setColumnWidth(int(i), content[i] + extra);
        }
    }

    QTableView *m_grid;
    const QObject *m_viewport = nullptr;
    std::vector<int> m_keyChars;
};

} // namespace

void fitColumns(QTableView *grid, const std::vector<int> &keyChars)
{
    new ColumnFitter(grid, keyChars);
}

void roomForKey(QLineEdit *field, int chars)
{
    QStyleOptionFrame option;
    option.initFrom(field);
    option.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    // The line edit keeps two pixels free on either side of its text.
    const QSize text(digitsWidth(field, chars) + 4, field->fontMetrics().height());
    field->setMinimumWidth(field->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, field).width());
}
