#include "select/Frm_Auswahl_Pers.h"

#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"
#include "record/Frm_Start.h"
#include "record/LoadBusiness.h"
#include "record/NavigatorBar.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kSearchFields = 7;

// Column i of the grid is searched by Text1(i) and sorted by a click into it;
// the last column only shows the juridical person a representative acts for.
const SelectionColumn kColumns[8] = {
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

// Without reading a list that is still being read on to its end.
bool hasRows(const RS &rs)
{
    return rs && rs->isOpen() && rs->rowsKnown() > 0;
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

SelectionWindow *s_loaded = nullptr;

} // namespace

Frm_Auswahl_Pers::Frm_Auswahl_Pers(QWidget *parent)
    : SelectionWindow({"Frm_Auswahl_Pers", "  PLOXA_3x_Access  (Auswahlliste - Personen)", "Auswahlliste Personen!",
                       "menue_suchen_person", "Person", ListKind::Person, kColumns, kSearchFields, &s_loaded},
                      parent)
{
    Label1->setAlignment(Qt::AlignCenter);
    QGridLayout *search = buildSearchFrame(1);
    // The name fields take the width the short keys do not need.
    for (int i = 0; i < kSearchFields; ++i)
        search->setColumnStretch(i, kColumns[i].maxLength >= 30 ? 3 : 1);
    buildListFrame()->addWidget(dataNavigator);

    Frame4 = new QGroupBox(this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto *buttons = new QHBoxLayout(Frame4);
    addChoiceButtons(buttons);
    buttons->addStretch(1);
    buttons->addWidget(buildPrintFrame(Frame4));

    auto *window = new QVBoxLayout(this);
    window->addWidget(Label1);
    window->addWidget(Frame1);
    window->addWidget(Frame2, 1);
    window->addWidget(Frame4);
}

Frm_Auswahl_Pers *Frm_Auswahl_Pers::loaded()
{
    return static_cast<Frm_Auswahl_Pers *>(s_loaded);
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

void Frm_Auswahl_Pers::Form_Activate()
{
    // Also in the representatives mode, where the fields are hidden.
    SelectionWindow::Form_Activate();
    updatePositionLabel();
}

void Frm_Auswahl_Pers::sortBy(const QString &order)
{
    // The whole query anew, with the municipality marks as they are now.
    Declare &g = G();
    g.SQL_Gemeindefilter.clear();
    data->setDatabaseName(g.Datei_DB_offen);
    if (g.Gemeindefilter_aktiv)
        collectMunicipalities();
    data->setRecordSource(listQuery(g.SQL_Gemeindefilter, order));
    data->Refresh();
}

bool Frm_Auswahl_Pers::takeChoice()
{
    QString persNr, betrNr, betrHistNr, gemKz;
    const bool current =
        readCurrentRow(QStringLiteral("Die gewählte Person konnte nicht gelesen werden!"), [&](engine::Recordset &rs) {
            persNr = text(rs.value(QStringLiteral("pers-nr")));
            betrNr = text(rs.value(QStringLiteral("betr-nr")));
            betrHistNr = text(rs.value(QStringLiteral("betr-hist-nr")));
            gemKz = text(rs.value(QStringLiteral("gem-kz")));
        });
    if (!current)
        return false;
    if (representativesMode())
        takeRepresentative(persNr, betrNr, betrHistNr);
    else
        takePerson(gemKz, betrNr, betrHistNr);
    return true;
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
    step("Command1_Click", QStringLiteral("Die Gemeinde der gewählten Person konnte nicht gelesen werden!"), [&] {
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
        f.setStatusText(Frm_Start::representativeHeader());
    if (Frm_Start *start = recordWindow())
        start->Command3->setVisible(true);
    step("Command1_Click", QStringLiteral("Der gewählte Vertreter konnte nicht angezeigt werden!"), [&] {
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
