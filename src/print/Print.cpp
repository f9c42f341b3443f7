#include "print/Print.h"

#include "engine/EngineError.h"
#include "engine/JetSql.h"
#include "engine/Recordset.h"
#include "print/Printer.h"
#include "print/PrintText.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/RuntimeError.h"

#include <algorithm>
#include <functional>

using engine::sqlQuote;
using print::printer;

namespace {

const QString kVorne = QStringLiteral("vorne");
const QString kMitte = QStringLiteral("mitte");
const QString kCourier = QStringLiteral("Courier New");

// The items whose check mark says that a window or a job is open; a print
// from the menu waits for all of them.
const char *const kBusyItems[] = {"menue_suchen_person",    "menue_suchen_betrieb",  "menue_druck_betrieb",
                                  "menue_druck_Person",     "menue_info",            "menue_extras_optionen",
                                  "menue_import_datenbank", "menue_export_textdatei"};

// The business tables of a report, in the order the report lists them.
const char *const kBusinessTables[] = {"betrieb",           "betrieb_meldgrundsonst", "betrieb_adresse",
                                       "betrieb_erlaubnis", "betrieb_handwerkskarte", "betrieb_taetigkeit"};

RS &tableRecordset(Declare &g, const QString &table)
{
    if (table == QLatin1String("betrieb_meldgrundsonst"))
        return g.RS_betrieb_meldgrundsonst;
    if (table == QLatin1String("betrieb_adresse"))
        return g.RS_betrieb_adresse;
    if (table == QLatin1String("betrieb_erlaubnis"))
        return g.RS_betrieb_erlaubnis;
    if (table == QLatin1String("betrieb_handwerkskarte"))
        return g.RS_betrieb_handwerkskarte;
    if (table == QLatin1String("betrieb_taetigkeit"))
        return g.RS_betrieb_taetigkeit;
    return g.RS_betrieb;
}

void setBusy(bool busy)
{
    if (const auto &hook = G().forms.setBusyCursor)
        hook(busy);
}

bool menuChecked(const char *item)
{
    const auto &hook = G().forms.menuChecked;
    return hook && hook(QString::fromLatin1(item));
}

void setMenuChecked(const QString &item, bool checked)
{
    if (const auto &hook = G().forms.setMenuChecked)
        hook(item, checked);
}

BoundView *startView(const char *name)
{
    const auto &hook = G().forms.startView;
    return hook ? hook(QString::fromLatin1(name)) : nullptr;
}

// Without a record window nothing can have been chosen on it.
bool startPictureShown()
{
    const auto &hook = G().forms.startPictureShown;
    return !hook || hook();
}

void messageBox(const QString &title, const QString &text, int style)
{
    Declare &g = G();
    g.Msg_Titel = title;
    g.Msg_Text = text;
    g.Msg_Stil = style;
    Msg_Box();
}

// The first printer failure of a run ends its printing, and the clerk hears
// of it in one box that says what failed.
void printerFailed(const QString &detail)
{
    Declare &g = G();
    g.Druck_OK = false;
    const QString what = detail.isEmpty() ? QStringLiteral("Der Drucker meldet einen Fehler.") : detail;
    messageBox(QStringLiteral("Druckerfehler!"),
               what + QChar(10)
                   + QStringLiteral("Der Ausdruck wurde abgebrochen und der Fehler in die Log-Datei geschrieben."),
               64);
}

// One line, on a new page below the header when it would start too low.
void printLine(const QVariant &text)
{
    Declare &g = G();
    print::Printer &p = printer();
    if (p.currentY() > p.pageHeight() - 300) {
        // The line keeps the place its caller gave it, below the header.
        const double x = p.currentX();
        p.newPage();
        const double size = p.fontSize();
        p.setFontSize(12);
        p.setFontBold(true);
        p.setFontUnderline(true);
        p.print(g.Druck_Kopfzeile + QString::number(p.page()));
        p.setFontBold(false);
        p.setFontUnderline(false);
        p.setFontSize(size);
        p.print(QString());
        g.Druck_Y = p.currentY();
        p.setCurrentX(x);
    }
    p.print(print::fieldText(text));
}

// The current row's value of a view's record set; a view that holds no result
// has no row to read.
QVariant currentValue(BoundView *view, const char *name, const char *what)
{
    RS rs = view ? view->Recordset() : RS();
    return runtime::require(rs, what)->value(QString::fromLatin1(name));
}

// The record print proper; persNr is read only where the person is printed,
// so that an unreadable person number fails inside the print run.
void druck1(const QString &kind, const QString &betrNr, const QString &betrHistNr,
            const std::function<QVariant()> &persNr)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    guarded(QStringLiteral("DS_Druck_1"), [&] {
        print::Printer &p = printer();
        g.Druck_OK = true;
        setBusy(true);
        g.Druck_Schriftgroesse_alt = p.fontSize();
        g.Druck_Schriftart_alt = p.fontName();
        p.setFontSize(8);
        p.setFontName(kCourier);
        DB &db = runtime::require(g.Datenbank_Daten, "Datenbank_Daten");

        if (kind == QLatin1String("Betrieb")) {
            p.setFontSize(12);
            p.setFontBold(true);
            p.setFontUnderline(true);
            g.Druck_Kopfzeile = QStringLiteral("Betriebsnummer: ") + betrNr + QStringLiteral("     Seite: ");
            DS_Druck_Zeile(g.Druck_Kopfzeile + QString::number(p.page()));
            DS_Druck_Zeile(QString());
            p.setFontUnderline(false);
            DS_Druck_Zeile(QStringLiteral("  Betriebs-Datei"));
            p.setFontSize(8);
            p.setFontBold(false);
            for (const char *name : kBusinessTables) {
                const QString t = QString::fromLatin1(name);
                const QString sql = QStringLiteral("SELECT distinctrow * From ") + t + QStringLiteral(" ")
                                    + QStringLiteral("WHERE ") + t + QStringLiteral(".[betr-nr] = ") + sqlQuote(betrNr)
                                    + QStringLiteral(" ") + QStringLiteral("AND ") + t
                                    + QStringLiteral(".[betr-hist-nr] = ") + sqlQuote(betrHistNr);
                RS &target = tableRecordset(g, t);
                target = db->openRecordset(sql);
                DS_Druck_2(target, t, 0);
            }
            p.setFontSize(12);
            DS_Druck_Zeile(QString());
            DS_Druck_Zeile(QStringLiteral("  Personen-Datei"));
            p.setFontSize(8);
        }

        const QString everyPerson =
            QStringLiteral("SELECT DISTINCTROW * FROM person ")
            + QStringLiteral("INNER JOIN beziehung_betrieb_person ON beziehung_betrieb_person.[bez-pers-nr] = "
                             "person.[pers-nr] ")
            + QStringLiteral("WHERE beziehung_betrieb_person.[bez-betr-nr] = ") + sqlQuote(betrNr) + QStringLiteral(" ")
            + QStringLiteral("AND beziehung_betrieb_person.[bez-betr-hist-nr] = ") + sqlQuote(betrHistNr)
            + QStringLiteral(" ");
        if (kind != QLatin1String("Person"))
            g.SQL_Abfrage = everyPerson;
        if (kind == QLatin1String("Person")) {
            p.setFontSize(12);
            p.setFontBold(true);
            p.setFontUnderline(true);
            const QString person = print::fieldText(persNr());
            g.Druck_Kopfzeile = QStringLiteral("Personennummer: ") + person + QStringLiteral("     Seite: ");
            DS_Druck_Zeile(g.Druck_Kopfzeile + QString::number(p.page()));
            DS_Druck_Zeile(QString());
            p.setFontUnderline(false);
            DS_Druck_Zeile(QStringLiteral("  Personen-Datei"));
            p.setFontSize(8);
            p.setFontBold(false);
            g.SQL_Abfrage = everyPerson + QStringLiteral("AND person.[pers-nr] = ") + sqlQuote(person)
                            + QStringLiteral(" ");
        }

        g.RS_person = db->openRecordset(g.SQL_Abfrage);
        RS persons = g.RS_person;
        qint16 counter = 0;
        if (!persons->eof() && !persons->bof()) {
            persons->moveLast();
            persons->moveFirst();
            while (!persons->eof()) {
                // A lone person is titled without a number.
                if (persons->recordCount() > 1)
                    ++counter;
                else
                    --counter;
                DS_Druck_2(persons, QStringLiteral("person"), counter);
                const QString pers = print::fieldText(persons->value(QStringLiteral("pers-nr")));
                g.RS_person_staatsang = db->openRecordset(
                    QStringLiteral("SELECT distinctrow * ") + QStringLiteral("From person_staatsang ")
                    + QStringLiteral("WHERE person_staatsang.[pers-nr] = ") + sqlQuote(pers));
                DS_Druck_2(g.RS_person_staatsang, QStringLiteral("person_staatsang"), 0);
                g.RS_person_erlaubnis = db->openRecordset(
                    QStringLiteral("SELECT distinctrow * ") + QStringLiteral("From person_erlaubnis ")
                    + QStringLiteral("WHERE person_erlaubnis.[pers-nr] = ") + sqlQuote(pers) + QStringLiteral(" ")
                    + QStringLiteral("AND person_erlaubnis.[betr-nr] = ") + sqlQuote(betrNr));
                DS_Druck_2(g.RS_person_erlaubnis, QStringLiteral("person_erlaubnis"), 0);
                g.RS_person_handwerkskarte = db->openRecordset(
                    QStringLiteral("SELECT distinctrow * ") + QStringLiteral("From person_handwerkskarte ")
                    + QStringLiteral("WHERE person_handwerkskarte.[pers-nr] = ") + sqlQuote(pers) + QStringLiteral(" ")
                    + QStringLiteral("AND person_handwerkskarte.[betr-nr] = ") + sqlQuote(betrNr));
                DS_Druck_2(g.RS_person_handwerkskarte, QStringLiteral("person_handwerkskarte"), 0);
                persons->moveNext();
            }
        }

        endPrintRun();
        p.setFontSize(g.Druck_Schriftgroesse_alt.toDouble());
        p.setFontName(g.Druck_Schriftart_alt.toString());
        setBusy(false);
    });
}

