// The export driver: header, file names, the two modes, the processing
// status, the status line, ESC and the endings.

#include "tst_exportfixture.h"

#include <QLocale>

class TestExportDriver : public QObject
{
    Q_OBJECT
    ExportFixture fx;

    QString lastStatus() const
    {
        const QStringList s = fx.events.filter(QRegularExpression("^status:"));
        return s.value(s.size() - 1).mid(7);
    }
    QStringList statuses() const
    {
        return fx.values("SELECT [bearb-status] FROM betrieb ORDER BY [betr-nr], [betr-hist-nr]");
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }
    void init() { fx.setUp(); }
    void cleanup() { fx.tearDown(); }

    void headerAndFrame()
    {
        fx.business("100", "1");
        fx.business("101", "1");
        exchange::ExportHeader h = ExportFixture::header();
        h.text[4].clear(); // ersteller
        h.text[8] = QStringLiteral("1.7.2026");
        h.text[10] = QStringLiteral("not written");
        RML_Exp_1(QString(), h);

        const QString name = kStamp + ".rml";
        QCOMPARE(fx.datFiles(), QStringList{name});
        // The frame, the code page and the rest of the header are held to
        // the bytes of the files in tst_exchangerepeat; here what the
        // dialog's fields change, and the count the export makes itself.
        const QStringList lines = fx.lines(name);
        QCOMPARE(lines.value(7), QStringLiteral("<ersteller></ersteller>"));
        QCOMPARE(lines.mid(11, 3), (QStringList{"<berichts-zeitraum-von>20260701</berichts-zeitraum-von>",
                                                "<berichts-zeitraum-bis>20261208</berichts-zeitraum-bis>",
                                                "<zahl-betriebe-gesamt>2</zahl-betriebe-gesamt>"}));
        QCOMPARE(lines.count("<betrieb>"), 2);
        QVERIFY(!lines.join("").contains("not written"));
        QCOMPARE(fx.lastBox(), "Die Datei '" + name + "' wurde im Verzeichnis '" + G().Verz_Dat + "' erstellt!");
        QCOMPARE(platform::MessageService::recorded().back().title, QStringLiteral("Text-Export!"));
        QCOMPARE(fx.events.filter("mark:"),
                 (QStringList{"mark:menue_export_textdatei=1", "mark:menue_export_textdatei=0"}));
        QCOMPARE(lastStatus(), QStringLiteral("Auswahl von Gewerbedaten!"));
        QCOMPARE(fx.events.filter("busy:").last(), QStringLiteral("busy:0"));
        // RS_betrieb stays on the rows the export read: the business list's
        // empty-list message asks it whether there are any.
        QVERIFY(G().RS_betrieb->isOpen());
        QCOMPARE(G().RS_betrieb->recordCount(), 2L);
    }

