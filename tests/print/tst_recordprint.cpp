#include "PrintFixture.h"

#include "print/Print.h"
#include "record/Frm_Start.h"
#include "record/LoadBusiness.h"

#include <QLocale>
#include <QTest>

using Row = PrintFixture::Row;

namespace {

const double kHalf = 5500;
const double kLine8 = RecordingPrinter::lineHeight(8);

QString title(const char *table, const char *suffix = "")
{
    return QStringLiteral("    Tabellenname: ''") + QString::fromLatin1(table) + QStringLiteral("''")
           + QString::fromLatin1(suffix);
}

void business(const char *nr, const char *hist = "1")
{
    PrintFixture::insert("betrieb", {{"gem-kz", "01001000"}, {"betr-nr", nr}, {"betr-hist-nr", hist},
                                     {"b-eintr-name", QStringLiteral("Müller Bau")}});
}

void person(const char *pers, const char *betrNr, const QVariant &funktion = QStringLiteral("1"))
{
    PrintFixture::insert("person", {{"pers-nr", pers}, {"p-art", "NP"}, {"fam-name", pers}});
    PrintFixture::insert("beziehung_betrieb_person", {{"bez-betr-nr", betrNr},
                                                      {"bez-betr-hist-nr", "1"},
                                                      {"bez-pers-nr", pers},
                                                      {"p-funktion", funktion}});
}

// Business 100/1 with two addresses, one further reason, one activity and
// three persons; rows of business 200 and of history 2 around it must not
// show up in its report.
void standardBusiness()
{
    business("100");
    business("100", "2");
    business("200");
    PrintFixture::insert("betrieb_meldgrundsonst",
                         {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"meld-grund-sonst-text", "Umzug"}});
    PrintFixture::insert("betrieb_adresse", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"b-adr-art", "1"}});
    PrintFixture::insert("betrieb_adresse", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"b-adr-art", "2"}});
    PrintFixture::insert("betrieb_adresse", {{"betr-nr", "100"}, {"betr-hist-nr", "2"}, {"b-adr-art", "1"}});
    PrintFixture::insert("betrieb_adresse", {{"betr-nr", "200"}, {"betr-hist-nr", "1"}, {"b-adr-art", "1"}});
    PrintFixture::insert("betrieb_taetigkeit", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"tk-schl", "A1"}});
    person("P1", "100");
    person("P2", "100");
    person("P3", "100");
    PrintFixture::insert("beziehung_betrieb_person",
                         {{"bez-betr-nr", "200"}, {"bez-betr-hist-nr", "1"}, {"bez-pers-nr", "P1"}});
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

