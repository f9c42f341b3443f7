#include "PrintFixture.h"

#include "print/Print.h"
#include "record/Frm_Start.h"
#include "record/LoadBusiness.h"

#include <QLocale>
#include <QTest>

namespace {

const double kHalf = 5500;
const double kLine8 = RecordingPrinter::lineHeight(8);

QString title(const char *table, const char *suffix = "")
{
    return u"    Tabellenname: ''"_s + QString::fromLatin1(table) + u"''"_s + QString::fromLatin1(suffix);
}

void business(const char *nr, const char *hist = "1")
{
    PrintFixture::insert("betrieb", {{"gem-kz", "01001000"}, {"betr-nr", nr}, {"betr-hist-nr", hist},
                                     {"b-eintr-name", u"Müller Bau"_s}});
}

// A row of a business table, keyed by business and history number.
void businessRow(const char *table, const char *nr, const char *hist, const char *column, const char *value)
{
    PrintFixture::insert(table, {{"betr-nr", nr}, {"betr-hist-nr", hist}, {column, value}});
}

void person(const char *pers, const char *betrNr, const QVariant &funktion = u"1"_s)
{
    PrintFixture::insert("person", {{"pers-nr", pers}, {"p-art", "NP"}, {"fam-name", pers}});
    PrintFixture::insert("beziehung_betrieb_person", {{"bez-betr-nr", betrNr}, {"bez-betr-hist-nr", "1"},
                                                      {"bez-pers-nr", pers}, {"p-funktion", funktion}});
}

// Business 100/1 with two addresses, one further reason, one activity and
// three persons; rows of business 200 and of history 2 around it must not
// show up in its report.
void standardBusiness()
{
    business("100");
    business("100", "2");
    business("200");
    businessRow("betrieb_meldgrundsonst", "100", "1", "meld-grund-sonst-text", "Umzug");
    businessRow("betrieb_adresse", "100", "1", "b-adr-art", "1");
    businessRow("betrieb_adresse", "100", "1", "b-adr-art", "2");
    businessRow("betrieb_adresse", "100", "2", "b-adr-art", "1");
    businessRow("betrieb_adresse", "200", "1", "b-adr-art", "1");
    businessRow("betrieb_taetigkeit", "100", "1", "tk-schl", "A1");
    for (const char *p : {"P1", "P2", "P3"})
        person(p, "100");
    for (const auto &[nr, hist] : {std::pair{"200", "1"}, std::pair{"100", "2"}})
        PrintFixture::insert("beziehung_betrieb_person",
                             {{"bez-betr-nr", nr}, {"bez-betr-hist-nr", hist}, {"bez-pers-nr", "P1"}});
    PrintFixture::insert("person_staatsang", {{"pers-nr", "P1"}, {"staat-text", "deutsch"}});
    PrintFixture::insert("person_staatsang", {{"pers-nr", "P1"}, {"staat-text", "dänisch"}});
    PrintFixture::insert("person_erlaubnis", {{"pers-nr", "P2"}, {"betr-nr", "100"}});
    PrintFixture::insert("person_erlaubnis", {{"pers-nr", "P2"}, {"betr-nr", "200"}});
    PrintFixture::insert("person_handwerkskarte", {{"pers-nr", "P3"}, {"betr-nr", "100"}});
}

const QStringList kStandardTitles{
    title("betrieb"),         title("betrieb_meldgrundsonst"), title("betrieb_adresse", " Nr. 1"),
    title("betrieb_adresse", " Nr. 2"), title("betrieb_taetigkeit"), title("person", " Nr. 1"),
    title("person_staatsang", " Nr. 1"), title("person_staatsang", " Nr. 2"), title("person", " Nr. 2"),
    title("person_erlaubnis"), title("person", " Nr. 3"), title("person_handwerkskarte")};

void showIn(PrintFixture &fx, const char *view, const QString &query)
{
    BoundView *v = fx.views.at(QString::fromLatin1(view)).get();
    v->setRecordSource(query);
    v->Refresh();
}

// The record window on business 100/1 and its person P2.
void showBusiness100AndP2(PrintFixture &fx)
{
    showIn(fx, "DATA_BETR", u"SELECT * FROM betrieb WHERE [betr-nr] = '100' AND [betr-hist-nr] = '1'"_s);
    showIn(fx, "DATA_PERS", u"SELECT * FROM person WHERE [pers-nr] = 'P2'"_s);
}

void printBusiness(const char *nr = "100")
{
    DS_Druck_1(u"Betrieb"_s, QString::fromLatin1(nr), u"1"_s, QString());
}

} // namespace

class TestRecordPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void businessReportListsEveryTableAndPerson()
    {
        PrintFixture fx;
        standardBusiness();
        printBusiness();
        QVERIFY(fx.logBytes().isEmpty());
        QCOMPARE(fx.look(0), u"Betriebsnummer: 100     Seite: 1|12 BU"_s);
        QVERIFY(fx.line(0).y == 0 && fx.line(0).font.name == u"Courier New"_s);
        QCOMPARE(fx.line(1).text, QString());
        QCOMPARE(fx.look(2), u"  Betriebs-Datei|12 B"_s);
        QCOMPARE(fx.titles(), kStandardTitles);
        // Every title stands below an empty 10 pt line, in bold, above an empty 8 pt line.
        for (const QString &t : kStandardTitles) {
            const int i = fx.find(t);
            QCOMPARE(fx.look(i - 1), u"|10 "_s);
            QCOMPARE(fx.look(i), t + u"|10 B"_s);
            QCOMPARE(fx.look(i + 1), u"|8 "_s);
        }
        const int persons = fx.find(u"  Personen-Datei"_s);
        QVERIFY(persons > fx.find(title("betrieb_taetigkeit")));
        QCOMPARE(fx.look(persons), u"  Personen-Datei|12 "_s);
        QCOMPARE(fx.line(persons - 1).text, QString());
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QCOMPARE(fx.paper->fontName() + QString::number(fx.paper->fontSize()), u"Arial10"_s);
        QCOMPARE(fx.pointer, (QList<bool>{true, false}));
        // Fields go two to a line, whether a table has few fields or many.
        for (const QString &table : {u"betrieb_meldgrundsonst"_s, u"betrieb_taetigkeit"_s, u"betrieb"_s}) {
            const RS columns = G().Datenbank_Daten->openRecordset(table);
            const int first = fx.find(title(table.toLatin1().constData())) + 2;
            for (int i = 0; i < columns->fieldCount(); ++i) {
                const auto &l = fx.line(first + i);
                QVERIFY2(l.text.startsWith(u"   "_s + columns->fieldInfo(i).name + u":     "_s), qPrintable(l.text));
                QVERIFY(l.font.size == 8 && l.x == (i % 2) * kHalf);
                QCOMPARE(l.y, fx.line(first).y + (i / 2) * kLine8);
            }
        }
        // The printed rows stay in the record sets until the next load; the
        // person tables hold the last person's rows.
        const Declare &g = G();
        const QList<long> counts{g.RS_betrieb->recordCount(),        g.RS_betrieb_adresse->recordCount(),
                                 g.RS_betrieb_meldgrundsonst->recordCount(), g.RS_betrieb_erlaubnis->recordCount(),
                                 g.RS_betrieb_taetigkeit->recordCount(), g.RS_person->recordCount(),
                                 g.RS_person_staatsang->recordCount(), g.RS_person_handwerkskarte->recordCount()};
        QCOMPARE(counts, (QList<long>{1, 2, 1, 0, 1, 3, 0, 1}));
        QVERIFY(g.RS_beziehung_betrieb_person->isTable());
        // The link columns come with the person.
        QVERIFY(g.RS_person->fieldIndex(u"p-funktion"_s) > g.RS_person->fieldIndex(u"p-bemerkung"_s));
        DB_Load();
        QVERIFY(g.RS_betrieb->isTable() && g.RS_person->isTable() && g.RS_person_staatsang->isTable());
        QCOMPARE(g.RS_betrieb->recordCount(), 3L);
    }

    void valuesPrintAsText_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("printed");
        const QString link = u"beziehung_betrieb_person"_s;
        QTest::newRow("function 2") << link << "p-funktion" << QVariant("2") << "Geschäftsführender Gesellschafter";
        QTest::newRow("function 9") << link << "p-funktion" << QVariant("9") << QString();
        QTest::newRow("function empty") << link << "p-funktion" << QVariant("") << QString();
        QTest::newRow("function 01") << link << "p-funktion" << QVariant("01") << "Einzelgewerbetreibender";
        QTest::newRow("function blank 3x") << link << "p-funktion" << QVariant(" 3x") << "Gesetzlicher Vertreter";
        QTest::newRow("birth date as stored") << "person" << "geb-datum" << QVariant("12.03.1970") << "12.03.1970";
        QTest::newRow("birth date transfer form") << "person" << "geb-datum" << QVariant("19700312") << "12.03.1970";
        QTest::newRow("birth date unknown") << "person" << "geb-datum" << QVariant("unbekannt") << "unbekannt";
        QTest::newRow("Null") << "betrieb_adresse" << "b-ort" << QVariant() << QString();
        QTest::newRow("empty") << "betrieb_adresse" << "b-strasse" << QVariant("") << QString();
        QTest::newRow("umlauts") << "betrieb_adresse" << "b-ort" << QVariant("Lübeck") << "Lübeck";
    }
    void valuesPrintAsText()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QVariant, stored);
        QFETCH(QString, printed);
        PrintFixture fx;
        business("100");
        businessRow("betrieb_adresse", "100", "1", "b-adr-art", "1");
        person("P1", "100");
        G().Datenbank_Daten->execute(u"UPDATE [%1] SET [%2] = %3"_s.arg(table, column, PrintFixture::sql(stored)));
        printBusiness();
        QCOMPARE(fx.startingWith(u"   "_s + column + u":"_s), QStringList{u"   "_s + column + u":     "_s + printed});
    }

    void longValuesGoInPiecesInTheirColumn()
    {
        PrintFixture fx;
        business("100");
        const QString a(50, u'A'), b(50, u'B');
        // At this length the rounded-down pieces would fall 118 characters short.
        QString remark(9974, u'a');
        for (int i = 0; i < remark.size(); ++i)
            remark[i] = QChar(u'a' + i % 26);
        G().Datenbank_Daten->execute(u"UPDATE betrieb SET [inhaber-bname] = '%1'"_s.arg(a + QString(50, u' ') + b));
        PrintFixture::insert("betrieb_taetigkeit",
                             {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"tk-originaltext", remark}, {"tk_hwk_id", "7"}});
        printBusiness();
        // A left field: the name alone, the non-blank pieces below it, then
        // the next field on a new line at the left.
        const int owned = fx.find(u"   inhaber-bname:     "_s);
        QCOMPARE(fx.paper->texts().mid(owned + 1, 2), (QStringList{u"   "_s + a, u"   "_s + b}));
        QVERIFY(fx.line(owned + 3).text.startsWith(u"   b-bemerkung:"_s));
        QVERIFY(fx.line(owned).x == 0 && fx.line(owned + 3).x == 0);
        QCOMPARE(fx.line(owned + 3).y, fx.line(owned + 2).y + kLine8);
        // A right field across several pages: every piece stays in the right
        // half, and together they give the whole value.
        const int label = fx.find(u"   tk-originaltext:     "_s);
        QCOMPARE(fx.line(label).x, kHalf);
        const int next = fx.find(u"   tk_hwk_id:     7"_s);
        QString joined;
        for (int i = label + 1; i < next; ++i) {
            if (fx.line(i).text.startsWith(u"Betriebsnummer: "_s) || fx.line(i).text.isEmpty())
                continue;
            QCOMPARE(fx.line(i).x, kHalf);
            // The indent counts too: no piece runs past the printable width.
            QVERIFY2(fx.line(i).x + fx.line(i).text.size() * RecordingPrinter::charWidth(8) <= 11000,
                     qPrintable(fx.line(i).text));
            joined += fx.line(i).text.mid(3);
        }
        QCOMPARE(joined, remark);
        QCOMPARE(fx.line(next).x, 0.0);
        // Each new page starts with the repeated header and an empty line in
        // the size in force; no line starts within 300 twips of the page end.
        int page = 1;
        for (int i = 0; i < int(fx.paper->lines().size()); ++i) {
            QVERIFY(fx.line(i).y <= 15000 - 300);
            if (fx.line(i).page == page)
                continue;
            page = fx.line(i).page;
            QCOMPARE(fx.look(i), u"Betriebsnummer: 100     Seite: %1|12 BU"_s.arg(page));
            QCOMPARE(fx.line(i).y, 0.0);
            QCOMPARE(fx.look(i + 1), u"|8 "_s);
        }
        QVERIFY(page >= 3 && fx.line(next - 1).page >= 3);
    }

    void rightFieldThatBreaksThePageKeepsItsColumn()
    {
        PrintFixture fx;
        Declare &g = G();
        g.Druck_OK = true, g.Druck_Kopfzeile = u"Betriebsnummer: 7     Seite: "_s;
        g.Druck_Spalte = u"vorne"_s;
        g.Druck_X = kHalf;
        fx.paper->setFontSize(8);
        fx.paper->print(u"links"_s);
        fx.paper->setCurrentY(14701);
        fx.paper->setCurrentX(kHalf);
        DS_Druck_Zeile(u"   b-ort:     Kiel"_s);
        const auto &l = fx.paper->lines().back();
        QVERIFY(l.page == 2 && l.x == kHalf);
        QCOMPARE(l.y, RecordingPrinter::lineHeight(12) + kLine8);
        QCOMPARE(g.Druck_Y.toDouble(), l.y);
        QCOMPARE(fx.find(u"Betriebsnummer: 7     Seite: 2"_s), 1);
    }

    void loneMissingAndQuotedPersons()
    {
        PrintFixture fx;
        business("O'1");
        person("O'P", "O'1");
        business("200");
        // An apostrophe in a key is printed, not rejected; a lone person's title has no number.
        printBusiness("O'1");
        QVERIFY(fx.logBytes().isEmpty());
        QCOMPARE(fx.line(0).text, u"Betriebsnummer: O'1     Seite: 1"_s);
        QCOMPARE(fx.titles(), (QStringList{title("betrieb"), title("person")}));
        // A business without persons ends with the section line, in a document of its own.
        printBusiness("200");
        QCOMPARE(fx.paper->texts().last(), u"  Personen-Datei"_s);
        QCOMPARE(fx.paper->documentsEnded(), 2);
        QCOMPARE(fx.paper->linesOf(2).front().text, u"Betriebsnummer: 200     Seite: 1"_s);
    }

    void printerFailureStopsPrintingButFinishesTheRun()
    {
        PrintFixture fx;
        standardBusiness();
        fx.paper->setFailure([](RecordingPrinter::Operation op, const QString &text) {
            return op == RecordingPrinter::Operation::Draw && text == title("betrieb_adresse", " Nr. 1");
        });
        printBusiness();
        QCOMPARE(fx.loggedLabels(), QStringList{u"DS_Druck_1"_s});
        QVERIFY(!G().Druck_OK);
        QCOMPARE(fx.titles(), (QStringList{title("betrieb"), title("betrieb_meldgrundsonst")}));
        // The clerk hears once what failed, however many lines follow.
        QCOMPARE(PrintFixture::boxes(), QStringList{PrintFixture::failureBox});
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QVERIFY(fx.paper->fontName() == u"Arial"_s && !fx.pointer.last());
        // The next run prints again, in a document of its own.
        fx.paper->setFailure(nullptr);
        printBusiness();
        QVERIFY(G().Druck_OK);
        QCOMPARE(fx.paper->linesOf(2).front().text, u"Betriebsnummer: 100     Seite: 1"_s);
        QCOMPARE(fx.titles().mid(2), kStandardTitles);
        QCOMPARE(PrintFixture::boxes().size(), 1);
    }

    void failureToEndTheDocumentIsTheRunsOneFailure_data()
    {
        QTest::addColumn<bool>("lineFailedBefore");
        QTest::newRow("end alone") << false;
        QTest::newRow("after a line") << true;
    }
    void failureToEndTheDocumentIsTheRunsOneFailure()
    {
        QFETCH(bool, lineFailedBefore);
        PrintFixture fx;
        business("100");
        fx.paper->setFailure([&](RecordingPrinter::Operation op, const QString &text) {
            return op == RecordingPrinter::Operation::EndDocument
                   || (lineFailedBefore && text == u"  Personen-Datei"_s);
        });
        printBusiness();
        QCOMPARE(fx.loggedLabels(), QStringList{u"DS_Druck_1"_s});
        QCOMPARE(PrintFixture::boxes(), QStringList{PrintFixture::failureBox});
        QVERIFY(!fx.paper->documentOpen());
    }

    void failureOfTheRunLeavesTheDocumentOpenForThePersonPrint()
    {
        PrintFixture fx;
        standardBusiness();
        G().Datenbank_Daten->execute(u"DROP TABLE betrieb_taetigkeit"_s);
        printBusiness();
        QCOMPARE(fx.loggedLabels(), QStringList{u"DS_Druck_1"_s});
        QVERIFY(fx.paper->documentOpen() && fx.paper->fontName() == u"Courier New"_s && fx.pointer.last());
        const int printed = int(fx.paper->lines().size()), titled = int(fx.titles().size());
        QVERIFY(fx.find(title("betrieb_adresse", " Nr. 2")) > 0);
        // The person print goes on in the same document and shows that person alone.
        DS_Druck_1(u"Person"_s, u"100"_s, u"1"_s, u"P2"_s);
        QVERIFY(fx.paper->documentsStarted() == 1 && fx.paper->documentsEnded() == 1);
        QCOMPARE(fx.line(printed).text, u"Personennummer: P2     Seite: 1"_s);
        QVERIFY(fx.line(printed).y > 0);
        QCOMPARE(fx.look(printed + 2), u"  Personen-Datei|12 B"_s);
        QCOMPARE(fx.titles().mid(titled), (QStringList{title("person"), title("person_erlaubnis")}));
    }

    void menusWithoutAChosenRecord_data()
    {
        QTest::addColumn<bool>("person");
        QTest::addColumn<bool>("startPicture");
        QTest::addColumn<QString>("busy");
        QTest::addColumn<QString>("box");
        const QString none = u"|Es wurden in der Datenbank keine Sätze gefunden!|64"_s;
        const QString nothing = u"Datensatz-Auswahl!|Es wurde kein Datensatz ausgewählt!|64"_s;
        QTest::newRow("business, start picture") << false << true << QString() << nothing;
        QTest::newRow("person, start picture") << true << true << QString() << nothing;
        QTest::newRow("business, empty") << false << false << QString() << u"Aktuellen Betriebsdatensatz drucken!"_s + none;
        QTest::newRow("person, empty") << true << false << QString() << u"Aktuellen Personendatensatz drucken!"_s + none;
        // While any of these is marked both menus stay quiet, even over the start picture.
        for (const char *item : {"menue_suchen_person", "menue_suchen_betrieb", "menue_druck_betrieb", "menue_druck_Person",
                                 "menue_info", "menue_extras_optionen", "menue_import_datenbank",
                                 "menue_export_textdatei"})
            QTest::newRow(item) << true << true << QString::fromLatin1(item) << QString();
    }
    void menusWithoutAChosenRecord()
    {
        QFETCH(bool, person);
        QFETCH(bool, startPicture);
        QFETCH(QString, busy);
        QFETCH(QString, box);
        PrintFixture fx;
        fx.views.at(u"DATA_BETR"_s)->Refresh();
        fx.startPicture = startPicture;
        if (!busy.isEmpty()) {
            fx.marks[busy] = true;
            MDIForm1_menue_druck_betrieb_Click();
        }
        person ? MDIForm1_menue_druck_Person_Click() : MDIForm1_menue_druck_betrieb_Click();
        QCOMPARE(PrintFixture::boxes(), box.isEmpty() ? QStringList() : QStringList{box});
        QVERIFY(fx.paper->lines().empty());
        if (!busy.isEmpty()) {
            QVERIFY(fx.pointer.isEmpty());
            QCOMPARE(fx.marks.size(), 1);
            return;
        }
        QCOMPARE(fx.pointer, (QList<bool>{true, false}));
        QVERIFY(!fx.marks.value(person ? u"menue_druck_Person"_s : u"menue_druck_betrieb"_s));
    }

    void personMenuWithoutAReadablePersonPrintsNothing()
    {
        PrintFixture fx;
        standardBusiness();
        showBusiness100AndP2(fx);
        showIn(fx, "DATA_PERS", u"SELECT * FROM person WHERE [pers-nr] = 'keiner'"_s);
        MDIForm1_menue_druck_Person_Click();
        QCOMPARE(fx.loggedLabels(), QStringList{u"DS_Druck_1"_s});
        QVERIFY(fx.paper->lines().empty());
        QVERIFY(!fx.pointer.last() && !fx.marks.value(u"menue_druck_Person"_s));
    }

    void menusAskUnlessAPrinterQueueTakesThePrint_data()
    {
        QTest::addColumn<bool>("person");
        QTest::addColumn<bool>("queue");
        QTest::addColumn<bool>("documentOpen");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("box");
        const QString business = u"Betriebsnummer: 100     Seite: 1"_s;
        const QString persons = u"Personennummer: P2     Seite: 1"_s;
        const QString betrTitle = u"Betriebsdaten drucken!"_s, persTitle = u"Personendaten drucken!"_s;
        QTest::newRow("queue") << false << true << false << 0 << QString() << business << QString();
        QTest::newRow("file, business") << false << false << false << 0 << betrTitle << business << QString();
        QTest::newRow("file, person") << true << false << false << 0 << persTitle << persons << QString();
        QTest::newRow("file, cancelled") << true << false << false << int(print::CancelError) << persTitle << QString()
                                         << QString();
        QTest::newRow("file, dialog fails") << false << false << false << 5 << betrTitle << QString()
                                            << betrTitle + u"|Es ist ein Druckerfehler aufgetreten! 5|64"_s;
        // A document a failed run left open goes on where it is, unasked.
        QTest::newRow("file, document open") << false << false << true << 0 << QString()
                                             << u"Betriebsnummer: 100     Seite: 2"_s << QString();
    }
    void menusAskUnlessAPrinterQueueTakesThePrint()
    {
        QFETCH(bool, person);
        QFETCH(bool, queue);
        QFETCH(bool, documentOpen);
        QFETCH(int, answer);
        QFETCH(QString, dialog);
        QFETCH(QString, printed);
        QFETCH(QString, box);
        PrintFixture fx;
        standardBusiness();
        showBusiness100AndP2(fx);
        fx.paper->setPrintsToQueue(queue);
        fx.dialogAnswer = answer;
        if (documentOpen) {
            fx.paper->print(u"vorher"_s);
            fx.paper->newPage();
        }
        // The menu item stays marked while its print runs.
        const QString item = person ? u"menue_druck_Person"_s : u"menue_druck_betrieb"_s;
        bool markedWhilePrinting = false;
        fx.paper->setFailure([&](RecordingPrinter::Operation op, const QString &) {
            markedWhilePrinting |= op == RecordingPrinter::Operation::Draw && fx.marks.value(item);
            return false;
        });
        person ? MDIForm1_menue_druck_Person_Click() : MDIForm1_menue_druck_betrieb_Click();
        QCOMPARE(fx.dialogs, dialog.isEmpty() ? QStringList() : QStringList{dialog});
        QCOMPARE(fx.paper->texts().mid(documentOpen ? 1 : 0).value(0), printed);
        QCOMPARE(PrintFixture::boxes(), box.isEmpty() ? QStringList() : QStringList{box});
        QVERIFY(fx.logBytes().isEmpty());
        QCOMPARE(markedWhilePrinting, !printed.isEmpty());
        QVERIFY(!fx.pointer.last() && !fx.marks.value(item));
        // A person print reads its own sets and leaves the business's as they were.
        if (person)
            QVERIFY(G().RS_betrieb->isTable() && fx.paper->documentsEnded() == (printed.isEmpty() ? 0 : 1));
    }

    void recordWindowDecidesWhatIsShown()
    {
        PrintFixture fx;
        standardBusiness();
        Frm_Start window;
        window.installHooks();
        DB_Bind_DATA();
        window.showStartPicture();
        MDIForm1_menue_druck_Person_Click();
        QCOMPARE(platform::MessageService::recorded().back().title, u"Datensatz-Auswahl!"_s);
        window.showRecordView();
        DB_Load_DATA(u"01001000"_s, u"100"_s, u"1"_s);
        window.DATA_PERS->navigateNext();
        const QString shown = window.DATA_PERS->currentValue(u"pers-nr"_s).toString();
        MDIForm1_menue_druck_Person_Click();
        QCOMPARE(fx.line(0).text, u"Personennummer: "_s + shown + u"     Seite: 1"_s);
        QVERIFY(fx.logBytes().isEmpty());
        G().forms = FormHooks();
    }
};

QTEST_MAIN(TestRecordPrint)
#include "tst_recordprint.moc"
