#include "record/LoadBusiness.h"

#include "engine/JetSql.h"
#include "record/CodeTexts.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"

namespace {

BoundView &startView(const char *name)
{
    BoundView *view = G().forms.startView ? G().forms.startView(QString::fromLatin1(name)) : nullptr;
    if (!view) // the record window is not there: error 91, "object variable not set"
        throw engine::EngineError(91, QStringLiteral("PLOXA_4x_Access"), QString::fromLatin1(name));
    return *view;
}

QString q(const QVariant &value)
{
    return engine::sqlQuote(engine::isNull(value) ? QString() : value.toString());
}

// Points a view at the working database with the query in SQL_Abfrage.
void requery(BoundView &view)
{
    view.setDatabaseName(G().Datei_DB_offen);
    view.setRecordSource(G().SQL_Abfrage);
    view.Refresh();
}

// Completes the count and comes back to the first row, so the counter reads
// position 1 of the full count. Empty views are left alone.
void countAndRewind(BoundView &view)
{
    if (!hasRows(&view))
        return;
    view.Recordset()->moveLast();
    view.Recordset()->moveFirst();
}

} // namespace

bool hasRows(BoundView *view)
{
    if (!view)
        return false;
    const auto rs = view->Recordset();
    return rs && rs->isOpen() && rs->recordCount() > 0;
}

QString recordCounterText(BoundView *view)
{
    if (!hasRows(view))
        return QStringLiteral("0");
    const auto rs = view->Recordset();
    const long count = rs->recordCount();
    const long position = rs->absolutePosition();
    if (position < 0) // deleted or run past the end: no current row to number
        return QStringLiteral("0");
    return QStringLiteral("Satz ") + QString::number(position + 1) + QStringLiteral(" von ") + QString::number(count);
}

void DB_Load_DATA(const QVariant &gemKz, const QVariant &betrNr, const QVariant &betrHistNr)
{
    G().Ortungs_Nr = 0;
    const ErrorSite site{QStringLiteral("DB_Load_DATA"), QStringLiteral("BetriebsNummer: "),
                         [betrNr] { return betrNr; }};
    guarded(site, [&] {
        Declare &g = G();
        BoundView &betr = startView("DATA_BETR");
        betr.setRecordSource(QStringLiteral("SELECT DISTINCTROW * FROM betrieb ") +
                             QStringLiteral("WHERE betrieb.[gem-kz] = ") + q(gemKz) + QStringLiteral(" ") +
                             QStringLiteral("AND betrieb.[betr-nr] = ") + q(betrNr) + QStringLiteral(" ") +
                             QStringLiteral("AND betrieb.[betr-hist-nr] = ") + q(betrHistNr) + QStringLiteral(";"));
        betr.Refresh();
        if (!hasRows(&betr))
            return;

        BoundView &org = startView("DATA_ORG");
        org.setRecordSource(QStringLiteral("SELECT ALL * From gemeindekennzahlen WHERE [gem-kz] = ") +
                            q(betr.currentValue(QStringLiteral("gem-kz"))) + QStringLiteral(" ;"));
        org.Refresh();

        static const char *const businessViews[][2] = {
            {"DATA_Meld", "betrieb_meldgrundsonst"},    {"DATA_ADR", "betrieb_adresse"},
            {"DATA_BETRErl", "betrieb_erlaubnis"},      {"DATA_TAET", "betrieb_taetigkeit"},
            {"DATA_BETRHwk", "betrieb_handwerkskarte"},
        };
        for (const auto &entry : businessViews) {
            const QString table = QString::fromLatin1(entry[1]);
            g.SQL_Abfrage = QStringLiteral("SELECT DISTINCTROW * FROM ") + table + QStringLiteral(" ") +
                            QStringLiteral("WHERE ") + table + QStringLiteral(".[betr-nr] = ") + q(betrNr) +
                            QStringLiteral(" ") + QStringLiteral("AND ") + table +
                            QStringLiteral(".[betr-hist-nr] = ") + q(betrHistNr) + QStringLiteral(" ;");
            BoundView &view = startView(entry[0]);
            requery(view);
            countAndRewind(view);
        }

        // Only the persons of the business itself; the representatives of a
        // juridical person (pers-nr-jp set) are listed from that person.
        g.SQL_Abfrage = QStringLiteral("SELECT DISTINCTROW * FROM person ") +
                        QStringLiteral("INNER JOIN beziehung_betrieb_person ON person.[pers-nr] = "
                                       "beziehung_betrieb_person.[bez-pers-nr]") +
                        QStringLiteral("WHERE beziehung_betrieb_person.[bez-betr-nr]= ") + q(betrNr) +
                        QStringLiteral(" ") + QStringLiteral("AND beziehung_betrieb_person.[bez-betr-hist-nr]= ") +
                        q(betrHistNr) + QStringLiteral(" ") +
                        QStringLiteral("AND (len(beziehung_betrieb_person.[pers-nr-jp]) = 0 OR "
                                       "len(beziehung_betrieb_person.[pers-nr-jp]) is Null )") +
                        QStringLiteral("ORDER BY person.[pers-nr];");
        BoundView &pers = startView("DATA_PERS");
        requery(pers);
        countAndRewind(pers);
    });
}

