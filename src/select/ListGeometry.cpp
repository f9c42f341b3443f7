#include "select/ListGeometry.h"

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

} // namespace

void fitColumns(QTableView *grid, const std::vector<int> &keyChars)
{
    QHeaderView *header = grid->horizontalHeader();
    header->setStretchLastSection(false);
    // The cell keeps a few pixels free around its text, as the grid draws it.
    const int cellPadding = 2 * grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 8;
    for (int i = 0; i < int(keyChars.size()); ++i) {
        if (keyChars[size_t(i)] > 0) {
            header->setSectionResizeMode(i, QHeaderView::Interactive);
            grid->setColumnWidth(i, qMax(header->sectionSizeHint(i), digitsWidth(grid, keyChars[size_t(i)]) + cellPadding));
        } else {
            header->setSectionResizeMode(i, QHeaderView::Stretch);
        }
    }
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
