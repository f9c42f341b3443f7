#include "select/Frm_Auswahl_Betr.h"

#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"
#include "record/Frm_Start.h"
#include "record/LoadBusiness.h"
#include "record/NavigatorBar.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Column i of the grid is searched by Text1(i) and sorted by a click into it.
const SelectionColumn kColumns[6] = {
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

SelectionWindow *s_loaded = nullptr;

} // namespace

Frm_Auswahl_Betr::Frm_Auswahl_Betr(QWidget *parent)
    : SelectionWindow({"Frm_Auswahl_Betr", " PLOXA_3x_Access  (Auswahlliste - Betriebe)", "Auswahlliste Betrieb!",
                       "menue_suchen_betrieb", "Betrieb", ListKind::Betrieb, kColumns, 6, &s_loaded},
                      parent)
{
    buildSearchFrame(3);
    QVBoxLayout *listBox = buildListFrame();
    auto *below = new QHBoxLayout;
    below->addWidget(dataNavigator, 1);
    below->addWidget(Label1);
    listBox->addLayout(below);
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance(QStringLiteral("Betrieb Nr. 999999 von 999999")));

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

    Frame5 = new QGroupBox(this);
    Frame5->setObjectName(QStringLiteral("Frame5"));
    addChoiceButtons(new QHBoxLayout(Frame5));
    buildPrintFrame(this);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Frame4, 1);
    bottom->addWidget(Frame5);
    bottom->addWidget(Frame3);
    auto *window = new QVBoxLayout(this);
    window->addWidget(Frame1);
    window->addWidget(Frame2, 1);
    window->addLayout(bottom);

    for (int i = 0; i < 3; ++i)
        connect(Option1[size_t(i)], &QRadioButton::clicked, this, [this, i] { Option1_Click(i); });
}

Frm_Auswahl_Betr *Frm_Auswahl_Betr::loaded()
{
    return static_cast<Frm_Auswahl_Betr *>(s_loaded);
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

void Frm_Auswahl_Betr::Option1_Click(int index)
{
    if (data->DatabaseName().isEmpty())
        return;
    step("Option1_Click", QStringLiteral("Die Auswahlliste konnte nicht neu aufgebaut werden!"), [this, index] {
        Declare &g = G();
        g.SQL_Abfrage = optionQuery(index, g.Gemeindefilter_aktiv, text(g.SQL_Gemeindefilter_Kopie));
        data->setRecordSource(g.SQL_Abfrage);
        data->Refresh();
    });
}

void Frm_Auswahl_Betr::sortBy(const QString &order)
{
    const QString source = data->RecordSource();
    const qsizetype at = source.indexOf(QLatin1String("ORDER BY"));
    if (at >= 0) {
        data->setRecordSource(source.left(at) + QStringLiteral(" ORDER BY ") + order);
        data->Refresh();
    }
}

bool Frm_Auswahl_Betr::readChoice(QString &gemKz, QString &betrNr, QString &betrHistNr)
{
    return readCurrentRow(QStringLiteral("Der gewählte Betrieb konnte nicht gelesen werden!"),
                          [&](engine::Recordset &rs) {
                              gemKz = text(rs.value(QStringLiteral("gem-kz")));
                              betrNr = text(rs.value(QStringLiteral("betrieb.betr-nr")));
                              betrHistNr = text(rs.value(QStringLiteral("betrieb.betr-hist-nr")));
                          });
}

bool Frm_Auswahl_Betr::mayPrint()
{
    QString gemKz, betrNr, betrHistNr;
    return readChoice(gemKz, betrNr, betrHistNr);
}

bool Frm_Auswahl_Betr::takeChoice()
{
    QString gemKz, betrNr, betrHistNr;
    if (!readChoice(gemKz, betrNr, betrHistNr))
        return false;
    const FormHooks &f = G().forms;
    // "zurück" led from a representative back to his business; the chosen
    // business comes with all its persons.
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
    return true;
}
