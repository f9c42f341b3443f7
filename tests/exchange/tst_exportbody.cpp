// The body of one business in a transfer file: key lines, field rules,
// cleaning, dates, the sub-blocks and the persons with their nested rows.

#include "tst_exportfixture.h"

#include <QLocale>

class TestExportBody : public QObject
{
    Q_OBJECT
    ExportFixture fx;

    QStringList elementsOf(const QStringList &lines, const QString &name) const
    {
        return lines.filter(QRegularExpression(QStringLiteral("^<") + QRegularExpression::escape(name) + QLatin1Char('>')));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }
    void init() { fx.setUp(); }
    void cleanup() { fx.tearDown(); }

    void cleaning_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("plain") << QVariant("Bäckerei Müller") << QStringList{"<b-bemerkung>Bäckerei Müller</b-bemerkung>"};
        QTest::newRow("angle brackets become blanks") << QVariant("a<b>c") << QStringList{"<b-bemerkung>a b c</b-bemerkung>"};
        QTest::newRow("brackets at both ends keep their blanks") << QVariant("<x>") << QStringList{"<b-bemerkung> x </b-bemerkung>"};
        QTest::newRow("entities and quotes stay") << QVariant("A & B \"C\" 'D' &amp; x") << QStringList{"<b-bemerkung>A & B \"C\" 'D' &amp; x</b-bemerkung>"};
        QTest::newRow("one semicolon at each end goes") << QVariant("  ;;x;;  ") << QStringList{"<b-bemerkung>;x;</b-bemerkung>"};
        QTest::newRow("a lone semicolon leaves an empty element") << QVariant(";") << QStringList{"<b-bemerkung></b-bemerkung>"};
        QTest::newRow("line breaks become blanks") << QVariant("eins\r\nzwei\ndrei") << QStringList{"<b-bemerkung>eins  zwei drei</b-bemerkung>"};
        QTest::newRow("a tab is content") << QVariant("\tx") << QStringList{"<b-bemerkung>\tx</b-bemerkung>"};
        QTest::newRow("only blanks: no element") << QVariant("   ") << QStringList{};
        QTest::newRow("empty: no element") << QVariant("") << QStringList{};
        QTest::newRow("Null: no element") << QVariant() << QStringList{};
    }
    void cleaning()
    {
        QFETCH(QVariant, stored);
        QFETCH(QStringList, written);
        fx.business("100", "1", {{"b-bemerkung", stored}});
        QCOMPARE(elementsOf(fx.body("100", "1"), "b-bemerkung"), written);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("written");
        QTest::newRow("day.month.year") << "24.12.2025" << "20251224";
        QTest::newRow("unknown") << "unbekannt" << "88888888";
        QTest::newRow("unlimited") << "unbegrenzt" << "99999999";
        QTest::newRow("one-digit day is cut by position") << "1.2.2025" << "25.21.";
        QTest::newRow("word in other case is cut too") << "Unbekannt" << "nntekUn";
    }
    void dates()
    {
        QFETCH(QString, stored);
        QFETCH(QString, written);
        // betr-ende is stored in lower case; the date names compare without case.
        fx.business("100", "1", {{"betr-beginn", stored}, {"betr-ende", stored}});
        const QStringList lines = fx.body("100", "1");
        QCOMPARE(elementsOf(lines, "betr-beginn"), QStringList{"<betr-beginn>" + written + "</betr-beginn>"});
        QCOMPARE(elementsOf(lines, "betr-ende"), QStringList{"<betr-ende>" + written + "</betr-ende>"});
    }

    void businessWithoutRows()
    {
        fx.business(" 100 ", " 1 ", {{"gem-kz", QVariant()}, {"b-eintr-name", "Gärtnerei"}, {"meld-art", "01"},
                                     {"b-reg-datum", "02.01.2020"}, {"schluesselfeld", "A1"}});
        QCOMPARE(fx.body(" 100 ", " 1 "),
                 (QStringList{"<gem-kz></gem-kz>", "<betr-nr>100</betr-nr>", "<betr-hist-nr>1</betr-hist-nr>",
                              "<b-eintr-name>Gärtnerei</b-eintr-name>", "<meld-art>01</meld-art>",
                              "<b-reg-datum>20200102</b-reg-datum>", "<schluesselfeld>A1</schluesselfeld>"}));
    }

    // Every kind of sub-block, in its order, with dates, codes and values
    // cleaned, is held to the stored files' bytes in tst_exchangerepeat; here
    // the person values those files lack.
    void personValuesBeyondTheStoredFiles()
    {
        fx.business("100", "1");
        fx.row("person", {{"pers-nr", "P1"}, {"p-art", "NP"}});
        fx.row("person_staatsang", {{"pers-nr", "P1"}, {"staat-text", "türkisch"}});
        fx.row("person_handwerkskarte", {{"pers-nr", "P1"}, {"betr-nr", ""}, {"p-hwk-schl", "K9"}});
        fx.link("100", "1", "P1", "1", {{"p-funktion", " 4"}, {"p-eintr-datum", "unbegrenzt"}, {"p-austr-datum", "  "}});
        QStringList person{"<p-funktion>4</p-funktion>", "<p-eintr-datum>99999999</p-eintr-datum>",
                           "<pers-nr>P1</pers-nr>", "<p-art>NP</p-art>"};
        person << item("staatsangehoerigkeiten", item("staatsangehoerigkeit", {"<staat-text>türkisch</staat-text>",
                                                                               "<staat-schl></staat-schl>"}))
               << item("p-handwerkskarten", item("p-handwerkskarte", {"<p-hwk-schl>K9</p-hwk-schl>"}));
        QCOMPARE(fx.body("100", "1").mid(3), item("personen", item("person", person)));
        QCOMPARE(fx.log(), QString());
    }

    void addressKinds_data()
    {
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("kinds 1 to 4") << QStringList{"1", "2", "3", "4"}
                                      << QStringList{"<adresse art=\"1\">", "<adresse art=\"2\">", "<adresse art=\"3\">",
                                                     "<adresse art=\"4\">"};
        QTest::newRow("numeric compare") << QStringList{" 2"} << QStringList{"<adresse art=\"2\">"};
        QTest::newRow("other kinds are left out") << QStringList{"5", "1", "x", ""} << QStringList{"<adresse art=\"1\">"};
        QTest::newRow("only other kinds: empty wrapper") << QStringList{"5"} << QStringList{};
    }
    void addressKinds()
    {
        QFETCH(QStringList, kinds);
        QFETCH(QStringList, items);
        fx.business("100", "1");
        for (const QString &k : kinds)
            fx.sub("betrieb_adresse", "100", "1", {{"b-adr-art", k.isEmpty() ? QVariant() : k}, {"b-ort", "Kiel"}});
        const QStringList lines = fx.body("100", "1");
        QCOMPARE(lines.filter("<adresse "), items);
        QCOMPARE(lines.count("</adresse>"), items.size());
        const qsizetype open = lines.indexOf("<adressen>");
        QVERIFY(open > 0);
        if (items.isEmpty())
            QCOMPARE(lines.value(open + 1), QStringLiteral("</adressen>"));
    }

    void personSelection()
    {
        fx.business("100", "1");
        fx.business("200", "1");
        fx.row("person", {{"pers-nr", "P1"}, {"p-art", "NP"}});
        for (const char *nr : {"100", "200"})
            fx.link(nr, "1", "P1", "1", {{"p-funktion", "1"}});
        // The same person twice on business 100, and a link to nobody.
        fx.link("100", "1", "P1", "2", {{"p-funktion", "3"}});
        fx.link("100", "1", "P9", "3", {{"p-funktion", "2"}});
        fx.row("person_erlaubnis", {{"pers-nr", "P1"}, {"betr-nr", ""}, {"p-erl-art", "all, empty"}});
        fx.row("person_erlaubnis", {{"pers-nr", "P1"}, {"betr-nr", QVariant()}, {"p-erl-art", "none, missing"}});
        fx.row("person_erlaubnis", {{"pers-nr", "P1"}, {"betr-nr", "100"}, {"p-erl-art", "only 100"}});
        fx.row("person_erlaubnis", {{"pers-nr", "P1"}, {"betr-nr", "200"}, {"p-erl-art", "only 200"}});

        const QStringList a = fx.body("100", "1");
        QCOMPARE(a.filter("<p-funktion>"), (QStringList{"<p-funktion>1</p-funktion>", "<p-funktion>3</p-funktion>"}));
        QCOMPARE(a.count("<person>"), 2);
        // The permits come in no particular order.
        const auto sorted = [](QStringList l) {
            l.sort();
            return l;
        };
        QCOMPARE(sorted(a.filter("<p-erl-art>")),
                 (QStringList{"<p-erl-art>all, empty</p-erl-art>", "<p-erl-art>all, empty</p-erl-art>",
                              "<p-erl-art>only 100</p-erl-art>", "<p-erl-art>only 100</p-erl-art>"}));
        // One whose business number is missing (Null) goes with no business.
        const QStringList b = fx.body("200", "1");
        QCOMPARE(sorted(b.filter("<p-erl-art>")),
                 (QStringList{"<p-erl-art>all, empty</p-erl-art>", "<p-erl-art>only 200</p-erl-art>"}));
        // The person's number is carried by the person, not by its permits.
        QCOMPARE(b.filter("<pers-nr>").size(), 1);
    }

    void linkToMissingPersonOnly()
    {
        fx.business("100", "1");
        fx.link("100", "1", "P9", "1", {{"p-funktion", "2"}, {"p-eintr-datum", "01.01.2020"}});
        QCOMPARE(fx.body("100", "1").size(), 3);
    }

    void apostrophesInKeys()
    {
        fx.business("12'3", "1'");
        fx.sub("betrieb_taetigkeit", "12'3", "1'", {{"tk-schl", "T"}});
        fx.row("person", {{"pers-nr", "O'P"}, {"p-art", "NP"}});
        fx.row("person_staatsang", {{"pers-nr", "O'P"}, {"staat-text", "irisch"}});
        fx.link("12'3", "1'", "O'P", "1");
        const QStringList lines = fx.body("12'3", "1'");
        QCOMPARE(lines.filter("<tk-schl>"), QStringList{"<tk-schl>T</tk-schl>"});
        QCOMPARE(lines.filter("<staat-text>"), QStringList{"<staat-text>irisch</staat-text>"});
        QCOMPARE(fx.log(), QString());
    }

    void emptyHistoryNumberFindsItsRows()
    {
        // The import leaves the business's history number Null and gives its
        // rows an empty one.
        fx.business("100", "1");
        G().Datenbank_Daten->execute("UPDATE betrieb SET [betr-hist-nr] = NULL");
        fx.sub("betrieb_taetigkeit", "100", "", {{"tk-schl", "T"}});
        QCOMPARE(fx.body("100", QString()).filter("<tk-schl>"), QStringList{"<tk-schl>T</tk-schl>"});
    }

    void failureClosesWhatIsOpen()
    {
        fx.business("100", "1");
        fx.row("person", {{"pers-nr", "P1"}, {"p-art", "NP"}});
        fx.link("100", "1", "P1", "1");
        // The table goes while the export holds its record sets.
        const exchange::BodySession session;
        QCOMPARE(fx.body("100", "1").size(), 9);
        G().Datenbank_Daten->execute("DROP TABLE person_staatsang");
        const QStringList lines = fx.body("100", "1");
        QCOMPARE(lines.mid(3), (QStringList{"<personen>", "<person>", "<pers-nr>P1</pers-nr>", "<p-art>NP</p-art>",
                                            "</person>", "</personen>"}));
        QVERIFY(fx.log().contains("Fehler in Sub/Function: RML_Exp_2_Tabellen\r\n"));
        QVERIFY(fx.log().contains("Ortungs-Nummer/BetrNr:  7\r\n"));
    }
};

QTEST_MAIN(TestExportBody)
#include "tst_exportbody.moc"
