#include "select/Frm_Auswahl_Pers.h"

#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"
#include "platform/MessageService.h"
#include "print/Print.h"
#include "record/Frm_Start.h"
#include "record/LoadBusiness.h"
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
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Auswahlliste Personen!");
const QString kMenuItem = QStringLiteral("menue_suchen_person");
constexpr int kSearchFields = 7;

struct ListColumn
{
    const char *gridCaption;
    const char *gridField;
    const char *labelName; // nullptr: the column has no search field
    const char *labelCaption;
    int maxLength;
    const char *searchField;
    int keyChars; // 0: a free text
};

// Column i of the grid is searched by Text1(i) and sorted by a click into it;
// the last column only shows the juridical person a representative acts for.
const ListColumn kColumns[8] = {
    {"Personennummer", "pers-nr", "Label2", "Personennummer:", 12, "person.[pers-nr]", 12},
    {"Name (jur. Pers.)", "p-eintr-name", "Label4", "Name (jur.Pers):", 150, "person.[p-eintr-name]", 0},
    {"Name (nat.Pers.)", "fam-name", "Label3", "Name (nat.Pers.):", 30, "person.[fam-name]", 0},
    {"Betriebsnummer", "betr-nr", "Label5", "Betriebsnummer:", 12, "betrieb.[betr-nr]", 12},
    {"BetrHistNr", "betr-hist-nr", "Label6", "BetrHistNr:", 4, "betrieb.[betr-hist-nr]", 4},
    {"Betriebsname", "b-eintr-name", "Label7", "Betriebsname", 150, "betrieb.[b-eintr-name]", 0},
    {"Gem.-Kz.", "gem-kz", "Label8", "Gem-Kz", 8, "betrieb.[gem-kz]", 8},
    {"Vertreter einer JP (BetrNr)", "pers-nr-jp", nullptr, nullptr, 0, nullptr, 12},
};

QString text(const QVariant &v)
{
    return engine::isNull(v) ? QString() : v.toString();
}

bool hasRows(const RS &rs)
{
    return rs && rs->isOpen() && rs->recordCount() > 0;
}

// The record window behind the hooks; nullptr when only plain views are installed.
Frm_Start *recordWindow()
{
    const FormHooks &f = G().forms;
    BoundView *pers = f.startView ? f.startView(QStringLiteral("DATA_PERS")) : nullptr;
    return pers ? qobject_cast<Frm_Start *>(pers->parent()) : nullptr;
}

BoundView *startView(const char *name)
{
    const FormHooks &f = G().forms;
    BoundView *view = f.startView ? f.startView(QString::fromLatin1(name)) : nullptr;
    if (!view) // the record window is not there: "object variable not set"
        throw engine::EngineError(91, QStringLiteral("PLOXA_4x_Access"), QString::fromLatin1(name));
    return view;
}

// The chosen row, read as text before the list goes away.
struct ChosenRow
{
    QString persNr, betrNr, betrHistNr, gemKz;
};

Frm_Auswahl_Pers *s_loaded = nullptr;

} // namespace