void printBusiness(const char *nr = "100")
{
    DS_Druck_1(QStringLiteral("Betrieb"), QString::fromLatin1(nr), QStringLiteral("1"), QString());
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

        const auto &head = fx.line(0);
        QCOMPARE(head.text, QStringLiteral("Betriebsnummer: 100     Seite: 1"));
        QCOMPARE(head.y, 0.0);
        QVERIFY(head.font.bold && head.font.underline && head.font.size == 12);
        QCOMPARE(head.font.name, QStringLiteral("Courier New"));
        QCOMPARE(fx.line(1).text, QString());
        QCOMPARE(fx.line(2).text, QStringLiteral("  Betriebs-Datei"));
        QVERIFY(fx.line(2).font.bold && !fx.line(2).font.underline);

        QCOMPARE(fx.startingWith(QStringLiteral("    Tabellenname:")), kStandardTitles);
        // Every title stands below an empty 10 pt line, in bold, above an empty 8 pt line.
        for (const QString &t : kStandardTitles) {
            const int i = fx.find(t);
            QCOMPARE(fx.line(i - 1).text, QString());
            QCOMPARE(fx.line(i - 1).font.size, 10.0);
            QVERIFY(fx.line(i).font.bold);
            QCOMPARE(fx.line(i + 1).font.size, 8.0);
            QVERIFY(!fx.line(i + 1).font.bold);
        }
        const int persons = fx.find(QStringLiteral("  Personen-Datei"));
        QVERIFY(persons > fx.find(title("betrieb_taetigkeit")));
        QVERIFY(!fx.line(persons).font.bold && fx.line(persons).font.size == 12);
        QCOMPARE(fx.line(persons - 1).text, QString());

        QCOMPARE(fx.paper->documentsEnded(), 1);
        QCOMPARE(fx.paper->fontName(), QStringLiteral("Arial"));
        QCOMPARE(fx.paper->fontSize(), 10.0);
        QCOMPARE(fx.pointer, (QList<bool>{true, false}));
    }

    void fieldsGoTwoToALine_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("three fields") << "betrieb_meldgrundsonst";
        QTest::newRow("nine fields") << "betrieb_taetigkeit";
        QTest::newRow("every business field") << "betrieb";
    }
    void fieldsGoTwoToALine()
    {
        QFETCH(QString, table);
        PrintFixture fx;
        standardBusiness();
        printBusiness();
        const RS columns = G().Datenbank_Daten->openRecordset(table);
        const int first = fx.find(title(table.toLatin1().constData())) + 2;
        const double top = fx.line(first).y;
        for (int i = 0; i < columns->fieldCount(); ++i) {
            const auto &l = fx.line(first + i);
            QVERIFY2(l.text.startsWith(QStringLiteral("   ") + columns->fieldInfo(i).name + QStringLiteral(":     ")),
                     qPrintable(l.text));
            QCOMPARE(l.x, (i % 2) * kHalf);
            QCOMPARE(l.y, top + (i / 2) * kLine8);
            QCOMPARE(l.font.size, 8.0);
        }
    }

    void valuesPrintAsText_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("printed");
        const QString link = QStringLiteral("beziehung_betrieb_person");
        QTest::newRow("function 2") << link << "p-funktion" << QVariant("2")
                                    << QStringLiteral("Geschäftsführender Gesellschafter");
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
        PrintFixture::insert("betrieb_adresse", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}});
        person("P1", "100");
        G().Datenbank_Daten->execute(QStringLiteral("UPDATE [%1] SET [%2] = %3")
                                         .arg(table, column,
                                              engine::isNull(stored) ? QStringLiteral("NULL")
                                                                     : engine::sqlQuote(stored.toString())));
        printBusiness();
        const QStringList lines = fx.startingWith(QStringLiteral("   ") + column + QStringLiteral(":"));
        QCOMPARE(lines, QStringList{QStringLiteral("   ") + column + QStringLiteral(":     ") + printed});
    }

    void loneAndMissingPersons()
    {
        PrintFixture fx;
        business("100");
        person("P1", "100");
        business("200");
        printBusiness("100");
        QCOMPARE(fx.startingWith(QStringLiteral("    Tabellenname: ''person")), QStringList{title("person")});
        printBusiness("200");
        QCOMPARE(fx.paper->texts().last(), QStringLiteral("  Personen-Datei"));
        QCOMPARE(fx.paper->documentsEnded(), 2);
        QCOMPARE(fx.paper->linesOf(2).front().text, QStringLiteral("Betriebsnummer: 200     Seite: 1"));
    }

    void longValuesGoInPiecesInTheirColumn()
    {
        PrintFixture fx;
        business("100");
        const QString a(50, QLatin1Char('A')), b(50, QLatin1Char('B'));
        const QString owner = a + QString(50, QLatin1Char(' ')) + b;
        // At this length the rounded-down pieces would fall 118 characters short.
        QString remark;
        for (int i = 0; i < 9974; ++i)
            remark += QChar(u'a' + i % 26);
        G().Datenbank_Daten->execute(QStringLiteral("UPDATE betrieb SET [inhaber-bname] = '%1'").arg(owner));
        PrintFixture::insert("betrieb_taetigkeit",
                             {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"tk-originaltext", remark}, {"tk_hwk_id", "7"}});
        printBusiness();

        // A left field: the name alone, the non-blank pieces below it, then
        // the next field on a new line at the left.
        const int owned = fx.find(QStringLiteral("   inhaber-bname:     "));
        QCOMPARE(fx.line(owned).x, 0.0);
        QCOMPARE(fx.line(owned + 1).text, QStringLiteral("   ") + a);
        QCOMPARE(fx.line(owned + 2).text, QStringLiteral("   ") + b);
        QVERIFY(fx.line(owned + 3).text.startsWith(QStringLiteral("   b-bemerkung:")));
        QCOMPARE(fx.line(owned + 3).x, 0.0);
        QCOMPARE(fx.line(owned + 3).y, fx.line(owned + 2).y + kLine8);

        // A right field across several pages: every piece stays in the right
        // half, and together they give the whole value.
        const int label = fx.find(QStringLiteral("   tk-originaltext:     "));
        QCOMPARE(fx.line(label).x, kHalf);
        const int next = fx.find(QStringLiteral("   tk_hwk_id:     7"));
        QString joined;
        for (int i = label + 1; i < next; ++i) {
            const auto &l = fx.line(i);
            if (l.text.startsWith(QStringLiteral("Betriebsnummer: ")) || l.text.isEmpty())
                continue;
            QCOMPARE(l.x, kHalf);
            joined += l.text.mid(3);
        }
        QCOMPARE(joined, remark);
        QCOMPARE(fx.line(next).x, 0.0);
        QVERIFY(fx.line(next - 1).page >= 3);

        // Each new page starts with the repeated header and an empty line in
        // the size in force; no line starts within 300 twips of the page end.
        int page = 1;
        for (int i = 0; i < int(fx.paper->lines().size()); ++i) {
            const auto &l = fx.line(i);
            QVERIFY(l.y <= 15000 - 300);
            if (l.page == page)
                continue;
            page = l.page;
            QCOMPARE(l.text, QStringLiteral("Betriebsnummer: 100     Seite: %1").arg(page));
            QVERIFY(l.y == 0 && l.font.bold && l.font.underline && l.font.size == 12);
            QCOMPARE(fx.line(i + 1).text, QString());
            QCOMPARE(fx.line(i + 1).font.size, 8.0);
            QVERIFY(!fx.line(i + 1).font.bold);
        }
        QVERIFY(page >= 3);
    }

    void rightFieldThatBreaksThePageKeepsItsColumn()
    {
        PrintFixture fx;
        Declare &g = G();
        g.Druck_OK = true;
        g.Druck_Kopfzeile = QStringLiteral("Betriebsnummer: 7     Seite: ");
        g.Druck_Spalte = QStringLiteral("vorne");
        g.Druck_X = kHalf;
        fx.paper->setFontSize(8);
        fx.paper->print(QStringLiteral("links"));
        fx.paper->setCurrentY(14701);
        fx.paper->setCurrentX(kHalf);
        DS_Druck_Zeile(QStringLiteral("   b-ort:     Kiel"));
        const auto &l = fx.paper->lines().back();
        QCOMPARE(l.page, 2);
        QCOMPARE(l.x, kHalf);
        QCOMPARE(l.y, RecordingPrinter::lineHeight(12) + kLine8);
        QCOMPARE(g.Druck_Y.toDouble(), l.y);
        QCOMPARE(fx.find(QStringLiteral("Betriebsnummer: 7     Seite: 2")), 1);
    }

    void printedRowsStayInTheRecordSetsUntilTheNextLoad()
    {
        PrintFixture fx;
        standardBusiness();
        printBusiness();
        const Declare &g = G();
        QCOMPARE(g.RS_betrieb->recordCount(), 1L);
        QCOMPARE(g.RS_betrieb_adresse->recordCount(), 2L);
        QCOMPARE(g.RS_betrieb_meldgrundsonst->recordCount(), 1L);
        QCOMPARE(g.RS_betrieb_erlaubnis->recordCount(), 0L);
        QCOMPARE(g.RS_betrieb_taetigkeit->recordCount(), 1L);
        QCOMPARE(g.RS_person->recordCount(), 3L);
        // The person tables hold the last person's rows.
        QCOMPARE(g.RS_person_staatsang->recordCount(), 0L);
        QCOMPARE(g.RS_person_handwerkskarte->recordCount(), 1L);
        QVERIFY(g.RS_beziehung_betrieb_person->isTable());
        QCOMPARE(g.SQL_Abfrage,
                 QStringLiteral("SELECT DISTINCTROW * FROM person INNER JOIN beziehung_betrieb_person ON "
                                "beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] WHERE "
                                "beziehung_betrieb_person.[bez-betr-nr] = '100' AND "
                                "beziehung_betrieb_person.[bez-betr-hist-nr] = '1' "));
        // The link columns come with the person.
        QVERIFY(g.RS_person->fieldIndex(QStringLiteral("p-funktion")) > g.RS_person->fieldIndex(QStringLiteral("p-bemerkung")));

        DB_Load();
        QVERIFY(g.RS_betrieb->isTable() && g.RS_person->isTable() && g.RS_person_staatsang->isTable());
        QCOMPARE(g.RS_betrieb->recordCount(), 3L);
    }

    void personPrintShowsOnlyThatPerson()
    {
        PrintFixture fx;
        standardBusiness();
        DS_Druck_1(QStringLiteral("Person"), QStringLiteral("100"), QStringLiteral("1"), QStringLiteral("P2"));
        QCOMPARE(fx.line(0).text, QStringLiteral("Personennummer: P2     Seite: 1"));
        QCOMPARE(fx.line(2).text, QStringLiteral("  Personen-Datei"));
        QVERIFY(fx.line(2).font.bold);
        QCOMPARE(fx.startingWith(QStringLiteral("    Tabellenname:")),
                 (QStringList{title("person"), title("person_erlaubnis")}));
        QVERIFY(G().RS_betrieb->isTable());
        QVERIFY(G().SQL_Abfrage.endsWith(QStringLiteral("AND person.[pers-nr] = 'P2' ")));
        QCOMPARE(fx.paper->documentsEnded(), 1);
    }

    void apostropheInAKeyIsPrintedNotRejected()
    {
        PrintFixture fx;
        business("O'1");
        person("O'P", "O'1");
        printBusiness("O'1");
        QVERIFY(fx.logBytes().isEmpty());
        QCOMPARE(fx.line(0).text, QStringLiteral("Betriebsnummer: O'1     Seite: 1"));
        QCOMPARE(fx.startingWith(QStringLiteral("    Tabellenname:")), (QStringList{title("betrieb"), title("person")}));
    }

    void printerFailureStopsPrintingButFinishesTheRun()
    {
        PrintFixture fx;
        standardBusiness();
        fx.paper->setFailure([](RecordingPrinter::Operation op, const QString &text) {
            return op == RecordingPrinter::Operation::Draw && text == title("betrieb_adresse", " Nr. 1");
        });
        printBusiness();
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("DS_Druck_1")});
        QVERIFY(!G().Druck_OK);
        QCOMPARE(fx.startingWith(QStringLiteral("    Tabellenname:")),
                 (QStringList{title("betrieb"), title("betrieb_meldgrundsonst")}));
        // One box for each line still handed over: the activity's empty line
        // and title, the two section lines, and the first two lines of each
        // further record set with rows.
        const auto boxes = PrintFixture::boxes(QStringLiteral("Druckerfehler!"));
        QCOMPARE(int(boxes.size()), 16);
        QVERIFY(boxes.front().text.isEmpty() && boxes.front().style == 64);
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QCOMPARE(fx.paper->fontName(), QStringLiteral("Arial"));
        QCOMPARE(fx.pointer.last(), false);
    }

    void failureOfTheRunLeavesTheDocumentOpenForTheNext()
    {
        PrintFixture fx;
        standardBusiness();
        G().Datenbank_Daten->execute(QStringLiteral("DROP TABLE betrieb_taetigkeit"));
        printBusiness();
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("DS_Druck_1")});
        QVERIFY(fx.paper->documentOpen());
        QCOMPARE(fx.paper->fontName(), QStringLiteral("Courier New"));
        QCOMPARE(fx.pointer.last(), true);
        const int printed = int(fx.paper->lines().size());
        QVERIFY(fx.find(title("betrieb_adresse", " Nr. 2")) > 0);

        DS_Druck_1(QStringLiteral("Person"), QStringLiteral("100"), QStringLiteral("1"), QStringLiteral("P1"));
        QCOMPARE(fx.paper->documentsStarted(), 1);
        QCOMPARE(fx.paper->documentsEnded(), 1);
        QCOMPARE(fx.line(printed).text, QStringLiteral("Personennummer: P1     Seite: 1"));
        QVERIFY(fx.line(printed).y > 0);
    }

    void busyFlagsKeepTheMenusQuiet_data()
    {
        QTest::addColumn<QString>("item");
        for (const char *item : {"menue_suchen_person", "menue_suchen_betrieb", "menue_druck_betrieb", "menue_druck_Person",
                                 "menue_info", "menue_extras_optionen", "menue_import_datenbank",
                                 "menue_export_textdatei"})
            QTest::newRow(item) << QString::fromLatin1(item);
    }
    void busyFlagsKeepTheMenusQuiet()
    {
        QFETCH(QString, item);
        PrintFixture fx;
        fx.startPicture = true;
        fx.marks[item] = true;
        MDIForm1_menue_druck_betrieb_Click();
        MDIForm1_menue_druck_Person_Click();
        QVERIFY(platform::MessageService::recorded().empty());
        QVERIFY(fx.pointer.isEmpty());
        QCOMPARE(fx.marks.size(), 1);
    }

    void menusWithoutAChosenRecord_data()
    {
        QTest::addColumn<bool>("person");
        QTest::addColumn<bool>("startPicture");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString none = QStringLiteral("Es wurden in der Datenbank keine Sätze gefunden!");
        const QString nothing = QStringLiteral("Es wurde kein Datensatz ausgewählt!");
        QTest::newRow("business, start picture") << false << true << "Datensatz-Auswahl!" << nothing;
        QTest::newRow("person, start picture") << true << true << "Datensatz-Auswahl!" << nothing;
        QTest::newRow("business, empty") << false << false << "Aktuellen Betriebsdatensatz drucken!" << none;
        QTest::newRow("person, empty") << true << false << "Aktuellen Personendatensatz drucken!" << none;
    }
    void menusWithoutAChosenRecord()
    {
        QFETCH(bool, person);
        QFETCH(bool, startPicture);
        QFETCH(QString, title);
        QFETCH(QString, text);
        PrintFixture fx;
        fx.views.at(QStringLiteral("DATA_BETR"))->Refresh();
        fx.startPicture = startPicture;
        person ? MDIForm1_menue_druck_Person_Click() : MDIForm1_menue_druck_betrieb_Click();
        const auto &boxes = platform::MessageService::recorded();
        QCOMPARE(int(boxes.size()), 1);
        QCOMPARE(boxes.front().title, title);
        QCOMPARE(boxes.front().text, text);
        QCOMPARE(boxes.front().style, 64);
        QVERIFY(fx.paper->lines().empty());
        QCOMPARE(fx.pointer, (QList<bool>{true, false}));
        QVERIFY(!fx.marks.value(person ? QStringLiteral("menue_druck_Person") : QStringLiteral("menue_druck_betrieb")));
    }

    void menusPrintTheShownRecordUnderTheirMark()
    {
        PrintFixture fx;
        standardBusiness();
        BoundView *betr = fx.views.at(QStringLiteral("DATA_BETR")).get();
        betr->setRecordSource(QStringLiteral("SELECT * FROM betrieb WHERE [betr-nr] = '100' AND [betr-hist-nr] = '1'"));
        betr->Refresh();
        BoundView *pers = fx.views.at(QStringLiteral("DATA_PERS")).get();
        pers->setRecordSource(QStringLiteral("SELECT * FROM person WHERE [pers-nr] = 'P2'"));
        pers->Refresh();
        QMap<QString, bool> during;
        fx.paper->setFailure([&](RecordingPrinter::Operation op, const QString &) {
            if (op == RecordingPrinter::Operation::BeginDocument)
                during = fx.marks;
            return false;
        });

        MDIForm1_menue_druck_betrieb_Click();
        QCOMPARE(fx.line(0).text, QStringLiteral("Betriebsnummer: 100     Seite: 1"));
        QVERIFY(during.value(QStringLiteral("menue_druck_betrieb")));
        QVERIFY(!fx.marks.value(QStringLiteral("menue_druck_betrieb")));

        MDIForm1_menue_druck_Person_Click();
        QCOMPARE(fx.paper->linesOf(2).front().text, QStringLiteral("Personennummer: P2     Seite: 1"));
        QVERIFY(during.value(QStringLiteral("menue_druck_Person")));
        QVERIFY(!fx.marks.value(QStringLiteral("menue_druck_Person")));
        QVERIFY(fx.logBytes().isEmpty());

        // No person shown: the person number cannot be read, nothing is printed.
        pers->setRecordSource(QStringLiteral("SELECT * FROM person WHERE [pers-nr] = 'keiner'"));
        pers->Refresh();
        const size_t before = fx.paper->lines().size();
        MDIForm1_menue_druck_Person_Click();
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("DS_Druck_1")});
        QCOMPARE(fx.paper->lines().size(), before);
        QCOMPARE(fx.pointer.last(), false);
        QVERIFY(!fx.marks.value(QStringLiteral("menue_druck_Person")));
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
        QCOMPARE(platform::MessageService::recorded().back().title, QStringLiteral("Datensatz-Auswahl!"));

        window.showRecordView();
        DB_Load_DATA(QStringLiteral("01001000"), QStringLiteral("100"), QStringLiteral("1"));
        window.DATA_PERS->navigateNext();
        const QString shown = window.DATA_PERS->currentValue(QStringLiteral("pers-nr")).toString();
        MDIForm1_menue_druck_Person_Click();
        QCOMPARE(fx.line(0).text, QStringLiteral("Personennummer: ") + shown + QStringLiteral("     Seite: 1"));
        QVERIFY(fx.logBytes().isEmpty());
        G().forms = FormHooks();
    }
};

QTEST_MAIN(TestRecordPrint)
#include "tst_recordprint.moc"
