#include "select/PersonList.h"

#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "record/Frm_Start.h"
#include "select/Frm_Auswahl_Pers.h"
#include "select/ListStep.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QGroupBox>
#include <QPointer>

namespace {

const QString kTitle = QStringLiteral("Auswahlliste Personen!");
const QString kMenuItem = QStringLiteral("menue_suchen_person");

// The record window sits in a library below this one; it learns here who
// answers its "Personen anzeigen".
[[maybe_unused]] const bool s_registered = [] {
    Frm_Start::setRepresentativesOpener(&Frm_Start_Command1_Click);
    return true;
}();

QString text(const QVariant &v)
{
    return engine::isNull(v) ? QString() : v.toString();
}

bool menuChecked(const QString &item)
{
    const FormHooks &f = G().forms;
    return f.menuChecked && f.menuChecked(item);
}

void setMenuChecked(bool on)
{
    const FormHooks &f = G().forms;
    if (f.setMenuChecked)
        f.setMenuChecked(kMenuItem, on);
}

// The list's data view has its query: an empty result gets the box, any other
// is shown, on its last row when its count is known. True when shown.
bool showUnlessEmpty(Frm_Auswahl_Pers *list)
{
    list->data->Refresh();
    const RS rs = list->data->Recordset();
    if (!rs || !rs->isOpen() || rs->rowsKnown() == 0) {
        Declare &g = G();
        g.Msg_Titel = kTitle;
        g.Msg_Text = QStringLiteral("Es wurden in der Datenbank keine Sätze gefunden!");
        g.Msg_Stil = 64;
        Msg_Box();
        return false;
    }
    // A long list reads on between events; its label shows the count when known.
    if (rs->countKnown())
        rs->moveLast();
    list->showAsChild();
    return true;
}

bool openList(QPointer<Frm_Auswahl_Pers> &list)
{
    Declare &g = G();
    g.SQL_Gemeindefilter.clear();
    list = new Frm_Auswahl_Pers;
    list->data->setDatabaseName(g.Datei_DB_offen);
    if (g.Gemeindefilter_aktiv)
        Frm_Auswahl_Pers::collectMunicipalities();
    list->data->setRecordSource(Frm_Auswahl_Pers::listQuery(g.SQL_Gemeindefilter, QStringLiteral("person.[pers-nr]")));
    return showUnlessEmpty(list);
}

// The representatives of juridical person p in business b / h. With the filter
// on, the municipality alternatives and the representative condition form one
// parenthesised condition, so the filter cannot widen the list beyond p's
// representatives in that business.
bool openRepresentatives(QPointer<Frm_Auswahl_Pers> &list, const QString &p, const QString &b, const QString &h)
{
    Declare &g = G();
    g.SQL_Gemeindefilter.clear();
    list = new Frm_Auswahl_Pers;
    list->Frame1->hide();
    list->data->setDatabaseName(g.Datei_DB_offen);
    const QString representative = QStringLiteral("beziehung_betrieb_person.[pers-nr-jp] = ") + engine::sqlQuote(p);
    if (!g.Gemeindefilter_aktiv) {
        g.SQL_Gemeindefilter = QStringLiteral(" where ") + representative;
    } else {
        Frm_Auswahl_Pers::collectMunicipalities();
        const QString condition = g.SQL_Gemeindefilter.mid(QStringLiteral(" where ").size());
        g.SQL_Gemeindefilter = QStringLiteral(" where (") + condition + QStringLiteral(" or ") + representative
                               + QStringLiteral(")");
    }
    const QString sql =
        QStringLiteral("SELECT person.[pers-nr], person.[p-eintr-name], person.[fam-name], ")
        + QStringLiteral("betrieb.[betr-nr], betrieb.[betr-hist-nr], betrieb.[gem-kz], betrieb.[b-eintr-name], ")
        + QStringLiteral("beziehung_betrieb_person.[pers-nr-jp], beziehung_betrieb_person.[p-funktion] ")
        + QStringLiteral(" FROM (betrieb ") + QStringLiteral(" INNER JOIN beziehung_betrieb_person ")
        + QStringLiteral(" ON (beziehung_betrieb_person.[bez-betr-hist-nr] = betrieb.[betr-hist-nr]) ")
        + QStringLiteral(" AND (beziehung_betrieb_person.[bez-betr-nr] = betrieb.[betr-nr]))")
        + QStringLiteral(" INNER JOIN person ON beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] ")
        + g.SQL_Gemeindefilter + QStringLiteral(" AND beziehung_betrieb_person.[bez-betr-nr] = ")
        + engine::sqlQuote(b) + QStringLiteral(" AND ") + representative
        + QStringLiteral(" AND beziehung_betrieb_person.[bez-betr-hist-nr] = ") + engine::sqlQuote(h)
        + QStringLiteral(" ORDER BY person.[pers-nr];");
    list->data->setRecordSource(sql);
    return showUnlessEmpty(list);
}

// Runs an opening once the busy flag is set; every way out without a list
// closes what was loaded and clears the flag again.
void runOpening(const QString &label, const std::function<bool(QPointer<Frm_Auswahl_Pers> &)> &opening)
{
    QPointer<Frm_Auswahl_Pers> list;
    bool shown = false;
    listStep(kTitle, label, QStringLiteral("Die Auswahlliste konnte nicht geöffnet werden!"),
             [&] { shown = opening(list); });
    if (shown)
        return;
    if (list)
        list->unload();
    setMenuChecked(false);
}

} // namespace

void MDIForm1_menue_suchen_person_Click()
{
    if (menuChecked(kMenuItem))
        return;
    const FormHooks &f = G().forms;
    if (f.closeChildWindows)
        f.closeChildWindows();
    setMenuChecked(true);
    runOpening(QStringLiteral("MDIForm1.menue_suchen_person_Click"), openList);
}

void Frm_Start_Command1_Click(Frm_Start *start)
{
    if (!start)
        return;
    QString p, b, h;
    bool juridical = false;
    listStep(kTitle, QStringLiteral("Frm_Start.Command1_Click"),
             QStringLiteral("Die Vertreter der Person konnten nicht gelesen werden!"), [&] {
                 const RS rs = start->DATA_PERS->Recordset();
                 if (!rs || !rs->isOpen() || rs->recordCount() == 0 || rs->eof() || rs->bof())
                     return;
                 if (text(rs->value(QStringLiteral("p-art"))) == QLatin1String("NP"))
                     return;
                 p = text(rs->value(QStringLiteral("pers-nr")));
                 b = text(start->DATA_BETR->currentValue(QStringLiteral("betr-nr")));
                 h = text(start->DATA_BETR->currentValue(QStringLiteral("betr-hist-nr")));
                 juridical = true;
             });
    if (!juridical)
        return;
    for (const char *item : {"menue_suchen_betrieb", "menue_suchen_person", "menue_import_datenbank",
                             "menue_export_textdatei", "menue_extras_optionen", "menue_info"})
        if (menuChecked(QString::fromLatin1(item)))
            return;
    setMenuChecked(true);
    runOpening(QStringLiteral("Frm_Start.Command1_Click"),
               [&](QPointer<Frm_Auswahl_Pers> &list) { return openRepresentatives(list, p, b, h); });
}
