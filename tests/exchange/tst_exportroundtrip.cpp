// What the export writes, the import reads back: a database exported,
// emptied and filled again from the file holds the same rows.

#include "tst_exportfixture.h"

#include <QLocale>

class TestExportRoundTrip : public QObject
{
    Q_OBJECT
    ExportFixture fx;

    // Businesses with every kind of row, as an import would have stored them
    // (the link rows' sort numbers, represented persons and empty dates included).
    void fill(const QStringList &histories)
    {
        for (const QString &h : histories) {
            fx.business("100", h, {{"b-eintr-name", "Müller & Söhne GmbH"}, {"b-rechtsform", "GMBH"},
                                   {"anzeige-datum", "01.0" + h + ".2020"}, {"betr-ende", h == histories.last() ? QVariant() : QVariant("31.12.2021")},
                                   {"b-bemerkung", "Hinweis: 'Zeile' \"zwei\""}, {"schluesselfeld", "K1"}});
            fx.row("betrieb_adresse", {{"betr-nr", "100"}, {"betr-hist-nr", h}, {"b-adr-art", "1"}, {"b-strasse", "Hauptstraße"},
                                       {"b-hausnr-von", "7a"}, {"b-plz", "24103"}, {"b-ort", "Kiel"}});
            fx.row("betrieb_adresse", {{"betr-nr", "100"}, {"betr-hist-nr", h}, {"b-adr-art", "3"}, {"b-email", "info@mueller.de"}});
            fx.row("betrieb_taetigkeit", {{"betr-nr", "100"}, {"betr-hist-nr", h}, {"tk-schl", "10.71"}, {"tk-schwerp", "1"},
                                          {"tk-beginn", "unbekannt"}, {"tk-ende", "unbegrenzt"}, {"tk_hwk_id", "H-1"}});
            fx.row("betrieb_erlaubnis", {{"betr-nr", "100"}, {"betr-hist-nr", h}, {"b-erl-datum", "15.03.2019"}, {"b-erl-art", "§ 34c"}});
            fx.row("betrieb_handwerkskarte", {{"betr-nr", "100"}, {"betr-hist-nr", h}, {"b-hwk-schl", "0815"}, {"b-hwk-datum", "02.02.2002"}});
            fx.row("betrieb_meldgrundsonst", {{"betr-nr", "100"}, {"betr-hist-nr", h}, {"meld-grund-sonst-text", "Übernahme"}});
            fx.row("beziehung_betrieb_person", {{"bez-betr-nr", "100"}, {"bez-betr-hist-nr", h}, {"bez-pers-nr", "J1"},
                                                {"bez-sort-nr", "1"}, {"p-funktion", "1"}, {"p-eintr-datum", "01.01.2019"},
                                                {"p-austr-datum", ""}});
            fx.row("beziehung_betrieb_person", {{"bez-betr-nr", "100"}, {"bez-betr-hist-nr", h}, {"bez-pers-nr", "N1"},
                                                {"bez-sort-nr", "2"}, {"p-funktion", "3"}, {"p-eintr-datum", ""}, {"p-austr-datum", "unbekannt"},
                                                {"pers-nr-jp", "J1"}});
        }
        fx.row("person", {{"pers-nr", "J1"}, {"p-art", "JP"}, {"p-eintr-name", "Müller Holding AG"}, {"p-reg-datum", "03.04.2005"}});
        fx.row("person", {{"pers-nr", "N1"}, {"p-art", "NP"}, {"fam-name", "Müller"}, {"vornamen", "Jürgen"},
                          {"geb-datum", "09.10.1960"}, {"p-bemerkung", "0815"}});
        fx.row("person_staatsang", {{"pers-nr", "N1"}, {"staat-text", "deutsch"}, {"staat-schl", "000"}});
        fx.row("person_staatsang", {{"pers-nr", "N1"}, {"staat-text", "dänisch"}, {"staat-schl", "126"}});
        fx.row("person_erlaubnis", {{"pers-nr", "N1"}, {"betr-nr", "100"}, {"p-erl-datum", "05.05.2015"}, {"p-erl-art", "Makler"}});
        fx.row("person_handwerkskarte", {{"pers-nr", "N1"}, {"betr-nr", "100"}, {"p-hwk-schl", "B1"}, {"p-hwk-datum", "unbekannt"}});

        // A sole trader: one natural person, linked to nobody.
        fx.business("200", "1", {{"gem-kz", "01002000"}, {"b-eintr-name", "Kiosk Ærø"}, {"schluesselfeld", "K2"}});
        fx.row("betrieb_adresse", {{"betr-nr", "200"}, {"betr-hist-nr", "1"}, {"b-adr-art", "1"}, {"b-ort", "Flensburg"}});
        fx.row("person", {{"pers-nr", "N2"}, {"p-art", "NP"}, {"fam-name", "Jensen"}});
        fx.row("beziehung_betrieb_person", {{"bez-betr-nr", "200"}, {"bez-betr-hist-nr", "1"}, {"bez-pers-nr", "N2"},
                                            {"bez-sort-nr", "1"}, {"p-funktion", "4"}, {"p-eintr-datum", ""},
                                            {"p-austr-datum", ""}, {"pers-nr-jp", ""}});
        // A business with nothing under it.
        fx.business("300", "1", {{"b-eintr-name", "Leer"}, {"schluesselfeld", "K2"}});
    }

