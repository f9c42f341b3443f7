#include "print/Print.h"

#include "engine/Database.h"
#include "engine/Recordset.h"
#include "print/PrintText.h"
#include "print/Printer.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"

namespace {

constexpr qsizetype kFirstLine = 116;
constexpr qsizetype kFollowLine = 60;

QString value(engine::Recordset &rs, const char *name)
{
    return print::fieldText(rs.value(QString::fromLatin1(name)));
}

// A history number right-aligned in four places; a longer one stands whole,
// a Null one adds nothing.
QString histNr(engine::Recordset &rs, const char *name)
{
    const QVariant v = rs.value(QString::fromLatin1(name));
    return engine::isNull(v) ? QString() : print::fieldText(v).rightJustified(4, QLatin1Char(' '));
}

QString rowText(ListKind kind, engine::Recordset &rs, long lfdNr)
{
    const QString sep = QStringLiteral(" - ");
    QString row = QString::number(lfdNr).rightJustified(6, QLatin1Char(' '));
    if (kind == ListKind::Betrieb) {
        row += sep + value(rs, "gem-kz");
        row += sep + value(rs, "betrieb.betr-nr");
        row += sep + histNr(rs, "betrieb.betr-hist-nr");
        row += sep + value(rs, "b-eintr-name");
    } else {
        row += sep + value(rs, "pers-nr");
        row += sep + value(rs, "betr-nr");
        row += sep + histNr(rs, "betr-hist-nr");
        row += sep + value(rs, "p-eintr-name");
        row += sep + value(rs, "fam-name");
        row += sep + QStringLiteral("Fa. ") + value(rs, "b-eintr-name");
    }
    return row;
}

// A long row goes on below, indented by a third of the page.
void printRow(const QString &row)
{
    if (row.size() <= kFirstLine) {
        DS_Druck_Zeile(row);
        return;
    }
    print::Printer &p = print::printer();
    DS_Druck_Zeile(row.left(kFirstLine));
    QString rest = row.mid(kFirstLine);
    while (!rest.isEmpty()) {
        p.setCurrentX(p.pageWidth() / 3);
        DS_Druck_Zeile(rest.left(kFollowLine));
        rest = rest.mid(kFollowLine);
    }
}

} // namespace

void List_Druck_Liste(ListKind kind, BoundView *data)
{
    const bool person = kind == ListKind::Person;
    const QString title = printDialogTitle(kind);
    const QString label = person ? QStringLiteral("Frm_Auswahl_Pers.Command1_Click")
                                 : QStringLiteral("Frm_Auswahl_Betr.Command1_Click");
    const RS rs = data ? data->Recordset() : RS();
    if (!rs || !rs->isOpen())
        return;
    bool empty = true;
    if (!guarded(label, [&] { empty = rs->recordCount() == 0 || (!person && rs->eof()); }) || empty)
        return;
    if (DS_Drucker_Dialog(title) >= 1)
        return;

    Declare &g = G();
    print::Printer &p = print::printer();
    long lfdNr = 0;
    long position = -1;
    g.Druck_OK = true;
    const bool done = guarded(label, [&] {
        position = rs->absolutePosition();
        p.setFontName(QStringLiteral("Courier New"));
        p.setFontSize(12);
        p.setFontUnderline(true);
        p.setFontBold(true);
        g.Druck_Kopfzeile = person ? QStringLiteral("Personenliste     Seite: ") : QStringLiteral("Betriebsliste     Seite: ");
        DS_Druck_Zeile(g.Druck_Kopfzeile + QString::number(p.page()));
        if (person) {
            p.setFontUnderline(false);
            p.setFontBold(false);
            DS_Druck_Zeile(QString());
        } else {
            DS_Druck_Zeile(QString());
            p.setFontUnderline(false);
            p.setFontBold(false);
        }
        p.setFontSize(8);
        DS_Druck_Zeile(QString());
        DS_Druck_Zeile(person ? QStringLiteral("LfdNr - PersonenNr. - BetriebsNr. - BetriebshistorienNr. - Name(jP) - "
                                               "Name(nP) - Betriebsname")
                              : QStringLiteral("LfdNr - Gemeindenummer - Betriebsnummer - Betriebshistoriennummer - "
                                               "Betriebsname"));
        DS_Druck_Zeile(QString());
        rs->moveFirst();
        while (!rs->eof()) {
            ++lfdNr;
            printRow(rowText(kind, *rs, lfdNr));
            rs->moveNext();
        }
        endPrintRun();
        if (position >= 0)
            rs->setAbsolutePosition(position);
    });
    if (done)
        return;

    // Whatever was printed goes out, and the list stands where it stood.
    guarded(label, endPrintRun);
    if (position >= 0)
        guarded(label, [&] { rs->setAbsolutePosition(position); });
    // A printer failure has had its box already.
    if (!g.Druck_OK)
        return;
    g.Msg_Titel = title;
    g.Msg_Text = QStringLiteral("Die Liste konnte nicht vollständig gedruckt werden!") + QChar(10)
                 + QStringLiteral("Der Fehler wurde in die Log-Datei geschrieben.");
    g.Msg_Stil = 48;
    Msg_Box();
}