    void headerDate_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("dialog form") << "08.12.2026" << "20261208";
        QTest::newRow("one-digit day and month") << "1.2.2026" << "20260201";
        QTest::newRow("two-digit year") << "01.02.26" << "20260201";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("no such day") << "31.02.2026" << "";
        QTest::newRow("not a date") << "gestern" << "";
    }
    void headerDate()
    {
        QFETCH(QString, typed);
        QTEST(exchange::headerDate(typed), "written");
    }

    void keyMode()
    {
        fx.business("100", "1", {{"schluesselfeld", "B2"}});
        fx.business("101", "1", {{"schluesselfeld", "A1"}});
        fx.business("102", "1", {{"schluesselfeld", "B2"}});
        fx.business("103", "1", {{"schluesselfeld", ""}});
        fx.business("104", "1");
        fx.exportAll(exchange::kSchluesselfeld);
        const QString a = "A1_" + kStamp + ".rml", b = "B2_" + kStamp + ".rml";
        QCOMPARE(fx.datFiles(), (QStringList{a, b}));
        QCOMPARE(fx.blocks(a).filter("<betr-nr>"), QStringList{"<betr-nr>101</betr-nr>"});
        QCOMPARE(fx.blocks(b).filter("<betr-nr>"), (QStringList{"<betr-nr>100</betr-nr>", "<betr-nr>102</betr-nr>"}));
        QCOMPARE(fx.boxes(), (QStringList{"Die Datei '" + a + "' wurde im Verzeichnis '" + G().Verz_Dat + "' erstellt!",
                                          "Die Datei '" + b + "' wurde im Verzeichnis '" + G().Verz_Dat + "' erstellt!"}));

        // Rows without a key go out only with all rows.
        fx.exportAll();
        QCOMPARE(fx.blocks(kStamp + ".rml").count("<betrieb>"), 5);
    }

    void nothingToExport_data()
    {
        QTest::addColumn<bool>("withRow");
        QTest::addColumn<QVariant>("art");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("title");
        QTest::newRow("no rows") << false << QVariant(QString())
                                 << "Es wurden keine Daten in der Betriebsdatenbank gefunden!" << "Text-Export!";
        QTest::newRow("per key, no keys") << true << QVariant(exchange::kSchluesselfeld)
                                          << "In der Datenbank wurden keine Schlüsselnummern gefunden!"
                                          << "PLOXA_4x_Access";
    }
    void nothingToExport()
    {
        QFETCH(bool, withRow);
        QFETCH(QVariant, art);
        if (withRow)
            fx.business("100", "1", {{"schluesselfeld", ""}});
        fx.exportAll(art);
        QCOMPARE(fx.datFiles(), QStringList());
        QCOMPARE(platform::MessageService::recorded().size(), size_t(1));
        const platform::MessageRecord &r = platform::MessageService::recorded().front();
        QTEST(r.text, "box");
        QTEST(r.title, "title");
        QCOMPARE(fx.events.filter("mark:").last(), QStringLiteral("mark:menue_export_textdatei=0"));
        QCOMPARE(lastStatus(), withRow ? QString() : QStringLiteral("Auswahl von Gewerbedaten!"));
    }

    void keysAsFileNames_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("path separators and colon")
            << QStringList{"a/b", "c\\d:e"} << QStringList{"a_b_" + kStamp + ".rml", "c_d_e_" + kStamp + ".rml"};
        QTest::newRow("wildcards, quotes, control characters")
            << QStringList{"x*?\"<>|\ty"} << QStringList{"x_______y_" + kStamp + ".rml"};
        QTest::newRow("blanks at the ends go") << QStringList{" k1 "} << QStringList{"k1_" + kStamp + ".rml"};
        QTest::newRow("apostrophe") << QStringList{"O'K"} << QStringList{"O'K_" + kStamp + ".rml"};
        // A leading dot would hide the file.
        QTest::newRow("leading dots") << QStringList{"../x", " .k.2"}
                                      << QStringList{"___x_" + kStamp + ".rml", "_k.2_" + kStamp + ".rml"};
        QTest::newRow("keys that meet in one name keep apart")
            << QStringList{"A/1", "A:1"} << QStringList{"A_1_" + kStamp + ".rml", "A_1_" + kStamp + "_2.rml"};
    }
    void keysAsFileNames()
    {
        QFETCH(QStringList, keys);
        QFETCH(QStringList, files);
        for (int i = 0; i < keys.size(); ++i)
            fx.business(QString::number(100 + i), "1", {{"schluesselfeld", keys.at(i)}});
        fx.exportAll(exchange::kSchluesselfeld);
        QCOMPARE(fx.datFiles(), files);
        for (const QString &f : files)
            QCOMPARE(fx.blocks(f).count("<betrieb>"), 1);
        QCOMPARE(fx.log(), QString());
    }

    void sameSecondReplaces()
    {
        fx.business("100", "1", {{"b-eintr-name", "alt"}});
        fx.exportAll();
        G().Datenbank_Daten->execute("UPDATE betrieb SET [b-eintr-name] = 'neu'");
        fx.exportAll();
        QCOMPARE(fx.datFiles(), QStringList{kStamp + ".rml"});
        QCOMPARE(fx.blocks(kStamp + ".rml").filter("<b-eintr-name>"), QStringList{"<b-eintr-name>neu</b-eintr-name>"});
    }

    void processingStatus_data()
    {
        QTest::addColumn<QStringList>("ends");
        QTest::addColumn<QStringList>("status");
        QTest::newRow("active") << QStringList{"", "", ""} << QStringList{"H", "H", "A"};
        QTest::newRow("ended") << QStringList{"", "", "01.01.2025"} << QStringList{"H", "H", "E"};
        QTest::newRow("blank end counts as none") << QStringList{"01.01.2020", "", "   "} << QStringList{"H", "H", "A"};
        QTest::newRow("missing end") << QStringList{"<Null>", "<Null>", "<Null>"} << QStringList{"H", "H", "A"};
    }
    void processingStatus()
    {
        QFETCH(QStringList, ends);
        for (int i = 0; i < 3; ++i)
            fx.business("100", QString::number(i + 1),
                        {{"betr-ende", ends.at(i) == "<Null>" ? QVariant() : QVariant(ends.at(i))}, {"bearb-status", "X"}});
        fx.business("200", "1", {{"betr-ende", "02.02.2022"}});
        fx.exportAll();
        QTEST(statuses().mid(0, 3), "status");
        QCOMPARE(statuses().value(3), QStringLiteral("E"));
    }

    void statusPerKeyFile()
    {
        // History rows under two keys: each key's file has its own last row.
        fx.business("100", "1", {{"schluesselfeld", "A"}});
        fx.business("100", "2", {{"schluesselfeld", "A"}});
        fx.business("100", "3", {{"schluesselfeld", "B"}, {"betr-ende", "01.01.2025"}});
        fx.exportAll(exchange::kSchluesselfeld);
        QCOMPARE(statuses(), (QStringList{"H", "A", "E"}));
    }

    // Numbers and keys beyond ASCII and in both letter cases: each file holds
    // its rows once each, in the German order (umlauts with their letters,
    // case ignored), and the status compares numbers letter for letter.
    void selectionBeyondAscii_data()
    {
        QTest::addColumn<QVariant>("art");
        QTest::addColumn<QStringList>("files"); // per file: betr-nr/betr-hist-nr/bearb-status of its blocks
        QTest::newRow("all rows") << QVariant(QString())
                                  << QStringList{"ä0/1/A a1/1/A A1/2/A Ä1/1/A a2/1/H a2/2/E b1/1/A"};
        QTest::newRow("per key") << QVariant(exchange::kSchluesselfeld)
                                 << QStringList{"A1/2/A Ä1/1/A a2/1/H a2/2/E", "ä0/1/A a1/1/A b1/1/A"};
    }
    void selectionBeyondAscii()
    {
        QFETCH(QVariant, art);
        QFETCH(QStringList, files);
        fx.business("b1", "1", {{"schluesselfeld", "K1"}});
        fx.business("Ä1", "1", {{"schluesselfeld", "kä"}});
        fx.business("a1", "1", {{"schluesselfeld", "k1"}});
        fx.business("A1", "2", {{"schluesselfeld", "KÄ"}});
        fx.business("ä0", "1", {{"schluesselfeld", "K1"}});
        fx.business("a2", "2", {{"schluesselfeld", "kä"}, {"betr-ende", "01.01.2025"}});
        fx.business("a2", "1", {{"schluesselfeld", "KÄ"}});
        fx.exportAll(art);
        QStringList written;
        for (const QString &name : fx.datFiles()) {
            QStringList blocks;
            QString nr, hist;
            for (const QString &l : fx.blocks(name)) {
                if (l.startsWith("<betr-nr>"))
                    nr = l.section('>', 1).section('<', 0, 0);
                else if (l.startsWith("<betr-hist-nr>"))
                    hist = l.section('>', 1).section('<', 0, 0);
                else if (l.startsWith("<bearb-status>"))
                    blocks << nr + '/' + hist + '/' + l.section('>', 1).section('<', 0, 0);
            }
            written << blocks.join(' ');
        }
        written.sort();
        QCOMPARE(written, files);
        QCOMPARE(fx.log(), QString());
    }

    void statusLine()
    {
        for (int i = 0; i < 120; ++i)
            fx.business(QString::number(1000 + i), "1");
        fx.exportAll();
        QVERIFY(fx.events.contains("max:120"));
        const QStringList lines = fx.events.filter("status:Übertrage");
        QCOMPARE(lines.first(), QStringLiteral("status:Übertrage Satz    1 von  120 (ESC = Abbrechen)"));
        QCOMPARE(lines.last(), QStringLiteral("status:Übertrage Satz  120 von  120 (ESC = Abbrechen)"));
        QCOMPARE(fx.events.filter("value:").last(), QStringLiteral("value:120"));
        // The window system gets its turn once per business.
        QCOMPARE(fx.turns, 120);
    }

    void escape_data()
    {
        QTest::addColumn<QVariant>("art");
        QTest::addColumn<int>("turn");
        QTest::newRow("all rows") << QVariant(QString()) << 3;
        QTest::newRow("per key") << QVariant(exchange::kSchluesselfeld) << 3;
        // A key pressed before the start is forgotten.
        QTest::newRow("before the export") << QVariant(QString()) << 0;
    }
    void escape()
    {
        QFETCH(QVariant, art);
        QFETCH(int, turn);
        for (int i = 0; i < 5; ++i)
            fx.business(QString::number(100 + i), "1", {{"schluesselfeld", "A"}});
        fx.business("200", "1", {{"schluesselfeld", "B"}});
        if (turn == 0)
            G().Letzte_Taste = 27;
        fx.onTurn = [turn](int t) {
            if (t == turn)
                G().Letzte_Taste = 27;
        };
        fx.exportAll(art);
        const QString name = (art.toString().isEmpty() ? QString() : QStringLiteral("A_")) + kStamp + ".rml";
        QCOMPARE(fx.datFiles(), QStringList{name});
        const QStringList lines = fx.lines(name);
        QCOMPARE(lines.count("<betrieb>"), turn == 0 ? 6 : 2);
        QCOMPARE(lines.contains("</datenblock>"), turn == 0);
        QCOMPARE(G().Letzte_Taste, qint16(0));
        if (turn == 0)
            return;
        QCOMPARE(lines.last(), QStringLiteral("</betrieb>"));
        QCOMPARE(fx.boxes(), QStringList{"Der Vorgang wurde abgebrochen!"});
        QCOMPARE(platform::MessageService::recorded().back().title, QStringLiteral("Text-Export!"));
        QCOMPARE(fx.events.filter("value:").last(), QStringLiteral("value:0"));
        QCOMPARE(fx.events.filter("mark:").last(), QStringLiteral("mark:menue_export_textdatei=0"));
        QCOMPARE(lastStatus(), QStringLiteral("Auswahl von Gewerbedaten!"));
    }

    void errorInTheLoopLeavesNoHalfFile()
    {
        for (int i = 0; i < 4; ++i)
            fx.business(QString::number(100 + i), "1", {{"schluesselfeld", i < 2 ? "A" : "B"}});
        fx.onTurn = [](int turn) {
            // The second key's file: the database goes away under the export.
            if (turn == 4)
                G().Datenbank_Daten->close();
        };
        fx.exportAll(exchange::kSchluesselfeld);
        // The first key's file is whole and reported; the second is not left behind.
        QCOMPARE(QDir(G().Verz_Dat).entryList(QDir::Files), QStringList{"A_" + kStamp + ".rml"});
        QVERIFY(fx.lines("A_" + kStamp + ".rml").contains("</gewerbedatei>"));
        QVERIFY(fx.log().contains("Fehler in Sub/Function: RML_Exp_1\r\n"));
        QCOMPARE(fx.boxes().size(), 2);
        QVERIFY(fx.lastBox().startsWith("Der Export wurde wegen eines Fehlers abgebrochen!"));
        QCOMPARE(fx.events.filter("mark:").last(), QStringLiteral("mark:menue_export_textdatei=0"));
    }
};

QTEST_MAIN(TestExportDriver)
#include "tst_exportdriver.moc"
