#include "select/Frm_Auswahl_Betr.h"

#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"
#include "platform/MessageService.h"
#include "print/Print.h"
#include "record/LoadBusiness.h"
#include "record/Frm_Start.h"
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
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Auswahlliste Betrieb!");
const QString kMenuItem = QStringLiteral("menue_suchen_betrieb");

struct ListColumn
{
    const char *gridCaption;
    const char *gridField;
    const char *labelName;
    const char *labelCaption;
    int maxLength;
    const char *searchField;
    int keyChars; // 0: a free text
};

// Column i of the grid is searched by Text1(i) and sorted by a click into it.
const ListColumn kColumns[6] = {
    {"Gemeindeschlüssel", "gem-kz", "Label4", "Gemeindeschlüssel:", 8, "betrieb.[gem-kz]", 8},
    {"Betriebsnummer", "betrieb.betr-nr", "Label2", "Betriebsnummer:", 12, "betrieb.[betr-nr]", 12},
    {"BetrHistNr", "betrieb.betr-hist-nr", "Label5", "BetrHistNr:", 4, "betrieb.[betr-hist-nr]", 4},
    {"Betriebsname", "b-eintr-name", "Label3", "Betriebsname:", 150, "betrieb.[b-eintr-name]", 0},
    {"Ort (Betriebsstätte)", "b-ort", "Label6", "Ort:", 150, "betrieb_adresse.[b-ort]", 0},
    {"Straße (Betriebsstätte)", "b-strasse", "Label7", "Straße:", 150, "betrieb_adresse.[b-strasse]", 0},
};

const QString kSelect = QStringLiteral("SELECT betrieb.*, betrieb_adresse.* ");
const QString kFrom = QStringLiteral("FROM betrieb ");
const QString kJoinHist =
    QStringLiteral("INNER JOIN betrieb_adresse ON (betrieb.[betr-hist-nr] = betrieb_adresse.[betr-hist-nr]) ");
const QString kJoinNr = QStringLiteral("AND (betrieb.[betr-nr] = betrieb_adresse.[betr-nr]) ");
const QString kLocation = QStringLiteral("WHERE betrieb_adresse.[b-adr-art] = '1' ");
const QString kOrder = QStringLiteral("ORDER BY betrieb.[betr-nr]");

QString text(const QVariant &v)
{
    return engine::isNull(v) ? QString() : v.toString();
}

Frm_Auswahl_Betr *s_loaded = nullptr;

} // namespace