void printField(print::Printer &p, engine::Recordset &rs, int index)
{
    Declare &g = G();
    g.Druck_Feld = index;
    if (g.Druck_Spalte.toString() == kMitte) {
        // The right half of the previous field's line.
        p.setCurrentX(p.pageWidth() / 2);
        p.setCurrentY(g.Druck_Y.toDouble());
        g.Druck_Spalte = kVorne;
    } else {
        g.Druck_Spalte = kMitte;
    }
    g.Druck_Y = p.currentY();
    g.Druck_X = p.currentX();

    const QString name = rs.fieldInfo(index).name;
    const QString value = print::printedValue(name, rs.fieldInfo(index).type, rs.value(index));
    const QString label = QStringLiteral("   ") + name + QStringLiteral(":     ");
    g.Druck_Text = label + value;
    const double half = p.pageWidth() / 2;
    if (p.textWidth(g.Druck_Text.toString()) <= half) {
        DS_Druck_Zeile(g.Druck_Text);
        return;
    }

    // Too wide for its half: the name alone, then the value in pieces below
    // it, each with its three-blank indent as wide as the column at most
    // (a right-hand piece would otherwise run off the page).
    DS_Druck_Zeile(label);
    g.Druck_Text = value;
    const double room = std::max(half - p.textWidth(QStringLiteral("   ")), 1.0);
    const int pieces = int(p.textWidth(value) / room) + 1;
    const int length = int(value.size() / pieces);
    g.Druck_Anzahl = double(pieces);
    g.Druck_Laenge = length;
    g.Druck_Start = 1;
    // At least pieces + 1 rounds, and on until the whole value is out: the
    // rounded-down piece length may leave more over than one piece holds.
    for (int round = 0; round <= pieces || (length > 0 && g.Druck_Start.toInt() <= value.size()); ++round) {
        const QString piece = value.mid(g.Druck_Start.toInt() - 1, length);
        if (!print::blankTrimmed(piece).isEmpty()) {
            p.setCurrentX(g.Druck_X.toDouble());
            DS_Druck_Zeile(QStringLiteral("   ") + piece);
        }
        g.Druck_Start = g.Druck_Start.toInt() + length;
    }
    if (g.Druck_Spalte.toString() == kMitte)
        g.Druck_Spalte = kVorne;
    g.Druck_Y = p.currentY();
}

