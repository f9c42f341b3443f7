#include "select/BusinessList.h"

#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "select/Frm_Auswahl_Betr.h"
#include "select/ListStep.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QPointer>

namespace {

const QString kTitle = QStringLiteral("Auswahlliste Betrieb!");
const QString kMenuItem = QStringLiteral("menue_suchen_betrieb");

// Without reading a list that is still being read on to its end.
bool hasRows(const RS &rs)
{
    return rs && rs->isOpen() && rs->rowsKnown() > 0;
}

// The empty-list box. Its text tells an empty business table from a filter
// that lets no business through.
void emptyListMessage()
{
    Declare &g = G();
    bool anyBusiness = false;
    try {
        anyBusiness = hasRows(g.RS_betrieb);
    } catch (const engine::EngineError &) {
        anyBusiness = false;
    }
    g.Msg_Titel = kTitle;
    g.Msg_Stil = 64;
    g.Msg_Text = anyBusiness
                     ? QStringLiteral("Bitte wählen Sie im Menüpunkt ''Optionen'',\neine gültige Gemeindekennzahl aus!")
                     : QStringLiteral("Es wurden in der Datenbank keine Sätze gefunden!");
    Msg_Box();
}

// Collects one alternative per marked municipality into SQL_Gemeindefilter;
// false when no row is marked.
bool collectMunicipalities()
{
    Declare &g = G();
    BoundView *gemeinde = g.forms.optionenGemeinde ? g.forms.optionenGemeinde() : nullptr;
    g.SQL_Gemeindefilter.clear();
    if (!gemeinde)
        return false;
    gemeinde->setDatabaseName(g.Datei_DB_Org);
    gemeinde->setRecordSource(QStringLiteral("aktuelleGemeinde"));
    gemeinde->Refresh();
    bool found = false;
    const RS rs = gemeinde->Recordset();
    if (hasRows(rs)) {
        rs->moveFirst();
        while (!rs->eof()) {
            const QVariant marked = rs->value(QStringLiteral("markiert"));
            if (!engine::isNull(marked) && marked.toBool()) {
                const QVariant key = rs->value(QStringLiteral("gem-kz"));
                g.SQL_Gemeindefilter += QStringLiteral(" or [gem-kz] = ")
                                        + engine::sqlQuote(engine::isNull(key) ? QString() : key.toString())
                                        + QStringLiteral(" ");
                found = true;
            }
            rs->moveNext();
        }
    }
    return found;
}

void askForMunicipality()
{
    Declare &g = G();
    g.Msg_Titel = kTitle;
    g.Msg_Stil = 36;
    g.Msg_Text =
        QStringLiteral("Filter ist aktiviert, aber keine Gemeindekennzahl festgelegt!\n\nWollen Sie eine auswählen?\n");
    Msg_Box();
    if (g.Msg_Antwort == 6 && g.forms.showOptionen)
        g.forms.showOptionen();
}

// The opening once the busy flag is set; true when the list is shown. A list
// that was loaded but is not shown stays in `list` for the caller to close.
bool openList(QPointer<Frm_Auswahl_Betr> &list)
{
    Declare &g = G();
    const FormHooks &f = g.forms;
    // The record window stands on the first business until one is chosen,
    // also when no list opens.
    if (BoundView *betr = f.startView ? f.startView(QStringLiteral("DATA_BETR")) : nullptr) {
        betr->setRecordSource(QStringLiteral("betrieb"));
        betr->Refresh();
        if (!hasRows(betr->Recordset())) {
            emptyListMessage();
            return false;
        }
    }
    list = new Frm_Auswahl_Betr;
    if (!g.Gemeindefilter_aktiv) {
        g.SQL_Abfrage = Frm_Auswahl_Betr::firstFillQuery(false, QString());
    } else {
        if (!collectMunicipalities()) {
            askForMunicipality();
            return false;
        }
        g.SQL_Gemeindefilter_Kopie = g.SQL_Gemeindefilter;
        g.SQL_Abfrage = Frm_Auswahl_Betr::firstFillQuery(true, g.SQL_Gemeindefilter);
    }
    list->data->setDatabaseName(g.Datei_DB_offen);
    list->data->setRecordSource(g.SQL_Abfrage);
    list->data->Refresh();
    const RS rs = list->data->Recordset();
    if (!hasRows(rs)) {
        emptyListMessage();
        return false;
    }
    // A list whose count is known goes to its last row; a long one reads on
    // between events and its label shows the count when it is known.
    if (rs->countKnown())
        rs->moveLast();
    list->updatePositionLabel();
    list->showAsChild();
    return true;
}

} // namespace

void MDIForm1_menue_suchen_betrieb_Click()
{
    const FormHooks &f = G().forms;
    if (f.menuChecked && f.menuChecked(kMenuItem))
        return;
    if (f.closeChildWindows)
        f.closeChildWindows();
    if (f.setMenuChecked)
        f.setMenuChecked(kMenuItem, true);

    QPointer<Frm_Auswahl_Betr> list;
    bool shown = false;
    listStep(kTitle, QStringLiteral("MDIForm1.menue_suchen_betrieb_Click"),
             QStringLiteral("Die Auswahlliste konnte nicht geöffnet werden!"), [&] { shown = openList(list); });
    if (shown)
        return;
    // Every way out without a list clears the busy flag again.
    if (list)
        list->unload();
    if (f.setMenuChecked)
        f.setMenuChecked(kMenuItem, false);
}