Frm_Auswahl_Betr::Frm_Auswahl_Betr(QWidget *parent) : platform::MdiChildWindow(parent)
{
    s_loaded = this;
    setObjectName(QStringLiteral("Frm_Auswahl_Betr"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral(" PLOXA_3x_Access  (Auswahlliste - Betriebe)"));
    setGeometry(0, 0, platform::twips(12120), platform::twips(8850));

    data = new BoundView(QStringLiteral("data"), this);
    data->setCaption(QStringLiteral("blättern"));

    Frame1 = new QGroupBox(QStringLiteral("Suchkriterien"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *search = new QGridLayout(Frame1);
    for (int i = 0; i < 6; ++i) {
        const ListColumn &c = kColumns[i];
        auto *label = new QLabel(QString::fromUtf8(c.labelCaption), Frame1);
        label->setObjectName(QString::fromLatin1(c.labelName));
        auto *field = new QLineEdit(Frame1);
        field->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        field->setMaxLength(c.maxLength);
        if (c.keyChars > 0)
            roomForKey(field, c.keyChars);
        // The design-time text: the first activation empties every field and
        // so runs all six searches once.
        field->setText(QStringLiteral("Text1"));
        label->setBuddy(field);
        Text1[size_t(i)] = field;
        search->addWidget(label, (i % 3) * 2, i / 3);
        search->addWidget(field, (i % 3) * 2 + 1, i / 3);
    }

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
    for (const ListColumn &c : kColumns)
        columns.append({QString::fromUtf8(c.gridCaption), QString::fromLatin1(c.gridField)});
    gridModel = new ViewTableModel(data, columns, this);
    gridModel->attach(DBGrid1);
    std::vector<int> keyChars;
    for (const ListColumn &c : kColumns)
        keyChars.push_back(c.keyChars);
    fitColumns(DBGrid1, keyChars);
    listBox->addWidget(DBGrid1, 1);
    auto *below = new QHBoxLayout;
    dataNavigator = new NavigatorBar(data, Frame2);
    below->addWidget(dataNavigator, 1);
    Label1 = new QLabel(QStringLiteral("Betrieb Nr. ... von ..."), Frame2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance(QStringLiteral("Betrieb Nr. 999999 von 999999")));
    below->addWidget(Label1);
    listBox->addLayout(below);

    Frame4 = new QGroupBox(this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto *options = new QHBoxLayout(Frame4);
    const char *optionCaptions[3] = {"Alle", "Aktuelle", "Abgemeldete"};
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(QString::fromLatin1(optionCaptions[i]), Frame4);
        option->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        Option1[size_t(i)] = option;
        options->addWidget(option);
    }
    // Form_Load selects "Alle". Its option query would run before the list
    // has a database and be replaced by the first fill at once, so it is not
    // run: the button is checked before its click is connected.
    Option1[0]->setChecked(true);

    auto button = [this](int index, const QString &caption, QWidget *parent) {
        auto *b = new QPushButton(caption, parent);
        b->setObjectName(QStringLiteral("Command1(%1)").arg(index));
        Command1[size_t(index)] = b;
        connect(b, &QPushButton::clicked, this, [this, index] { Command1_Click(index); });
        return b;
    };
    Frame5 = new QGroupBox(this);
    Frame5->setObjectName(QStringLiteral("Frame5"));
    auto *choose = new QHBoxLayout(Frame5);
    choose->addWidget(button(0, QStringLiteral("OK"), Frame5));
    choose->addWidget(button(1, QStringLiteral("Abbrechen"), Frame5));
    Frame3 = new QGroupBox(QStringLiteral("drucken"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto *print = new QHBoxLayout(Frame3);
    print->addWidget(button(3, QStringLiteral("Satz"), Frame3));
    print->addWidget(button(4, QStringLiteral("Liste"), Frame3));

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Frame4, 1);
    bottom->addWidget(Frame5);
    bottom->addWidget(Frame3);
    auto *window = new QVBoxLayout(this);
    window->addWidget(Frame1);
    window->addWidget(Frame2, 1);
    window->addLayout(bottom);

    for (int i = 0; i < 6; ++i) {
        connect(Text1[size_t(i)], &QLineEdit::textChanged, this, [this, i] { Text1_Change(i); });
        Text1[size_t(i)]->installEventFilter(this);
    }
    for (int i = 0; i < 3; ++i)
        connect(Option1[size_t(i)], &QRadioButton::clicked, this, [this, i] { Option1_Click(i); });
    connect(DBGrid1, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            Command1_Click(0);
    });
    connect(data, &BoundView::Reposition, this, &Frm_Auswahl_Betr::updatePositionLabel);
}

Frm_Auswahl_Betr::~Frm_Auswahl_Betr()
{
    // Destroyed with the main window, not closed: the menu goes away too, so
    // its busy flag is left alone.
    if (s_loaded == this)
        s_loaded = nullptr;
}

Frm_Auswahl_Betr *Frm_Auswahl_Betr::loaded()
{
    return s_loaded;
}

QString Frm_Auswahl_Betr::searchField(int i)
{
    return i >= 0 && i < 6 ? QString::fromLatin1(kColumns[i].searchField) : QString();
}

QString Frm_Auswahl_Betr::firstFillQuery(bool filterOn, const QString &filter)
{
    QString sql = kSelect + kFrom + kJoinHist + kJoinNr + kLocation;
    if (filterOn)
        sql += QStringLiteral("AND ([gem-kz] = ''") + filter + QStringLiteral(")AND [meld-art] <> '999' ");
    else
        sql += QStringLiteral("AND [meld-art] <> '999' ");
    return sql + kOrder;
}

QString Frm_Auswahl_Betr::optionQuery(int option, bool filterOn, const QString &filterCopy)
{
    const QString head = kSelect + kFrom + kJoinHist;
    const QString m = QStringLiteral("AND ([gem-kz] = ''") + filterCopy + QStringLiteral(")");
    switch (option) {
    case 1:
        if (filterOn)
            return head + kJoinNr + kLocation + m + QStringLiteral("AND [betr-ende] Is Null ") + kOrder;
        return head + QStringLiteral("AND betrieb.[betr-nr] = betrieb_adresse.[betr-nr] ")
               + QStringLiteral("WHERE [betr-ende] Is Null ") + QStringLiteral("AND betrieb_adresse.[b-adr-art] = '1' ")
               + kOrder;
    case 2:
        if (filterOn)
            return head + kJoinNr + kLocation + m + QStringLiteral("AND [betr-ende] Is NOT Null ") + kOrder;
        return head + kJoinNr + QStringLiteral("WHERE [betr-ende] Is NOT Null ")
               + QStringLiteral("AND betrieb_adresse.[b-adr-art] = '1' ") + kOrder;
    default:
        if (filterOn)
            return head + kJoinNr + kLocation + m + kOrder;
        return head + kJoinNr + kLocation + kOrder;
    }
}

void Frm_Auswahl_Betr::showAsChild()
{
    placeAsChild(G().forms.addMdiChild, QSize(platform::twips(12120), platform::twips(8850)));
    trackActivation();
}

void Frm_Auswahl_Betr::Form_Unload()
{
    if (s_loaded == this)
        s_loaded = nullptr;
    const FormHooks &f = G().forms;
    if (f.setMenuChecked)
        f.setMenuChecked(kMenuItem, false);
}

bool Frm_Auswahl_Betr::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        for (int i = 0; i < 6; ++i)
            if (watched == Text1[size_t(i)]) {
                Text1_Click(i);
                break;
            }
    }
    return QWidget::eventFilter(watched, event);
}

void Frm_Auswahl_Betr::Form_Activate()
{
    for (QLineEdit *field : Text1)
        field->setText(QString());
}

void Frm_Auswahl_Betr::Option1_Click(int index)
{
    if (data->DatabaseName().isEmpty())
        return;
    listStep(kTitle, QStringLiteral("Frm_Auswahl_Betr.Option1_Click"),
             QStringLiteral("Die Auswahlliste konnte nicht neu aufgebaut werden!"), [this, index] {
                 Declare &g = G();
                 g.SQL_Abfrage = optionQuery(index, g.Gemeindefilter_aktiv, text(g.SQL_Gemeindefilter_Kopie));
                 data->setRecordSource(g.SQL_Abfrage);
                 data->Refresh();
             });
}

void Frm_Auswahl_Betr::Text1_Change(int index)
{
    const auto rs = data->Recordset();
    if (!rs || !rs->isOpen() || index < 0 || index > 5)
        return;
    listStep(kTitle, QStringLiteral("Frm_Auswahl_Betr.Text1_Change"),
             QStringLiteral("Die Suche in der Auswahlliste konnte nicht ausgeführt werden!"), [&] {
                 if (rs->recordCount() == 0)
                     return;
                 const QString criteria = searchField(index) + QStringLiteral(" LIKE '")
                                          + doubledApostrophes(Text1[size_t(index)]->text()) + QStringLiteral("*'");
                 rs->moveFirst();
                 // No match leaves the list on its first row.
                 rs->findFirst(criteria);
             });
}

void Frm_Auswahl_Betr::Text1_Click(int index)
{
    if (index < 0 || index > 5)
        return;
    setCursor(Qt::WaitCursor);
    for (QLineEdit *field : Text1)
        field->setText(QString());
    listStep(kTitle, QStringLiteral("Frm_Auswahl_Betr.Text1_Click"),
             QStringLiteral("Die Auswahlliste konnte nicht sortiert werden!"), [this, index] {
                 QString first, last;
                 auto rs = data->Recordset();
                 const long count = rs && rs->isOpen() ? rs->recordCount() : 0;
                 if (count > 0) {
                     // The direction test reads the list's first row, not the
                     // row that happens to be at the top of a scrolled grid.
                     DBGrid1->selectionModel()->setCurrentIndex(
                         gridModel->index(0, index), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                     first = gridModel->cellText(0, index);
                     rs->moveLast();
                     last = gridModel->cellText(int(count - 1), index);
                 }
                 // Compared as the engine sorts, so that a list starting with a
                 // lower-case letter or an umlaut still counts as ascending.
                 const QString suffix = engine::jetCompare(last, first) > 0 ? QStringLiteral(" DESC") : QString();
                 const QString source = data->RecordSource();
                 const qsizetype order = source.indexOf(QLatin1String("ORDER BY"));
                 if (order >= 0) {
                     data->setRecordSource(source.left(order) + QStringLiteral(" ORDER BY ") + searchField(index)
                                           + suffix);
                     data->Refresh();
                 }
                 rs = data->Recordset();
                 if (rs && rs->isOpen() && rs->recordCount() > 0) {
                     rs->moveLast();
                     rs->moveFirst();
                 }
             });
    updatePositionLabel();
    unsetCursor();
}

void Frm_Auswahl_Betr::Command1_Click(int index)
{
    if (index == 1) {
        unload();
        return;
    }
    QString gemKz, betrNr, betrHistNr;
    bool current = false;
    listStep(kTitle, QStringLiteral("Frm_Auswahl_Betr.Command1_Click"),
             QStringLiteral("Der gewählte Betrieb konnte nicht gelesen werden!"), [&] {
                 const auto rs = data->Recordset();
                 if (!rs || !rs->isOpen() || rs->eof() || rs->bof())
                     return;
                 gemKz = text(rs->value(QStringLiteral("gem-kz")));
                 betrNr = text(rs->value(QStringLiteral("betrieb.betr-nr")));
                 betrHistNr = text(rs->value(QStringLiteral("betrieb.betr-hist-nr")));
                 current = true;
             });
    if (!current)
        return;
    if (index == 0) {
        const FormHooks &f = G().forms;
        // "zurück" led from a representative back to his business; the
        // chosen business comes with all its persons.
        if (BoundView *pers = f.startView ? f.startView(QStringLiteral("DATA_PERS")) : nullptr) {
            if (auto *start = qobject_cast<Frm_Start *>(pers->parent()))
                start->Command3->setVisible(false);
        }
        if (f.showRecordView)
            f.showRecordView();
        if (f.setTab)
            f.setTab(0);
        if (f.setStatusText)
            f.setStatusText(QStringLiteral("Anzeige: Meldedaten"));
        DB_Load_DATA(gemKz, betrNr, betrHistNr);
        unload();
    }
    if (index == 3)
        List_Druck_Satz(ListKind::Betrieb, data);
    if (index == 4)
        List_Druck_Liste(ListKind::Betrieb, data);
}

void Frm_Auswahl_Betr::updatePositionLabel()
{
    long position = 0, count = 0;
    const auto rs = data->Recordset();
    if (rs && rs->isOpen()) {
        try {
            count = rs->recordCount();
            if (!rs->eof() && !rs->bof())
                position = rs->absolutePosition() + 1;
        } catch (const engine::EngineError &) {
            // The label is only a display; a failing set shows as empty.
            position = count = 0;
        }
    }
    Label1->setText(QStringLiteral("Betrieb Nr. %1 von %2").arg(position).arg(count));
}