std::optional<QString> DATA_PERS_Reposition()
{
    Declare &g = G();
    BoundView &betr = startView("DATA_BETR");
    if (!hasRows(&betr))
        return std::nullopt;
    BoundView &pers = startView("DATA_PERS");
    const bool withPerson = hasRows(&pers);
    QVariant p;
    if (withPerson) {
        const auto rs = pers.Recordset();
        if (!rs->eof() && !rs->bof())
            p = rs->value(0);
    }
    const QVariant b = betr.currentValue(QStringLiteral("betr-nr"));
    const QVariant h = betr.currentValue(QStringLiteral("betr-hist-nr"));

    BoundView &bez = startView("DATA_Bez_Betr_Pers");
    g.SQL_Abfrage = QStringLiteral("SELECT DISTINCTROW * FROM beziehung_betrieb_person ") +
                    QStringLiteral("WHERE beziehung_betrieb_person.[bez-betr-nr] = ") + q(b) + QStringLiteral(" ") +
                    QStringLiteral("AND beziehung_betrieb_person.[bez-pers-nr] = ") + q(p) + QStringLiteral(" ") +
                    QStringLiteral("AND beziehung_betrieb_person.[bez-betr-hist-nr] = ") + q(h) + QStringLiteral(" ");
    requery(bez);

    BoundView &staat = startView("DATA_PERSStaat");
    g.SQL_Abfrage = QStringLiteral("SELECT DISTINCTROW * FROM person_staatsang ") +
                    QStringLiteral("WHERE person_staatsang.[pers-nr] = ") + q(p) + QStringLiteral(" ");
    requery(staat);
    countAndRewind(staat);

    // Permits and craft cards count only for the business they came with.
    BoundView &erl = startView("DATA_PERSErl");
    g.SQL_Abfrage = QStringLiteral("SELECT DISTINCTROW * FROM person_erlaubnis ") +
                    QStringLiteral("WHERE person_erlaubnis.[pers-nr] = ") + q(p) + QStringLiteral(" ") +
                    QStringLiteral("AND person_erlaubnis.[betr-nr] = ") + q(b);
    requery(erl);
    countAndRewind(erl);

    BoundView &hwk = startView("DATA_PERSHwk");
    g.SQL_Abfrage = QStringLiteral("SELECT DISTINCTROW * FROM person_handwerkskarte ") +
                    QStringLiteral("WHERE person_handwerkskarte.[pers-nr] = ") + q(p) + QStringLiteral(" ") +
                    QStringLiteral("AND person_handwerkskarte.[betr-nr] = ") + q(b);
    requery(hwk);
    countAndRewind(hwk);

    QString function;
    if (withPerson && hasRows(&bez)) {
        const QVariant code = bez.currentValue(QStringLiteral("p-funktion"));
        if (!engine::isNull(code))
            function = funktionText(code);
    }
    pers.setCaption(recordCounterText(&pers));
    return function;
}