    void reimport(const QStringList &files)
    {
        fx.emptyWorkTables();
        for (const QString &name : files)
            Upd_1_Start(fx.dat(name));
        QCOMPARE(fx.log(), QString());
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }
    void init() { fx.setUp(); }
    void cleanup() { fx.tearDown(); }

    void roundTrip_data()
    {
        QTest::addColumn<bool>("report");
        QTest::addColumn<QStringList>("histories");
        QTest::addColumn<QVariant>("art");
        QTest::newRow("business-related, all rows") << false << QStringList{"1"} << QVariant(QString());
        QTest::newRow("business-related, per key") << false << QStringList{"1"} << QVariant(exchange::kSchluesselfeld);
        QTest::newRow("report-related with history rows") << true << QStringList{"1", "2", "3"} << QVariant(QString());
        QTest::newRow("report-related per key") << true << QStringList{"1", "2"} << QVariant(exchange::kSchluesselfeld);
    }
    void roundTrip()
    {
        QFETCH(bool, report);
        QFETCH(QStringList, histories);
        QFETCH(QVariant, art);
        if (report)
            fx.useReportDatabase();
        fill(histories);
        RML_Exp_1(art, ExportFixture::header(report ? "MELDUNGSBEZOGEN" : "BETRIEBSBEZOGEN"));
        const QStringList files = fx.datFiles();
        QCOMPARE(files.size(), art.toString().isEmpty() ? 1 : 2);
        // The status pass has written; the file carries what is stored now.
        const QMap<QString, QStringList> before = fx.snapshot();
        QCOMPARE(before.value("betrieb").size(), histories.size() + 2);

        reimport(files);
        QCOMPARE(G().Datenart_aktuell.toString(), QString(report ? "MELDUNGSBEZOGEN" : "BETRIEBSBEZOGEN"));
        fx.compareSnapshot(before);
    }

    void cancelledFileReadsBack()
    {
        fill({"1"});
        fx.onTurn = [](int turn) {
            if (turn == 3)
                G().Letzte_Taste = 27;
        };
        fx.exportAll();
        fx.onTurn = {};
        const QMap<QString, QStringList> before = fx.snapshot();
        reimport(fx.datFiles());
        // The two businesses before ESC come back whole; the third is not there.
        QCOMPARE(fx.values("SELECT [betr-nr] FROM betrieb ORDER BY [betr-nr]"), (QStringList{"100", "200"}));
        fx.compareSnapshot(before, {"person", "beziehung_betrieb_person"});
        QCOMPARE(fx.count("betrieb_adresse"), before.value("betrieb_adresse").size());
    }

    void cleanedValuesReadBackCleaned()
    {
        fx.business("100", "1", {{"b-eintr-name", " ;a<b>c; "}, {"b-bemerkung", "eins\r\nzwei"}, {"b-gew-zusatz", ";"}});
        fx.row("betrieb_adresse", {{"betr-nr", "100"}, {"betr-hist-nr", "1"}, {"b-adr-art", "7"}, {"b-ort", "Irgendwo"}});
        fx.exportAll();
        reimport(fx.datFiles());
        QCOMPARE(fx.values("SELECT [b-eintr-name] FROM betrieb"), QStringList{"a b c"});
        QCOMPARE(fx.values("SELECT [b-bemerkung] FROM betrieb"), QStringList{"eins  zwei"});
        // An element with nothing in it stores nothing.
        QCOMPARE(fx.values("SELECT [b-gew-zusatz] FROM betrieb"), QStringList{"<Null>"});
        // Only an address of another kind: the import gives the business its location row.
        QCOMPARE(fx.values("SELECT [b-adr-art] FROM betrieb_adresse"), QStringList{"1"});
        QCOMPARE(fx.values("SELECT [b-ort] FROM betrieb_adresse"), QStringList{"<Null>"});
    }
};

QTEST_MAIN(TestExportRoundTrip)
#include "tst_exportroundtrip.moc"
