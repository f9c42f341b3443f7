#include "select/ListGeometry.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QFontMetrics>
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

// Height of one or two lines of text.
int linesHeight(const QFontMetrics &metrics, int lines)
{
    return metrics.boundingRect(QRect(0, 0, 10000, 10000), 0, lines > 1 ? QStringLiteral("X\nX") : QStringLiteral("X"))
        .height();
}

// The narrowest width that holds the text on so many lines, broken between
// words as the header breaks it when it draws.
int linesWidth(const QFontMetrics &metrics, const QString &text, int lines)
{
    const int height = linesHeight(metrics, lines);
    int low = 1, high = metrics.horizontalAdvance(text) + 4;
    while (low < high) {
        const int mid = (low + high) / 2;
        const QRect need = metrics.boundingRect(QRect(0, 0, mid, 10000), Qt::TextWordWrap, text);
        if (need.width() <= mid && need.height() <= height)
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

// Fits the columns of one grid to its visible width whenever that changes
// (the window is laid out, a scroll bar comes or goes): every caption shows
// whole, on two lines where one would not leave the room, and every key
// column its longest value; the free texts share the rest.
class ColumnFitter : public QObject
{
public:
    ColumnFitter(QTableView *grid, std::vector<int> keyChars)
        : QObject(grid), m_grid(grid), m_keyChars(std::move(keyChars))
    {
        QHeaderView *header = grid->horizontalHeader();
        header->setStretchLastSection(false);
        for (int i = 0; i < int(m_keyChars.size()); ++i)
            header->setSectionResizeMode(i, QHeaderView::Interactive);
        // A caption is broken between its words rather than cut short.
        header->setDefaultAlignment(Qt::AlignCenter | Qt::Alignment(Qt::TextWordWrap));
        header->setTextElideMode(Qt::ElideNone);
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
        const QFontMetrics captions = header->fontMetrics();
        const int captionMargin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        // The cell keeps a few pixels free around its text, as the grid draws it.
        const int padding = 2 * m_grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 8;
        // Each free text would like room for some fifteen characters.
        const int textMinimum = m_grid->fontMetrics().averageCharWidth() * 15 + padding;
        const size_t n = m_keyChars.size();
        std::vector<int> content(n), oneLine(n), twoLines(n);
        std::vector<bool> wrapped(n, false);
        for (size_t i = 0; i < n; ++i) {
            const QString caption =
                m_grid->model() ? m_grid->model()->headerData(int(i), Qt::Horizontal).toString() : QString();
            oneLine[i] = linesWidth(captions, caption, 1) + captionMargin;
            twoLines[i] = linesWidth(captions, caption, 2) + captionMargin;
            content[i] = m_keyChars[i] > 0 ? digitsWidth(m_grid, m_keyChars[i]) + padding : 0;
        }
        // What a column must have: its key and its caption; what a text would like besides.
        const auto hard = [&](size_t i) { return qMax(content[i], wrapped[i] ? twoLines[i] : oneLine[i]); };
        const auto soft = [&](size_t i) { return m_keyChars[i] > 0 ? hard(i) : qMax(hard(i), textMinimum); };
        const auto total = [&](auto width) {
            int sum = 0;
            for (size_t i = 0; i < n; ++i)
                sum += width(i);
            return sum;
        };
        const int room = m_grid->viewport()->width();
        // Captions go onto two lines, the one that gains most first, only as
        // far as keys and captions alone are too wide for the grid; the free
        // texts give up their wish before a caption is broken.
        while (total(hard) > room) {
            size_t best = n;
            int gain = 0;
            for (size_t i = 0; i < n; ++i) {
                if (wrapped[i])
                    continue;
                wrapped[i] = true;
                const int narrow = hard(i);
                wrapped[i] = false;
                const int saved = hard(i) - narrow;
                if (saved > gain) {
                    gain = saved;
                    best = i;
                }
            }
            if (best == n)
                break;
            wrapped[best] = true;
        }
        bool twoLineCaptions = false;
        for (size_t i = 0; i < n; ++i)
            twoLineCaptions = twoLineCaptions || (wrapped[i] && twoLines[i] < oneLine[i]);
        header->setMinimumHeight(twoLineCaptions ? linesHeight(captions, 2) + captionMargin : 0);

        // The free texts share what is left: beyond their wish when there is
        // room, else down towards what they must have.
        std::vector<int> width(n);
        const int wishes = total(soft), musts = total(hard);
        int texts = 0;
        for (size_t i = 0; i < n; ++i)
            texts += m_keyChars[i] > 0 ? 0 : 1;
        int left = room - (room >= wishes ? wishes : musts);
        int shared = 0;
        for (size_t i = 0; i < n; ++i) {
            width[i] = room >= wishes ? soft(i) : hard(i);
            if (m_keyChars[i] > 0 || left <= 0)
                continue;
            int extra = 0;
            if (room >= wishes)
                extra = left / texts;
            else if (wishes > musts)
                extra = left * (soft(i) - hard(i)) / (wishes - musts);
            width[i] += extra;
            shared += extra;
        }
        // The last free text takes what the division left over.
        for (size_t i = n; i-- > 0;) {
            if (m_keyChars[i] <= 0 && left > shared) {
                width[i] += left - shared;
                break;
            }
        }
        for (size_t i = 0; i < n; ++i)
            m_grid->setColumnWidth(int(i), width[i]);
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