Frm_Auswahl_Pers::Frm_Auswahl_Pers(QWidget *parent) : platform::MdiChildWindow(parent)
{
    s_loaded = this;
    setObjectName(QStringLiteral("Frm_Auswahl_Pers"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("  PLOXA_3x_Access  (Auswahlliste - Personen)"));
    setGeometry(0, 0, platform::twips(12120), platform::twips(8850));

    data = new BoundView(QStringLiteral("data"), this);
    data->setCaption(QStringLiteral("blättern"));

    Label1 = new QLabel(QStringLiteral("Person Nr. ... von ..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);

    Frame1 = new QGroupBox(QStringLiteral("Suchkriterien"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *search = new QGridLayout(Frame1);
    for (int i = 0; i < kSearchFields; ++i) {
        const ListColumn &c = kColumns[i];
        auto *label = new QLabel(QString::fromUtf8(c.labelCaption), Frame1);
        label->setObjectName(QString::fromLatin1(c.labelName));
        auto *field = new QLineEdit(Frame1);
        field->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        field->setMaxLength(c.maxLength);
        if (c.keyChars > 0)
            roomForKey(field, c.keyChars);
        // The design-time text: the first activation empties every field and
        // so runs all seven searches once.
        field->setText(QStringLiteral("Text1"));
        label->setBuddy(field);
        Text1[size_t(i)] = field;
        search->addWidget(label, 0, i);
        search->addWidget(field, 1, i);
        // The name fields take the width the short keys do not need.
        search->setColumnStretch(i, c.maxLength >= 30 ? 3 : 1);
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
    dataNavigator = new NavigatorBar(data, Frame2);
    listBox->addWidget(dataNavigator);

    auto button = [this](int index, const QString &caption, QWidget *parent) {
        auto *b = new QPushButton(caption, parent);
        b->setObjectName(QStringLiteral("Command1(%1)").arg(index));
        Command1[size_t(index)] = b;
        connect(b, &QPushButton::clicked, this, [this, index] { Command1_Click(index); });
        return b;
    };
    Frame4 = new QGroupBox(this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto *buttons = new QHBoxLayout(Frame4);
    buttons->addWidget(button(0, QStringLiteral("OK"), Frame4));
    buttons->addWidget(button(1, QStringLiteral("Abbrechen"), Frame4));
    buttons->addStretch(1);
    Frame3 = new QGroupBox(QStringLiteral("drucken"), Frame4);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto *print = new QHBoxLayout(Frame3);
    print->addWidget(button(3, QStringLiteral("Satz"), Frame3));
    print->addWidget(button(4, QStringLiteral("Liste"), Frame3));
    buttons->addWidget(Frame3);

    auto *window = new QVBoxLayout(this);
    window->addWidget(Label1);
    window->addWidget(Frame1);
    window->addWidget(Frame2, 1);
    window->addWidget(Frame4);

    for (int i = 0; i < kSearchFields; ++i) {
        connect(Text1[size_t(i)], &QLineEdit::textChanged, this, [this, i] { Text1_Change(i); });
        Text1[size_t(i)]->installEventFilter(this);
    }
    connect(DBGrid1, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            Command1_Click(0);
    });
    connect(data, &BoundView::Reposition, this, &Frm_Auswahl_Pers::updatePositionLabel);
}

Frm_Auswahl_Pers::~Frm_Auswahl_Pers()
{
    // Destroyed with the main window, not closed: the menu goes away too, so
    // its busy flag is left alone.
    if (s_loaded == this)
        s_loaded = nullptr;
}

Frm_Auswahl_Pers *Frm_Auswahl_Pers::loaded()
{
    return s_loaded;
}

QString Frm_Auswahl_Pers::searchField(int i)
{
    return i >= 0 && i < kSearchFields ? QString::fromLatin1(kColumns[i].searchField) : QString();
}

QString Frm_Auswahl_Pers::listQuery(const QString &filter, const QString &order)
{
    return QStringLiteral("SELECT person.[pers-nr], person.[p-eintr-name], person.[fam-name], ")
           + QStringLiteral("betrieb.[betr-nr], betrieb.[betr-hist-nr], betrieb.[gem-kz], "
                            "betrieb.[b-eintr-name],beziehung_betrieb_person.[pers-nr-jp] ")
           + QStringLiteral(" FROM (betrieb ") + QStringLiteral(" INNER JOIN beziehung_betrieb_person ")
           + QStringLiteral(" ON (beziehung_betrieb_person.[bez-betr-hist-nr] = betrieb.[betr-hist-nr]) ")
           + QStringLiteral(" AND (betrieb.[betr-nr] = beziehung_betrieb_person.[bez-betr-nr]))")
           + QStringLiteral(" INNER JOIN person ON beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] ")
           + filter + QStringLiteral(" ORDER BY ") + order + QStringLiteral(";");
}

void Frm_Auswahl_Pers::collectMunicipalities()
{
    Declare &g = G();
    g.SQL_Gemeindefilter.clear();
    QString alternatives;
    if (BoundView *gemeinde = g.forms.optionenGemeinde ? g.forms.optionenGemeinde() : nullptr) {
        gemeinde->setDatabaseName(g.Datei_DB_Org);
        gemeinde->setRecordSource(QStringLiteral("aktuelleGemeinde"));
        gemeinde->Refresh();
        const RS rs = gemeinde->Recordset();
        if (hasRows(rs)) {
            rs->moveFirst();
            while (!rs->eof()) {
                const QVariant marked = rs->value(QStringLiteral("markiert"));
                if (!engine::isNull(marked) && marked.toBool())
                    alternatives +=
                        QStringLiteral(" or [gem-kz] = ") + engine::sqlQuote(text(rs->value(QStringLiteral("gem-kz"))));
                rs->moveNext();
            }
        }
    }
    // The empty key comes first, so businesses without one stay in every
    // filtered list.
    g.SQL_Gemeindefilter = QStringLiteral(" where betrieb.[gem-kz] = ''") + alternatives;
}

bool Frm_Auswahl_Pers::representativesMode() const
{
    return Frame1->isHidden();
}

void Frm_Auswahl_Pers::showAsChild()
{
    placeAsChild(G().forms.addMdiChild, QSize(platform::twips(12120), platform::twips(8850)));
    trackActivation();
}

void Frm_Auswahl_Pers::Form_Unload()
{
    if (s_loaded == this)
        s_loaded = nullptr;
    const FormHooks &f = G().forms;
    if (f.setMenuChecked)
        f.setMenuChecked(kMenuItem, false);
}

bool Frm_Auswahl_Pers::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        for (int i = 0; i < kSearchFields; ++i)
            if (watched == Text1[size_t(i)]) {
                Text1_Click(i);
                break;
            }
    }
    return QWidget::eventFilter(watched, event);
}

void Frm_Auswahl_Pers::Form_Activate()
{
    // Also in the representatives mode, where the fields are hidden.
    for (QLineEdit *field : Text1)
        field->setText(QString());
    updatePositionLabel();
}

void Frm_Auswahl_Pers::Text1_Change(int index)
{
    const auto rs = data->Recordset();
    if (!rs || !rs->isOpen() || index < 0 || index >= kSearchFields)
        return;
    listStep(kTitle, QStringLiteral("Frm_Auswahl_Pers.Text1_Change"),
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

void Frm_Auswahl_Pers::Text1_Click(int index)
{
    if (index < 0 || index >= kSearchFields)
        return;
    setCursor(Qt::WaitCursor);
    for (QLineEdit *field : Text1)
        field->setText(QString());
    listStep(kTitle, QStringLiteral("Frm_Auswahl_Pers.Text1_Click"),
             QStringLiteral("Die Auswahlliste konnte nicht sortiert werden!"), [this, index] {
                 Declare &g = G();
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
                 // The whole query anew, with the municipality marks as they are now.
                 g.SQL_Gemeindefilter.clear();
                 data->setDatabaseName(g.Datei_DB_offen);
                 if (g.Gemeindefilter_aktiv)
                     collectMunicipalities();
                 data->setRecordSource(listQuery(g.SQL_Gemeindefilter, searchField(index) + suffix));
                 data->Refresh();
                 rs = data->Recordset();
                 if (hasRows(rs)) {
                     rs->moveLast();
                     rs->moveFirst();
                 }
             });
    updatePositionLabel();
    unsetCursor();
}

void Frm_Auswahl_Pers::Command1_Click(int index)
{
    switch (index) {
    case 0: {
        ChosenRow row;
        bool current = false;
        listStep(kTitle, QStringLiteral("Frm_Auswahl_Pers.Command1_Click"),
                 QStringLiteral("Die gewählte Person konnte nicht gelesen werden!"), [&] {
                     const auto rs = data->Recordset();
                     // Without a current row there is nobody to take over.
                     if (!rs || !rs->isOpen() || rs->eof() || rs->bof())
                         return;
                     row.persNr = text(rs->value(QStringLiteral("pers-nr")));
                     row.betrNr = text(rs->value(QStringLiteral("betr-nr")));
                     row.betrHistNr = text(rs->value(QStringLiteral("betr-hist-nr")));
                     row.gemKz = text(rs->value(QStringLiteral("gem-kz")));
                     current = true;
                 });
        if (!current)
            return;
        if (representativesMode())
            takeRepresentative(row.persNr, row.betrNr, row.betrHistNr);
        else
            takePerson(row.gemKz, row.betrNr, row.betrHistNr);
        unload();
        break;
    }
    case 1: unload(); break;
    case 3: List_Druck_Satz(ListKind::Person, data); break;
    case 4: List_Druck_Liste(ListKind::Person, data); break;
    default: break;
    }
}

void Frm_Auswahl_Pers::takePerson(const QString &gemKz, const QString &betrNr, const QString &betrHistNr)
{
    const FormHooks &f = G().forms;
    if (Frm_Start *start = recordWindow())
        start->Command3->setVisible(false);
    if (f.showRecordView)
        f.showRecordView();
    if (Frm_Start *start = recordWindow())
        start->Frame_Anzahl->setVisible(true);
    listStep(kTitle, QStringLiteral("Frm_Auswahl_Pers.Command1_Click"),
             QStringLiteral("Die Gemeinde der gewählten Person konnte nicht gelesen werden!"), [&] {
                 BoundView *org = startView("DATA_ORG");
                 org->setRecordSource(QStringLiteral("SELECT ALL * From gemeindekennzahlen WHERE [gem-kz] = ")
                                      + engine::sqlQuote(gemKz) + QStringLiteral(" ;"));
                 org->Refresh();
             });
    // The tab event writes its own header; the list's header comes after it.
    if (f.setTab)
        f.setTab(3);
    if (f.setStatusText)
        f.setStatusText(QStringLiteral("Anzeige: Personendaten (nat. und jur. Person)"));
    DB_Load_DATA(gemKz, betrNr, betrHistNr);
}

void Frm_Auswahl_Pers::takeRepresentative(const QString &persNr, const QString &betrNr, const QString &betrHistNr)
{
    Declare &g = G();
    const FormHooks &f = g.forms;
    if (f.setStatusText)
        f.setStatusText(QStringLiteral("Anzeige: Personendaten (Vertreter einer jur. Person)"));
    if (Frm_Start *start = recordWindow())
        start->Command3->setVisible(true);
    listStep(kTitle, QStringLiteral("Frm_Auswahl_Pers.Command1_Click"),
             QStringLiteral("Der gewählte Vertreter konnte nicht angezeigt werden!"), [&] {
                 g.SQL_Abfrage = QStringLiteral("SELECT DISTINCTROW * FROM person ")
                                 + QStringLiteral("INNER JOIN beziehung_betrieb_person ON person.[pers-nr] = "
                                                  "beziehung_betrieb_person.[bez-pers-nr]")
                                 + QStringLiteral("WHERE beziehung_betrieb_person.[bez-betr-nr]= ")
                                 + engine::sqlQuote(betrNr) + QStringLiteral(" ")
                                 + QStringLiteral("AND beziehung_betrieb_person.[bez-betr-hist-nr]= ")
                                 + engine::sqlQuote(betrHistNr) + QStringLiteral(" ")
                                 + QStringLiteral("AND beziehung_betrieb_person.[bez-pers-nr]= ")
                                 + engine::sqlQuote(persNr) + QStringLiteral(" ;");
                 BoundView *pers = startView("DATA_PERS");
                 pers->setDatabaseName(g.Datei_DB_offen);
                 pers->setRecordSource(g.SQL_Abfrage);
                 pers->Refresh();
                 const RS rs = pers->Recordset();
                 if (hasRows(rs)) {
                     rs->moveLast();
                     rs->moveFirst();
                 }
             });
}

void Frm_Auswahl_Pers::updatePositionLabel()
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
    Label1->setText(QStringLiteral("Person Nr. %1 von %2").arg(position).arg(count));
}