void printCurrentRecord(bool person)
{
    for (const char *item : kBusyItems) {
        if (menuChecked(item))
            return;
    }
    const QString own = person ? QStringLiteral("menue_druck_Person") : QStringLiteral("menue_druck_betrieb");
    setMenuChecked(own, true);
    setBusy(true);
    guarded(QStringLiteral("MDIForm1.") + own + QStringLiteral("_Click"), [person] {
        if (startPictureShown()) {
            messageBox(QStringLiteral("Datensatz-Auswahl!"), QStringLiteral("Es wurde kein Datensatz ausgewählt!"), 64);
            return;
        }
        BoundView *betr = startView("DATA_BETR");
        const RS rs = betr ? betr->Recordset() : RS();
        if (!rs || !rs->isOpen() || rs->recordCount() == 0) {
            messageBox(person ? QStringLiteral("Aktuellen Personendatensatz drucken!")
                              : QStringLiteral("Aktuellen Betriebsdatensatz drucken!"),
                       QStringLiteral("Es wurden in der Datenbank keine Sätze gefunden!"), 64);
            return;
        }
        const QString betrNr = print::fieldText(rs->value(QStringLiteral("betr-nr")));
        const QString betrHistNr = print::fieldText(rs->value(QStringLiteral("betr-hist-nr")));
        // The current printer is taken as it stands only where it is a queue:
        // a print to file would overwrite the last file unasked, and without
        // any printer the run could only fail. An open document goes on.
        const print::Printer &p = printer();
        if (!p.documentOpen() && !p.printsToQueue()
            && DS_Drucker_Dialog(printDialogTitle(person ? ListKind::Person : ListKind::Betrieb)) >= 1)
            return;
        if (!person) {
            DS_Druck_1(QStringLiteral("Betrieb"), betrNr, betrHistNr, QString());
            return;
        }
        druck1(QStringLiteral("Person"), betrNr, betrHistNr,
               [] { return currentValue(startView("DATA_PERS"), "pers-nr", "DATA_PERS"); });
    });
    setBusy(false);
    setMenuChecked(own, false);
}

} // namespace

