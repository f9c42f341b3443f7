// Business blocks, sub-blocks, persons and field conversion, through whole
// transfer files imported into real working databases; and the imported file
// as plain SQLite sees it.

#include "ImportFixture.h"

#include "../engine/PlainSqlite.h"
#include "exchange/ImportSupport.h"

#include <QLocale>

using fixture::PlainSqlite;

class TestImportBlocks : public QObject
{
    Q_OBJECT
    ImportFixture fx;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }
    void init() { fx.setUp(); }
    void cleanup() { fx.tearDown(); }

    void extractors_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");
        QTest::newRow("field") << "<b-ort>Kiel</b-ort>" << "b-ort" << "Kiel";
        QTest::newRow("blanks kept") << "<b-ort>  Kiel </b-ort>" << "b-ort" << "  Kiel ";
        QTest::newRow("only blanks") << "<b-ort>   </b-ort>" << "b-ort" << "kein Inhalt";
        QTest::newRow("empty") << "<b-ort></b-ort>" << "b-ort" << "kein Inhalt";
        QTest::newRow("no end tag") << "<b-ort>Kiel" << "b-ort" << "kein Inhalt";
        QTest::newRow("address start") << "<adresse art=\"2\">" << "adresse art=\"2\"" << "kein Inhalt";
        QTest::newRow("end tag") << "</taetigkeit>" << "/taetigkeit" << "kein Inhalt";
        QTest::newRow("entity stays") << "<b-eintr-name>A &amp; B</b-eintr-name>" << "b-eintr-name" << "A &amp; B";
        QTest::newRow("no tag at all") << "text" << "kein Name" << "kein Inhalt";
        QTest::newRow("'>' before the first '<'") << "a>b<c>d</c>" << "c" << "b";
        QTest::newRow("content is the marker") << "<b-ort>kein Inhalt</b-ort>" << "b-ort" << "kein Inhalt";
    }
    void extractors()
    {
        QFETCH(QString, line);
        QFETCH(QString, name);
        QFETCH(QString, content);
        QCOMPARE(Upd_9_ExtrFeldInhalt(line), name);
        QCOMPARE(Upd_8_ExtrFeldInhalt(line), content);
        // The block procedures take a line apart once, without copies.
        const exchange::detail::Element e = exchange::detail::elementOf(line);
        QCOMPARE(e.named ? e.name.toString() : QStringLiteral("kein Name"), name);
        QCOMPARE(e.filled ? e.content.toString() : QStringLiteral("kein Inhalt"), content);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("stored");
        QTest::newRow("YYYYMMDD") << element("tk-beginn", "20240131") << "tk-beginn" << "31.01.2024";
        QTest::newRow("unbekannt") << element("tk-beginn", "88888888") << "tk-beginn" << "unbekannt";
        QTest::newRow("unbegrenzt") << element("tk-ende", "99999999") << "tk-ende" << "unbegrenzt";
        QTest::newRow("four characters") << element("tk-beginn", "2024") << "tk-beginn" << "..2024";
        QTest::newRow("other letter case") << element("TK-Ende", "20231201") << "tk-ende" << "01.12.2023";
        QTest::newRow("no date column") << element("tk-schl", "20240131") << "tk-schl" << "20240131";
    }
    void dates()
    {
        QFETCH(QString, line);
        QFETCH(QString, column);
        QFETCH(QString, stored);
        fx.importBusinesses(
            {business("1", "0", item("taetigkeiten", item("taetigkeit", {line})) << element("BETR-ENDE", "19991231"))});
        QCOMPARE(fx.values("SELECT [" + column + "] FROM betrieb_taetigkeit"), QStringList{stored});
        QCOMPARE(fx.values("SELECT [betr-ende] FROM betrieb"), QStringList{"31.12.1999"});
    }

    void overlongValueIsCutAndLogged()
    {
        const QString name = QString(160, QLatin1Char('x'));
        fx.importBusinesses({business("1", "0", {element("b-eintr-name", name)})});
        QCOMPARE(fx.values("SELECT [b-eintr-name] FROM betrieb"), QStringList{QString(150, QLatin1Char('x'))});
        QCOMPARE(fx.logged(3163), 1);
        QVERIFY(fx.log().contains("Feld zu klein für Datenmenge, Inhalt wurde gekürzt!"));
        QVERIFY(fx.log().contains("b-eintr-name = " + name));
    }

    void unknownElement_data()
    {
        QTest::addColumn<bool>("last");
        QTest::newRow("first") << false;
        QTest::newRow("last element of the business") << true;
    }
    void unknownElement()
    {
        QFETCH(bool, last);
        QStringList body{element("b-eintr-name", "Bäckerei")};
        body.insert(last ? 1 : 0, element("kein-feld", "1"));
        fx.importBusinesses({business("1", "0", body)});
        QCOMPARE(fx.values("SELECT [b-eintr-name] FROM betrieb"), QStringList{"Bäckerei"});
        QCOMPARE(fx.logged(3265), 1);
    }

    // A row whose last element cannot be written keeps what was written
    // before it (the earlier rows of the business are already deleted).
    void failedLastFieldKeepsRow()
    {
        Declare &g = G();
        const QString path = g.Datei_DB_Daten;
        DB_Close();
        engine::releaseFile(path);
        engine::Database::open(path)->execute("ALTER TABLE betrieb ADD COLUMN [anzahl] INTEGER");
        engine::releaseFile(path);
        DB_Load();
        fx.importBusinesses({business("1", "0", {element("b-eintr-name", "A"), element("anzahl", "viele")})});
        QCOMPARE(fx.values("SELECT [b-eintr-name] || '/' || coalesce([anzahl], '<Null>') FROM betrieb"),
                 QStringList{"A/<Null>"});
        QCOMPARE(fx.logged(13), 1);
    }

    void subBlocksGetBusinessKeys()
    {
        fx.importBusinesses({business(
            "7", "2",
            item("meld-gruende-sonst", item("meld-grund-sonst", {element("meld-grund-sonst-text", "Umzug")})) +
                item("taetigkeiten", item("taetigkeit", {element("tk-schl", "47")}) +
                                         item("taetigkeit", {element("tk-schl", "  ")})) +
                item("b-erlaubnisse", item("b-erlaubnis", {element("b-erl-art", "§34c")})))});
        QCOMPARE(fx.values("SELECT [betr-nr] || '/' || [betr-hist-nr] || '/' || [tk-schl] FROM betrieb_taetigkeit"),
                 QStringList{"7/2/47"});
        QCOMPARE(fx.values("SELECT [betr-hist-nr] || [meld-grund-sonst-text] FROM betrieb_meldgrundsonst"),
                 QStringList{"2Umzug"});
        QCOMPARE(fx.values("SELECT [b-erl-art] FROM betrieb_erlaubnis"), QStringList{"§34c"});
        QCOMPARE(fx.count("betrieb"), 1);
    }

    void addresses_data()
    {
        QTest::addColumn<QStringList>("body");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("empty list") << QStringList{"<adressen>", "</adressen>", element("b-eintr-name", "A")} << QStringList{"5/0/1/<Null>"};
        QTest::newRow("kind from element, not attribute")
            << item("adressen", item("adresse art=\"2\"", {element("b-adr-art", "3"), element("b-ort", "Kiel")}))
            << QStringList{"5/0/3/Kiel"};
    }
    void addresses()
    {
        QFETCH(QStringList, body);
        QFETCH(QStringList, rows);
        fx.importBusinesses({business("5", "0", body)});
        QCOMPARE(fx.values("SELECT [betr-nr] || '/' || [betr-hist-nr] || '/' || [b-adr-art] || '/' || "
                           "coalesce([b-ort], '<Null>') FROM betrieb_adresse"), rows);
    }

    void subBlockWithoutEndLine_data()
    {
        QTest::addColumn<QStringList>("body");
        QTest::newRow("activity") << QStringList{element("b-eintr-name", "A"), "<taetigkeiten>", "<taetigkeit>",
                                                 element("tk-schl", "1")};
        QTest::newRow("address list as last line") << QStringList{element("b-eintr-name", "A"), "<adressen>"};
    }
    void subBlockWithoutEndLine()
    {
        QFETCH(QStringList, body);
        fx.importBusinesses({business("1", "0", body), business("2", "0", {element("b-eintr-name", "B")})});
        const QStringList errors = fx.boxes().filter("Laufzeitfehler Nr. 9 ''Index außerhalb des gültigen Bereichs''");
        QCOMPARE(errors.size(), 1);
        QCOMPARE(fx.values("SELECT [betr-nr] FROM betrieb"), QStringList{"2"});
        QCOMPARE(fx.logged(9), 1);
    }

    void persons()
    {
        const auto person = [](const QString &nr, const QString &art, const QString &funktion, const QString &name) {
            QStringList l{"<person>"};
            if (!funktion.isEmpty())
                l << element("p-funktion", funktion);
            l << element("p-eintr-datum", "20200101") << element("pers-nr", nr) << element("p-art", art)
              << element("fam-name", name) << "</person>";
            return l;
        };
        // Legal form 210 has typ "P" in Rechtsformen, 170 has "E".
        QStringList body{element("b-rechtsform", "210"), "<personen>"};
        body << person("N0", "NP", "2", "Vorn") << person("J1", "JP", "4", "") << person("N1", "NP", "2", "Erst")
             << person("J2", "JP", "3", "") << person("N2", "NP", "2", "") << person("N1", "NP", "2", "Zweit")
             << person("kein", "XX", "1", "") << QStringList{"<person>", element("pers-nr", ""), "</person>"}
             << QStringList{"<person>", element("p-art", "JP"), element("fam-name", "Ohne"), "</person>"}
             << person("N3", "np", "", "") << "</personen>";
        QStringList other{element("b-rechtsform", "170"), "<personen>"};
        other << person("J9", "JP", "3", "") << person("N9", "NP", "2", "") << "</personen>";
        fx.importBusinesses({business("1", "0", body), business("2", "0", other)});

        QCOMPARE(fx.values("SELECT [bez-betr-nr] || ':' || [bez-sort-nr] || ':' || [bez-pers-nr] || ':' || "
                           "coalesce([pers-nr-jp], '<Null>') || ':' || [p-funktion] || ':' || [p-eintr-datum] "
                           "FROM beziehung_betrieb_person ORDER BY rowid"),
                 (QStringList{"1:1:N0::2:01.01.2020", "1:2:J1:<Null>:4:01.01.2020", "1:3:N1:J1:2:01.01.2020",
                              "1:4:J2:J1:3:01.01.2020", "1:5:N2:J1:2:01.01.2020", "1:7:kein:<Null>:1:01.01.2020",
                              "1:10:N3:J1::01.01.2020", "2:1:J9:<Null>:3:01.01.2020", "2:2:N9:J9:2:01.01.2020"}));
        // The second occurrence of a person replaces the first one's row.
        QCOMPARE(fx.values("SELECT [fam-name] FROM person WHERE [pers-nr] = 'N1'"), QStringList{"Zweit"});
        QCOMPARE(fx.count("person"), 9);
        // A person without any pers-nr element leaves no row nobody could reach, only its log record.
        QCOMPARE(fx.count("person", "[pers-nr] Is Null OR [fam-name] = 'Ohne'"), 0);
        QCOMPARE(fx.log().count("Person ohne Personennummer"), 1);
    }

    void personNestedRows()
    {
        QStringList person{element("pers-nr", "P1"), element("p-art", "NP")};
        person << item("staatsangehoerigkeiten", item("staatsangehoerigkeit", {element("staat-text", "deutsch"),
                                                                               element("staat-schl", "000")}))
               << item("p-erlaubnisse", item("p-erlaubnis", {element("p-erl-art", "A")}) +
                                            item("p-erlaubnis", {element("p-erl-art", "B")}))
               << "<p-handwerkskarten>" << "<p-handwerkskarte>" << element("p-hwk-art", "H") << "</p-handwerkskarten>"
               << element("fam-name", "Nach");
        fx.importBusinesses({business("3", "0", item("personen", item("person", person)))});
        QCOMPARE(fx.values("SELECT [pers-nr] || [staat-text] || [staat-schl] FROM person_staatsang"),
                 QStringList{"P1deutsch000"});
        QCOMPARE(fx.values("SELECT [pers-nr] || [betr-nr] || [p-erl-art] FROM person_erlaubnis ORDER BY rowid"),
                 (QStringList{"P13A", "P13B"}));
        // A craft card without its end line ends with the person block.
        QCOMPARE(fx.values("SELECT [pers-nr] || [p-hwk-art] FROM person_handwerkskarte"), QStringList{"P1H"});
        QCOMPARE(fx.logged(9), 1);
        QCOMPARE(fx.count("person"), 1);
        QCOMPARE(fx.count("beziehung_betrieb_person"), 1);
    }

    // Persons are replaced per person; their permits per business.
    void personReimport()
    {
        const auto file = [](const QString &nr, const QString &permit) {
            return business(nr, "0", item("personen", item("person", QStringList{element("pers-nr", "P1"), element("p-art", "NP")} +
                                                        item("p-erlaubnisse", item("p-erlaubnis", {element("p-erl-art", permit)})))));
        };
        fx.importBusinesses({file("1", "A"), file("2", "B")});
        fx.importBusinesses({file("1", "C")});
        QCOMPARE(fx.values("SELECT [betr-nr] || [p-erl-art] FROM person_erlaubnis ORDER BY [betr-nr]"),
                 (QStringList{"1C", "2B"}));
        QCOMPARE(fx.count("person"), 1);
        QCOMPARE(fx.count("beziehung_betrieb_person"), 2);
    }

    // A new version of a business that leaves a person out takes that
    // person's permits, craft cards and link row of this business along;
    // what the person holds for another business stays.
    void reimportWithoutAPerson_data()
    {
        QTest::addColumn<QString>("struktur");
        QTest::addColumn<QString>("hist"); // of the new version; the first one has "1"
        QTest::addColumn<QStringList>("links");
        QTest::newRow("business-related") << "BETRIEBSBEZOGEN" << "1" << QStringList{"1/1/P1", "2/1/P2"};
        QTest::newRow("business-related, next history number")
            << "BETRIEBSBEZOGEN" << "2" << QStringList{"1/2/P1", "2/1/P2"};
        QTest::newRow("report-related") << "MELDUNGSBEZOGEN" << "1" << QStringList{"1/1/P1", "2/1/P2"};
        // The earlier history row keeps its links; permits and cards belong to the business number.
        QTest::newRow("report-related, next history number")
            << "MELDUNGSBEZOGEN" << "2" << QStringList{"1/1/P1", "1/1/P2", "1/2/P1", "2/1/P2"};
    }
    void reimportWithoutAPerson()
    {
        QFETCH(QString, struktur);
        QFETCH(QString, hist);
        QFETCH(QStringList, links);
        const auto person = [](const QString &nr, const QString &what, const QString &staat) {
            return item("person", QStringList{element("p-funktion", "2"), element("pers-nr", nr), element("p-art", "NP")} +
                                      item("staatsangehoerigkeiten", item("staatsangehoerigkeit", {element("staat-text", staat),
                                                                                               element("staat-schl", "000")})) +
                                      item("p-erlaubnisse", item("p-erlaubnis", {element("p-erl-art", what)})) +
                                      item("p-handwerkskarten", item("p-handwerkskarte", {element("p-hwk-art", what)})));
        };
        const auto withPersons = [](const QString &nr, const QString &h, const QList<QStringList> &persons) {
            QStringList body{element("b-eintr-name", "Betrieb " + nr), "<personen>"};
            for (const QStringList &p : persons)
                body << p;
            return business(nr, h, body << "</personen>");
        };
        TransferText t;
        t.struktur = struktur;
        t.businesses = {withPersons("1", "1", {person("P1", "A", "deutsch"), person("P2", "X", "dänisch")}),
                        withPersons("2", "1", {person("P2", "Y", "dänisch")})};
        fx.import(t.text());
        QCOMPARE(fx.count("beziehung_betrieb_person"), 3);
        QCOMPARE(fx.count("person_erlaubnis"), 3);
        QCOMPARE(fx.count("person_handwerkskarte"), 3);

        t.businesses = {withPersons("1", hist, {person("P1", "C", "deutsch")})};
        fx.import(t.text());
        QCOMPARE(G().Datenart_aktuell.toString(), struktur);
        QCOMPARE(fx.values("SELECT [bez-betr-nr] || '/' || [bez-betr-hist-nr] || '/' || [bez-pers-nr] "
                           "FROM beziehung_betrieb_person ORDER BY 1"),
                 links);
        QCOMPARE(fx.values("SELECT [pers-nr] || '/' || [betr-nr] || '/' || [p-erl-art] FROM person_erlaubnis "
                           "ORDER BY 1"),
                 (QStringList{"P1/1/C", "P2/2/Y"}));
        QCOMPARE(fx.values("SELECT [pers-nr] || '/' || [betr-nr] || '/' || [p-hwk-art] FROM person_handwerkskarte "
                           "ORDER BY 1"),
                 (QStringList{"P1/1/C", "P2/2/Y"}));
        // The person rows themselves are kept: P2 still belongs to business 2.
        QCOMPARE(fx.values("SELECT person.[pers-nr] || '/' || [staat-text] FROM person INNER JOIN person_staatsang "
                           "ON person.[pers-nr] = person_staatsang.[pers-nr] ORDER BY 1"),
                 (QStringList{"P1/deutsch", "P2/dänisch"}));
        QCOMPARE(fx.log(), QString());
    }

    // Blocks without a business number must not delete each other's rows.
    void keylessBlocks()
    {
        const auto keyless = [](const QString &name) {
            return business("", "0", QStringList{element("b-eintr-name", name)} +
                                         item("taetigkeiten", item("taetigkeit", {element("tk-schl", name)})));
        };
        fx.importBusinesses({keyless("A")});
        fx.importBusinesses({keyless("B")});
        QCOMPARE(fx.values("SELECT [b-eintr-name] FROM betrieb ORDER BY rowid"), (QStringList{"A", "B"}));
        QCOMPARE(fx.values("SELECT [tk-schl] FROM betrieb_taetigkeit ORDER BY rowid"), (QStringList{"A", "B"}));
        QVERIFY(fx.log().contains("Betrieb ohne Betriebsnummer"));
    }

    void wholeBusinessOnOneLine()
    {
        fx.importBusinesses({business("1", "0", {element("b-eintr-name", "A")})});
        fx.importBusinesses({"<betrieb><betr-nr>1</betr-nr><b-eintr-name>B</b-eintr-name></betrieb>\n"});
        QCOMPARE(fx.values("SELECT [b-eintr-name] FROM betrieb"), QStringList{"A"});
    }

    // After an import through the menu's path, compactions between the pieces
    // included, the working file and its compacted copy open, check and answer
    // queries in any SQLite tool, with nothing of the engine loaded.
    void importedFileNeedsNoEngine()
    {
        TransferText t;
        t.businesses = threeBusinesses("Gärtnerei Öztürk ", "Lübeck", {element("fam-name", "Weiß")});
        const QString text = t.text();
        // Small pieces, so that the import compacts the file between them.
        exchange::setPieceSize((text.size() + text.count('\n')) / 12 + 1);
        fx.import(text);
        QVERIFY(!fx.events.filter("status:Datenbankkomprimierung").isEmpty());
        QCOMPARE(fx.count("betrieb"), 3);
        const QString work = G().Datenbank_Daten->path();
        const QString org = G().Datenbank_Org->path();
        const QString copy = work + QStringLiteral(".copy");
        fx.tearDownKeepingFiles();
        engine::compactDatabase(work, copy);

        for (const QString &path : {work, copy, org}) {
            PlainSqlite plain(path);
            QCOMPARE(plain.complaint(), QString());
        }
        for (const QString &path : {work, copy}) {
            PlainSqlite plain(path);
            QCOMPARE(plain.rows("SELECT count(*) FROM betrieb_adresse"), QStringList{"3"});
            QCOMPARE(plain.rows("SELECT [b-eintr-name] FROM betrieb WHERE [betr-nr] = '101'"),
                     QStringList{"Gärtnerei Öztürk 101"});
            QCOMPARE(plain.rows("SELECT p.[fam-name] FROM person p JOIN beziehung_betrieb_person b "
                                "ON b.[bez-pers-nr] = p.[pers-nr] WHERE b.[bez-betr-nr] = '102'"),
                     QStringList{"Weiß"});
        }
    }
};

QTEST_MAIN(TestImportBlocks)
#include "tst_importblocks.moc"
