#include "select/SelectionWindow.h"

#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"
#include "platform/MessageService.h"
#include "record/NavigatorBar.h"
#include "select/ListGeometry.h"
#include "select/ListStep.h"
#include "select/SearchText.h"
#include "select/ViewTableModel.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

SelectionWindow::SelectionWindow(const Kind &kind, QWidget *parent) : platform::MdiChildWindow(parent), m_kind(kind)
{
    *m_kind.loadedSlot = this;
    setObjectName(QString::fromLatin1(m_kind.formName));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromLatin1(m_kind.windowTitle));
    setGeometry(0, 0, platform::twips(12120), platform::twips(8850));

    data = new BoundView(QStringLiteral("data"), this);
    data->setCaption(QStringLiteral("blättern"));
    // A long list shows its first rows at once; its count follows.
    data->setReadOnInBackground(true);
    connect(data, &BoundView::rowsArrived, this, &SelectionWindow::updatePositionLabel);
    Label1 = new QLabel(QStringLiteral("%1 Nr. ... von ...").arg(QString::fromLatin1(m_kind.noun)), this);
    Label1->setObjectName(QStringLiteral("Label1"));
}

SelectionWindow::~SelectionWindow()
{
    // Destroyed with the main window, not closed: the menu goes away too, so
    // its busy flag is left alone.
    if (*m_kind.loadedSlot == this)
        *m_kind.loadedSlot = nullptr;
}

QGridLayout *SelectionWindow::buildSearchFrame(int rows)
{
    Frame1 = new QGroupBox(QStringLiteral("Suchkriterien"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *search = new QGridLayout(Frame1);
    for (int i = 0; i < m_kind.searchFields; ++i) {
        const SelectionColumn &c = m_kind.columns[size_t(i)];
        auto *label = new QLabel(QString::fromUtf8(c.labelCaption), Frame1);
        label->setObjectName(QString::fromLatin1(c.labelName));
        auto *field = new QLineEdit(Frame1);
        field->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        field->setMaxLength(c.maxLength);
        if (c.keyChars > 0)
            roomForKey(field, c.keyChars);
        // The design-time text: the first activation empties every field and
        // so runs every search once.
        field->setText(QStringLiteral("Text1"));
        label->setBuddy(field);
        Text1.push_back(field);
        search->addWidget(label, (i % rows) * 2, i / rows);
        search->addWidget(field, (i % rows) * 2 + 1, i / rows);
        connect(field, &QLineEdit::textChanged, this, [this, i] { Text1_Change(i); });
        field->installEventFilter(this);
    }
    return search;
}

QVBoxLayout *SelectionWindow::buildListFrame()
{
    Frame2 = new QGroupBox(QStringLiteral("Auswahlliste"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto *listBox = new QVBoxLayout(Frame2);
    DBGrid1 = new QTableView(Frame2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAlternatingRowColors(true);
    DBGrid1->setWordWrap(false);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->horizontalHeader()->setSectionsClickable(false);
    QList<ViewTableModel::Column> columns;
    std::vector<int> keyChars;
    for (const SelectionColumn &c : m_kind.columns) {
        columns.append({QString::fromUtf8(c.gridCaption), QString::fromLatin1(c.gridField)});
        keyChars.push_back(c.keyChars);
    }
    gridModel = new ViewTableModel(data, columns, this);
    gridModel->attach(DBGrid1);
    DBGrid1->installEventFilter(this);
    fitColumns(DBGrid1, keyChars);
    listBox->addWidget(DBGrid1, 1);
    dataNavigator = new NavigatorBar(data, Frame2);

    connect(DBGrid1, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            Command1_Click(0);
    });
    connect(data, &BoundView::Reposition, this, &SelectionWindow::updatePositionLabel);
    return listBox;
}

QPushButton *SelectionWindow::button(int index, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QStringLiteral("Command1(%1)").arg(index));
    Command1[size_t(index)] = b;
    connect(b, &QPushButton::clicked, this, [this, index] { Command1_Click(index); });
    return b;
}

void SelectionWindow::addChoiceButtons(QBoxLayout *box)
{
    box->addWidget(button(0, QStringLiteral("OK"), box->parentWidget()));
    box->addWidget(button(1, QStringLiteral("Abbrechen"), box->parentWidget()));
}

QGroupBox *SelectionWindow::buildPrintFrame(QWidget *parent)
{
    Frame3 = new QGroupBox(QStringLiteral("drucken"), parent);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto *print = new QHBoxLayout(Frame3);
    print->addWidget(button(3, QStringLiteral("Satz"), Frame3));
    print->addWidget(button(4, QStringLiteral("Liste"), Frame3));
    return Frame3;
}

void SelectionWindow::showAsChild()
{
    placeAsChild(G().forms.addMdiChild, QSize(platform::twips(12120), platform::twips(8850)));
    trackActivation();
}

void SelectionWindow::Form_Unload()
{
    if (*m_kind.loadedSlot == this)
        *m_kind.loadedSlot = nullptr;
    const FormHooks &f = G().forms;
    if (f.setMenuChecked)
        f.setMenuChecked(QString::fromLatin1(m_kind.menuItem), false);
}

bool SelectionWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Ctrl+End goes to the list's real end, also while its rows are still
    // being read: the grid knows only the rows read so far.
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const auto rs = data->Recordset();
        if (key->key() == Qt::Key_End && (key->modifiers() & Qt::ControlModifier) && rs && rs->isOpen()
            && !rs->countKnown()) {
            step("DBGrid1_KeyDown", QStringLiteral("Die Auswahlliste konnte nicht gelesen werden!"), [&] { rs->recordCount(); });
            gridModel->catchUp();
            updatePositionLabel();
        }
    }
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        for (size_t i = 0; i < Text1.size(); ++i)
            if (watched == Text1[i]) {
                Text1_Click(int(i));
                break;
            }
    }
    return QWidget::eventFilter(watched, event);
}