void MDIForm1_menue_druck_betrieb_Click()
{
    printCurrentRecord(false);
}

void MDIForm1_menue_druck_Person_Click()
{
    printCurrentRecord(true);
}

qint16 DS_Drucker_Dialog(const QString &title)
{
    int number = 0;
    // The dialog reports its outcome as an error number; it logs nothing.
    try {
        number = print::runPrinterDialog(title);
    } catch (const engine::EngineError &e) {
        number = e.number();
    } catch (...) {
        number = print::PrinterError;
    }
    if (number != print::CancelError && number >= 1) {
        Declare &g = G();
        g.Msg_Titel = title;
        g.Msg_Text = QStringLiteral("Es ist ein Druckerfehler aufgetreten! ") + QString::number(number);
        g.Msg_Stil = 64;
        Msg_Box();
    }
    return qint16(number);
}

void DS_Druck_1(const QString &kind, const QString &betrNr, const QString &betrHistNr, const QVariant &persNr)
{
    druck1(kind, betrNr, betrHistNr, [persNr] { return persNr; });
}

void DS_Druck_2(const std::shared_ptr<engine::Recordset> &recordSet, const QString &tableName, qint16 nr)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    guarded(QStringLiteral("DS_Druck_2"), [&] {
        engine::Recordset &rs = *runtime::require(recordSet, "Recordset");
        print::Printer &p = printer();
        long row = 0;
        if (rs.recordCount() == 0)
            return;
        if (nr == 0) {
            rs.moveLast();
            rs.moveFirst();
        }
        while (!rs.eof()) {
            ++row;
            p.setFontSize(10);
            p.setCurrentX(0);
            g.Druck_Spalte = kVorne;
            DS_Druck_Zeile(QString());
            p.setFontBold(true);
            const QString title = QStringLiteral("    Tabellenname: ''") + tableName;
            if (nr >= 1)
                DS_Druck_Zeile(title + QStringLiteral("'' Nr. ") + QString::number(nr));
            else if (rs.recordCount() == 1)
                DS_Druck_Zeile(title + QStringLiteral("''"));
            else
                DS_Druck_Zeile(title + QStringLiteral("'' Nr. ") + QString::number(row));
            p.setFontBold(false);
            p.setFontSize(8);
            const int last = rs.fieldCount() - 1;
            if (!g.Druck_OK)
                return;
            p.setFontSize(8);
            DS_Druck_Zeile(QString());
            g.Druck_Spalte = kVorne;
            for (int i = 0; i <= last; ++i)
                printField(p, rs, i);
            if (nr != 0)
                return;
            rs.moveNext();
        }
    });
}

void DS_Druck_Zeile(const QVariant &text)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    // The rest of a run after a printer failure prints nothing; the clerk has
    // been told once.
    if (!g.Druck_OK)
        return;
    QString failure;
    const bool printed = guarded(QStringLiteral("DS_Druck_1"), [&] {
        try {
            printLine(text);
        } catch (const engine::EngineError &e) {
            failure = e.text();
            throw;
        }
    });
    if (!printed)
        printerFailed(failure);
}

void endPrintRun()
{
    try {
        printer().endDoc();
    } catch (const engine::EngineError &e) {
        if (e.number() != print::PrinterError)
            throw;
        // A run that failed before has been told and logged already.
        if (!G().Druck_OK)
            return;
        printerFailed(e.text());
        throw;
    }
}

QString printDialogTitle(ListKind kind)
{
    return kind == ListKind::Person ? QStringLiteral("Personendaten drucken!")
                                    : QStringLiteral("Betriebsdaten drucken!");
}

void List_Druck_Satz(ListKind kind, BoundView *data)
{
    const bool person = kind == ListKind::Person;
    const QString title = printDialogTitle(kind);
    const QString label = person ? QStringLiteral("Frm_Auswahl_Pers.Command1_Click")
                                 : QStringLiteral("Frm_Auswahl_Betr.Command1_Click");
    QString betrNr, betrHistNr;
    QVariant persNr;
    bool current = false;
    auto readRow = [&] {
        const RS rs = data ? data->Recordset() : RS();
        current = false;
        if (!rs || !rs->isOpen() || rs->eof() || rs->bof())
            return;
        betrNr = print::fieldText(rs->value(person ? QStringLiteral("betr-nr") : QStringLiteral("betrieb.betr-nr")));
        betrHistNr = print::fieldText(
            rs->value(person ? QStringLiteral("betr-hist-nr") : QStringLiteral("betrieb.betr-hist-nr")));
        if (person)
            persNr = rs->value(QStringLiteral("pers-nr"));
        current = true;
    };
    auto read = [&] {
        if (guarded(label, readRow))
            return current;
        messageBox(title, QStringLiteral("Der gewählte Datensatz konnte nicht gelesen werden!"), 48);
        return false;
    };

    // The business list reads its row before the printer is chosen, the
    // person list after; either way a list without a current row prints
    // nothing and asks nothing.
    const RS rs = data ? data->Recordset() : RS();
    if (!rs || !rs->isOpen() || rs->eof() || rs->bof())
        return;
    if (!person && !read())
        return;
    if (DS_Drucker_Dialog(title) >= 1)
        return;
    if (person && !read())
        return;
    DS_Druck_1(person ? QStringLiteral("Person") : QStringLiteral("Betrieb"), betrNr, betrHistNr, persNr);
    // A run that failed half-way must not leave the hourglass behind.
    setBusy(false);
}