QString SelectionWindow::searchField(int i) const
{
    return i >= 0 && i < m_kind.searchFields ? QString::fromLatin1(m_kind.columns[size_t(i)].searchField) : QString();
}

bool SelectionWindow::step(const char *label, const QString &failure, const std::function<void()> &body)
{
    return listStep(QString::fromUtf8(m_kind.boxTitle),
                    QString::fromLatin1(m_kind.formName) + QLatin1Char('.') + QString::fromLatin1(label), failure,
                    body);
}

void SelectionWindow::emptySearchFields(bool search)
{
    // Each search starts again from the first row, so the last one alone
    // decides where the list stands: the others would only read, and where
    // a column is Null over a long stretch, read far.
    int last = -1;
    for (size_t i = 0; i < Text1.size(); ++i) {
        if (Text1[i]->text().isEmpty())
            continue;
        last = int(i);
        const QSignalBlocker quiet(Text1[i]);
        Text1[i]->setText(QString());
    }
    if (search && last >= 0)
        Text1_Change(last);
}

void SelectionWindow::Form_Activate()
{
    emptySearchFields(true);
}

void SelectionWindow::Text1_Change(int index)
{
    const auto rs = data->Recordset();
    if (!rs || !rs->isOpen() || index < 0 || index >= m_kind.searchFields)
        return;
    step("Text1_Change", QStringLiteral("Die Suche in der Auswahlliste konnte nicht ausgeführt werden!"), [&] {
        if (rs->rowsKnown() == 0)
            return;
        const QString criteria = searchField(index) + QStringLiteral(" LIKE '")
                                 + doubledApostrophes(Text1[size_t(index)]->text()) + QStringLiteral("*'");
        rs->moveFirst();
        // No match leaves the list on its first row.
        rs->findFirst(criteria);
    });
}

void SelectionWindow::Text1_Click(int index)
{
    if (index < 0 || index >= m_kind.searchFields)
        return;
    setCursor(Qt::WaitCursor);
    // The sort runs the query anew and starts on its first row: where the
    // searches would leave the list does not last.
    emptySearchFields(false);
    step("Text1_Click", QStringLiteral("Die Auswahlliste konnte nicht sortiert werden!"), [this, index] {
        QString first, last;
        auto rs = data->Recordset();
        if (rs && rs->isOpen() && rs->rowsKnown() > 0) {
            // The direction test reads the list's first row, not the row
            // that happens to be at the top of a scrolled grid.
            DBGrid1->selectionModel()->setCurrentIndex(gridModel->index(0, index),
                                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            first = gridModel->cellText(0, index);
            // The last row as the grid would show it, also of a list whose
            // end is not read yet.
            const QVariant v = rs->lastValue(gridModel->field(index));
            last = v.isNull() ? QString() : v.toString();
        }
        // Compared as the engine sorts, so that a list starting with a
        // lower-case letter or an umlaut still counts as ascending.
        const QString suffix = engine::jetCompare(last, first) > 0 ? QStringLiteral(" DESC") : QString();
        sortBy(searchField(index) + suffix);
        rs = data->Recordset();
        if (rs && rs->isOpen() && rs->rowsKnown() > 0) {
            // A count not yet complete arrives between events.
            if (rs->countKnown())
                rs->moveLast();
            rs->moveFirst();
        }
    });
    updatePositionLabel();
    unsetCursor();
}

bool SelectionWindow::readCurrentRow(const QString &failure, const std::function<void(engine::Recordset &)> &read)
{
    bool current = false;
    step("Command1_Click", failure, [&] {
        const auto rs = data->Recordset();
        // Without a current row there is nothing to take over.
        if (!rs || !rs->isOpen() || rs->eof() || rs->bof())
            return;
        read(*rs);
        current = true;
    });
    return current;
}

void SelectionWindow::Command1_Click(int index)
{
    switch (index) {
    case 0:
        if (takeChoice())
            unload();
        break;
    case 1: unload(); break;
    case 3:
        if (mayPrint())
            List_Druck_Satz(m_kind.printKind, data);
        break;
    case 4:
        if (mayPrint())
            List_Druck_Liste(m_kind.printKind, data);
        break;
    default: break;
    }
}

void SelectionWindow::updatePositionLabel()
{
    long position = 0, count = 0;
    bool counted = true, placed = true;
    const auto rs = data->Recordset();
    if (rs && rs->isOpen()) {
        try {
            counted = rs->countKnown();
            count = rs->rowsKnown();
            // A match found far on shows before its number is known.
            placed = rs->positionKnown();
            if (placed && !rs->eof() && !rs->bof())
                position = rs->absolutePosition() + 1;
        } catch (const engine::EngineError &) {
            // The label is only a display; a failing set shows as empty.
            position = count = 0;
        }
    }
    Label1->setText(QStringLiteral("%1 Nr. %2 von %3")
                        .arg(QString::fromLatin1(m_kind.noun))
                        .arg(placed ? QString::number(position) : QStringLiteral("..."))
                        .arg(counted ? QString::number(count) : QStringLiteral("...")));
}
