// The import driver and the menu entry: pieces, header checks, kind switch,
// progress, ESC, compaction and every ending.

#include "../engine/PlainSqlite.h"
#include "DamagedIndex.h"
#include "DatabaseHolder.h"
#include "ImportFixture.h"

#include "platform/FileDialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <unistd.h>

using fixture::PlainSqlite;

namespace {

// Three businesses that fill every working table between them, in CR LF
// lines with blank lines (one holding blanks) between the businesses. Kept
// short: a read in pieces of one character compacts before every tenth piece.
QString everyTable()
{
    QStringList person{"<person>", element("p-funktion", "2"), element("pers-nr", "N1"), element("p-art", "NP")};
    person << item("staatsangehoerigkeit", {element("staat-text", "dänisch"), element("staat-schl", "126")})
           << item("p-erlaubnis", {element("p-erl-art", "M")}) << item("p-handwerkskarte", {element("p-hwk-art", "H")})
           << "</person>";
    QStringList first{element("b-eintr-name", "Bäcker")};
    first << item("meld-grund-sonst", {element("meld-grund-sonst-text", "U")})
          << item("adresse art=\"1\"", {element("b-adr-art", "1"), element("b-ort", "Kiel")})
          << item("taetigkeit", {element("tk-beginn", "20190301")})
          << item("b-handwerkskarte", {element("b-hwk-art", "B")}) << item("b-erlaubnis", {element("b-erl-art", "E")})
          << person;
    TransferText t;
    t.businesses = {business("1", "1", first), business("2", "1", {"<adressen>", "</adressen>"}),
                    business("3", "1", {element("b-eintr-name", "Müller")})};
    QString text = t.text();
    const QString border = QStringLiteral("</betrieb>\n<betrieb>");
    text.replace(text.indexOf(border), border.size(), QStringLiteral("</betrieb>\n\n<betrieb>"));
    text.replace(text.indexOf(border), border.size(), QStringLiteral("</betrieb>\n   \n\n<betrieb>"));
    return text;
}

// Businesses 1000, 1001, ... each named by its tag, which its addresses, its
// activity and its one person carry too; a business tagged "Neu" has two
// addresses where any other has one. A remark of filler characters makes
// each take that much more room.
QStringList tagged(int count, const QString &tag, int filler = 0)
{
    QStringList out;
    for (int i = 0; i < count; ++i) {
        const QString nr = QString::number(1000 + i);
        QStringList body{element("b-eintr-name", tag)};
        if (filler > 0)
            body << element("b-bemerkung", QString(filler, QLatin1Char('x')));
        QStringList addresses = item("adresse art=\"1\"", {element("b-adr-art", "1"), element("b-ort", tag)});
        if (tag == QLatin1String("Neu"))
            addresses += item("adresse art=\"2\"", {element("b-adr-art", "2"), element("b-ort", tag)});
        body << item("adressen", addresses) << item("taetigkeiten", item("taetigkeit", {element("tk-schl", tag)}))
             << item("personen", item("person", {element("p-funktion", "1"), element("pers-nr", "P" + nr),
                                                 element("p-art", "NP"), element("fam-name", tag)}));
        out << business(nr, "0", body);
    }
    return out;
}

QString transferText(const QStringList &businesses)
{
    TransferText t;
    t.businesses = businesses;
    return t.text();
}

// The stored businesses of tagged(), as number and tag, read as any SQLite
// tool reads the file. A business whose rows do not all belong to one of its
// versions (a betrieb row twice, addresses of the other version or none, a
// person missing) shows all it holds instead of its tag.
QStringList businessStates()
{
    PlainSqlite plain(G().Datei_DB_Daten);
    QStringList out;
    const QStringList rows = plain.rows(
        "SELECT b.[betr-nr], count(*), group_concat(b.[b-eintr-name]), "
        "(SELECT group_concat([b-ort]) FROM betrieb_adresse a WHERE a.[betr-nr] = b.[betr-nr]), "
        "(SELECT group_concat([tk-schl]) FROM betrieb_taetigkeit t WHERE t.[betr-nr] = b.[betr-nr]), "
        "(SELECT group_concat(p.[fam-name]) FROM beziehung_betrieb_person z JOIN person p "
        "ON p.[pers-nr] = z.[bez-pers-nr] WHERE z.[bez-betr-nr] = b.[betr-nr]), "
        "(SELECT count(*) FROM person p WHERE p.[pers-nr] = 'P' || b.[betr-nr]) "
        "FROM betrieb b WHERE b.[betr-nr] LIKE '1%' GROUP BY b.[betr-nr] ORDER BY b.[betr-nr]");
    for (const QString &row : rows) {
        const QStringList c = row.split(QLatin1Char('|'));
        const QString tag = c.value(2);
        const QString addresses = tag == "Neu" ? "Neu,Neu" : tag;
        const QString whole = QStringList{c.value(0), "1", tag, addresses, tag, tag, "1"}.join('|');
        out << c.value(0) + ':' + (row == whole ? tag : "mixed " + row);
    }
    return out;
}

// The numbers of the businesses in the given state.
QStringList withState(const QStringList &states, const QString &tag)
{
    QStringList out;
    for (const QString &s : states)
        if (s.section(':', 1) == tag)
            out << s.section(':', 0, 0);
    return out;
}

QStringList numbers(int from, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QString::number(from + i);
    return out;
}

const char *const kTables[] = {"betrieb", "betrieb_adresse", "beziehung_betrieb_person", "person", "person_staatsang"};

} // namespace

class TestImportDriver : public QObject
{
    Q_OBJECT
    ImportFixture fx;
    QMap<QString, QStringList> m_whole; // the tables after reading everyTable() in one piece

    QStringList counts() const
    {
        QStringList out;
        for (const char *t : kTables)
            out << QString::number(fx.count(QString::fromLatin1(t)));
        return out;
    }

    // Imports in pieces, the first ending inside the first business: the
    // header is examined once per import all the same.
    void importSplit(const TransferText &t)
    {
        QString text = t.text();
        exchange::setPieceSize(text.replace("\n", "\r\n").indexOf("<betrieb>") + 20);
        fx.import(t.text());
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        // Another program's lock is waited for briefly here.
        engine::setLockWait(250);
    }
    void init() { fx.setUp(); }
    void cleanup() { fx.tearDown(); }

    void lineEndsAndPieces_data()
    {
        QTest::addColumn<bool>("lf");
        QTest::addColumn<bool>("blankLines");
        QTest::addColumn<int>("piece");
        QTest::newRow("CR LF") << false << false << 0;
        QTest::newRow("LF") << true << false << 0;
        QTest::newRow("LF with blank lines") << true << true << 0;
        // A quoted path, as the command line hands it over, is read without its quotes.
        QTest::newRow("quoted path") << false << false << -1;
        QTest::newRow("LF, pieces of 64") << true << false << 64;
    }
    void lineEndsAndPieces()
    {
        QFETCH(bool, lf);
        QFETCH(bool, blankLines);
        QFETCH(int, piece);
        if (piece > 0)
            exchange::setPieceSize(piece);
        QString text = TransferText().text();
        if (blankLines)
            text.replace(QStringLiteral("</b-ort>\n"), QStringLiteral("</b-ort>\n\n   \n"));
        if (piece < 0)
            Upd_1_Start('"' + fx.writeFile("quoted.rml", text) + '"');
        else
            fx.import(text, lf);
        QCOMPARE(counts(), (QStringList{"3", "3", "3", "3", "3"}));
        QCOMPARE(fx.values("SELECT [b-eintr-name] FROM betrieb ORDER BY [betr-nr]"),
                 (QStringList{"Gärtnerei 100", "Gärtnerei 101", "Gärtnerei 102"}));
        QCOMPARE(fx.lastBox(), QStringLiteral("Die Daten wurden übertragen!"));
        QCOMPARE(fx.log(), QString());
    }

    // Wherever a piece border falls, inside a "<betrieb>" tag or among the
    // blank lines between businesses, every table ends up holding what a
    // read of the whole file in one piece gives.
    void pieceBordersAnywhere_data()
    {
        QTest::addColumn<qint64>("piece");
        for (int size = 1; size <= 12; ++size)
            QTest::addRow("pieces of %d", size) << qint64(size);
        QTest::newRow("pieces of 64") << qint64(64);
        QTest::newRow("the program's pieces") << exchange::kPieceSize;
        // The first piece holds the first business whole and ends inside the
        // start tag of the second, after the blank line.
        QString text = everyTable();
        text.replace('\n', QStringLiteral("\r\n"));
        const qsizetype second = text.indexOf("<betrieb>", text.indexOf("</betrieb>"));
        for (int k = 1; k < 9; ++k)
            QTest::addRow("border %d characters into the second <betrieb>", k) << qint64(second + k);
    }
    void pieceBordersAnywhere()
    {
        QFETCH(qint64, piece);
        const QString text = everyTable();
        if (m_whole.isEmpty()) {
            exchange::setPieceSize(text.size() + text.count('\n')); // CR LF: the whole file
            fx.import(text);
            const QMap<QString, QStringList> whole = fx.snapshot();
            for (const QString &table : ImportFixture::workTables())
                QVERIFY2(!whole.value(table).isEmpty(), qPrintable(table));
            QCOMPARE(fx.values("SELECT [betr-nr] FROM betrieb ORDER BY [betr-nr]"), (QStringList{"1", "2", "3"}));
            QCOMPARE(fx.log(), QString());
            m_whole = whole;
            fx.tearDown();
            fx.setUp();
        }
        exchange::setPieceSize(piece);
        fx.import(text);
        fx.compareSnapshot(m_whole);
        QCOMPARE(fx.boxes().size(), 2); // confirmation and final message
        QCOMPARE(fx.lastBox(), QStringLiteral("Die Daten wurden übertragen!"));
        QCOMPARE(fx.log(), QString());
    }

    void historyRowsByKind_data()
    {
        QTest::addColumn<QString>("struktur");
        QTest::addColumn<QStringList>("hist");
        QTest::newRow("business-related: all history rows go") << "BETRIEBSBEZOGEN" << QStringList{"2"};
        QTest::newRow("report-related: only the same history number") << "MELDUNGSBEZOGEN" << QStringList{"1", "2"};
        QTest::newRow("kind in lower case follows the database") << " betriebsbezogen" << QStringList{"2"};
    }
    void historyRowsByKind()
    {
        QFETCH(QString, struktur);
        QFETCH(QStringList, hist);
        TransferText t;
        t.struktur = struktur;
        t.businesses = {business("9", "1", QStringList{element("b-eintr-name", "A")} +
                                               item("taetigkeiten", item("taetigkeit", {element("tk-schl", "1")})))};
        fx.import(t.text());
        t.businesses = {business("9", "2", {element("b-eintr-name", "B")})};
        fx.import(t.text());
        QCOMPARE(fx.values("SELECT [betr-hist-nr] FROM betrieb ORDER BY [betr-hist-nr]"), hist);
        QCOMPARE(fx.count("betrieb_taetigkeit"), hist.size() - 1);
    }

    void kindSwitch_data()
    {
        QTest::addColumn<bool>("withStruktur");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("kindInQuestion");
        QTest::newRow("Yes") << true << int(platform::vbYes) << "MELDUNGSBEZOGEN";
        QTest::newRow("No") << true << int(platform::vbNo) << "MELDUNGSBEZOGEN";
        QTest::newRow("no kind in the file, Yes") << false << int(platform::vbYes) << "";
    }
    void kindSwitch()
    {
        QFETCH(bool, withStruktur);
        QFETCH(int, answer);
        QFETCH(QString, kindInQuestion);
        fx.answer = [answer](const platform::MessageRecord &r) {
            return r.text.contains("Daten-Art wechseln") ? answer : platform::vbYes;
        };
        TransferText t;
        t.struktur = QStringLiteral("MELDUNGSBEZOGEN");
        t.withStruktur = withStruktur;
        importSplit(t);
        const QStringList questions = fx.boxes().filter("Daten-Art wechseln");
        QCOMPARE(questions.size(), 1);
        QVERIFY(questions[0].startsWith("Sie wollen Daten der Datei-Art ''" + kindInQuestion +
            "''in die Datenbank schreiben.\n"
            "Die derzeitige Datenbank ist aber für die Daten-Art''BETRIEBSBEZOGEN'' definiert"));
        Declare &g = G();
        if (answer == platform::vbNo) {
            QCOMPARE(fx.lastBox(), QStringLiteral("Der Vorgang wurde abgebrochen!"));
            QCOMPARE(g.Datenart_aktuell.toString(), QStringLiteral("BETRIEBSBEZOGEN"));
            QCOMPARE(fx.count("betrieb"), 0);
            return;
        }
        QCOMPARE(g.Datenart_aktuell.toString(), QStringLiteral("MELDUNGSBEZOGEN"));
        QVERIFY(g.Datenbank_Daten->path().endsWith("px_4x_m.mdb"));
        QVERIFY(fx.events.contains("caption:PLOXA_4x_Access (meldungsbezogene Daten)"));
        QCOMPARE(fx.count("betrieb"), 3);
        g.RS_Optionen->moveFirst();
        QCOMPARE(g.RS_Optionen->value("datenart").toString(), QStringLiteral("MELDUNGSBEZOGEN"));
        // The same file once more: the database has that kind now.
        platform::MessageService::clearRecorded();
        if (withStruktur) {
            fx.import(t.text());
            QCOMPARE(fx.boxes().filter("Daten-Art wechseln").size(), 0);
            QCOMPARE(fx.count("betrieb"), 3);
        }
    }

    // Only the exact word counts as business-related, also in the database.
    void storedKindInOtherCase()
    {
        fx.setStoredKind("betriebsbezogen");
        Declare &g = G();
        fx.importBusinesses(threeBusinesses());
        QCOMPARE(fx.boxes().filter("für die Daten-Art''MELDUNGSBEZOGEN'' definiert").size(), 1);
        QCOMPARE(g.Datenart_aktuell.toString(), QStringLiteral("BETRIEBSBEZOGEN"));
        QVERIFY(g.Datei_DB_Daten.endsWith("px_4x_b.mdb"));
        QCOMPARE(fx.count("betrieb"), 3);
    }

    void version_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("logCaption");
        const QString tooOld = QStringLiteral("ist nicht kompatibel zum Programm !");
        const QString programTooOld = QStringLiteral("Das Programm ist nicht kompatibel zur Datei");
        QTest::newRow("1.5.1") << true << "1.5.1" << "" << "";
        QTest::newRow("1.5.0") << true << "1.5.0" << tooOld << "''ist nicht kompatibel!";
        QTest::newRow("1.6.0") << true << "1.6.0" << programTooOld << "'' ist nicht kompatibel!";
        QTest::newRow("1.10.0") << true << "1.10.0" << programTooOld << "'' ist nicht kompatibel!";
        QTest::newRow("absent") << false << "" << tooOld << "''ist nicht kompatibel!";
    }
    void version()
    {
        QFETCH(bool, present);
        QFETCH(QString, version);
        QFETCH(QString, warning);
        QFETCH(QString, logCaption);
        TransferText t;
        t.version = version;
        t.withVersion = present;
        importSplit(t);
        QCOMPARE(fx.count("betrieb"), 3);
        if (warning.isEmpty()) {
            QCOMPARE(fx.boxes().size(), 2); // confirmation and final message
            QCOMPARE(fx.log(), QString());
            return;
        }
        QCOMPARE(fx.boxes().filter(warning).size(), 1);
        QVERIFY(fx.log().contains("Die Datei-Version ''" + fx.dat("test.rml") + logCaption));
        // The note raised the log question at the end.
        QCOMPARE(fx.boxes().filter("Wollen Sie die Log-Datei").size(), 1);
        QCOMPARE(G().Fehler_geloggt, qint16(0));
    }

    void esc_data()
    {
        QTest::addColumn<int>("turn");
        QTest::addColumn<int>("imported");
        QTest::addColumn<QString>("box");
        QTest::newRow("during the import") << 2 << 2 << "Der Vorgang wurde abgebrochen!";
        // A key pressed before the start is forgotten.
        QTest::newRow("before the start") << 0 << 3 << "Die Daten wurden übertragen!";
    }
    void esc()
    {
        QFETCH(int, turn);
        if (turn == 0)
            G().Letzte_Taste = 27;
        fx.onTurn = [turn](int t) {
            if (t == turn)
                G().Letzte_Taste = 27;
        };
        fx.importBusinesses(threeBusinesses());
        QTEST(fx.count("betrieb"), "imported");
        QTEST(fx.lastBox(), "box");
        QCOMPARE(G().Letzte_Taste, qint16(0));
        QVERIFY(fx.events.contains("mark:menue_import_datenbank=0"));
        if (turn > 0)
            QCOMPARE(fx.events.filter("status:Datenbankkomprimierung").size(), 1);
    }

    void progressAndStatus_data()
    {
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("lastStatus");
        QTest::addColumn<int>("max");
        QTest::newRow("as written") << "3" << "Verarbeite Datensatz 3 von 3 (ESC = Abbrechen)" << 3;
        QTest::newRow("smaller than the blocks") << "1" << "Verarbeite Datensatz 3 von 1 (ESC = Abbrechen)" << 3;
        QTest::newRow("empty") << "" << "Verarbeite Datensatz 3 von  (ESC = Abbrechen)" << 3;
        QTest::newRow("larger") << "10 Betriebe" << "Verarbeite Datensatz 3 von 10 Betriebe (ESC = Abbrechen)" << 10;
    }
    void progressAndStatus()
    {
        QFETCH(QString, total);
        QFETCH(QString, lastStatus);
        QFETCH(int, max);
        TransferText t;
        t.total = total;
        const QString text = t.text();
        fx.import(text);
        const QMap<QString, QStringList> whole = fx.snapshot();
        fx.tearDown();
        fx.setUp();
        exchange::setPieceSize((text.size() + text.count('\n')) / 25 + 1);
        fx.import(text);
        fx.compareSnapshot(whole);
        QCOMPARE(fx.events.filter("status:Datenbankkomprimierung").size(), 3); // before pieces 1, 10 and 20
        QCOMPARE(fx.lastBox(), QStringLiteral("Die Daten wurden übertragen!"));
        QCOMPARE(fx.events.filter("status:Verarbeite").last(), "status:" + lastStatus);
        QCOMPARE(fx.events.filter("max:").last(), "max:" + QString::number(max));
        QVERIFY(fx.events.contains("value:3"));
        // The tab event writes its header first; the status line then says what the user may do next.
        const qsizetype tab = fx.events.lastIndexOf("tab:0");
        QVERIFY(tab > fx.events.indexOf("startPicture"));
        QCOMPARE(fx.events.mid(tab, 3),
                 (QStringList{"tab:0", "status:Anzeige: Meldedaten", "status:Auswahl von Gewerbedaten!"}));
        QCOMPARE(fx.events.last(), QStringLiteral("mark:menue_import_datenbank=0"));
        QCOMPARE(fx.events.filter("busy:").last(), QStringLiteral("busy:0"));
    }

    void confirmationNo()
    {
        fx.answer = [](const platform::MessageRecord &r) {
            return r.text.contains("Soll der Vorgang gestartet werden?") ? platform::vbNo : platform::vbOK;
        };
        const RS before = G().RS_betrieb;
        fx.importBusinesses(threeBusinesses());
        QVERIFY(fx.boxes().value(0).startsWith("Die Datei ''" + fx.dat("test.rml") + "'' wird eingelesen"));
        QCOMPARE(fx.lastBox(), QStringLiteral("Der Vorgang wurde abgebrochen!"));
        QVERIFY(!fx.events.contains("startPicture"));
        QCOMPARE(fx.count("betrieb"), 0);
        QVERIFY(G().RS_betrieb != before); // reopened
    }

    void noBusinesses()
    {
        fx.importBusinesses({});
        QCOMPARE(fx.boxes().size(), 2);
        QCOMPARE(fx.lastBox(), QStringLiteral("Die Transfer-Datei enthält keine Gewerbedaten!"));
    }

    // An error of the driver itself ends the import at once, but leaves the
    // databases open so that businesses can be shown again.
    void errorPath()
    {
        const RS before = G().RS_betrieb;
        Upd_1_Start(fx.dat("fehlt.rml"));
        QVERIFY(fx.log().contains("Fehler in Sub/Function: Upd_1_Start\r\n"));
        QCOMPARE(fx.logged(53), 1);
        QCOMPARE(fx.events.filter("status:").last(), QStringLiteral("status:ACHTUNG UPDATE-FEHLER!"));
        QVERIFY(!fx.events.contains("mark:menue_import_datenbank=0"));
        QVERIFY(fx.boxes().isEmpty());
        QVERIFY(G().RS_betrieb && G().RS_betrieb != before && G().RS_betrieb->isOpen());
    }

    // A working database that cannot take the businesses ends the import
    // through its error path; it is never reported as imported.
    void brokenWorkingDatabase_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("empty file") << "empty";
        QTest::newRow("database without the tables") << "foreign";
        QTest::newRow("damaged file") << "damaged";
    }
    void brokenWorkingDatabase()
    {
        QFETCH(QString, kind);
        Declare &g = G();
        const QString path = g.Datei_DB_Daten;
        if (kind == "damaged")
            fx.importBusinesses(threeBusinesses());
        DB_Close();
        DB_Unbind_DATA();
        engine::releaseFile(path);
        QFile file(path);
        if (kind == "damaged") // the tables still open, the compaction finds the damage
            damageIndex(path, "ix_betrieb_b_eintr_name");
        else
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.close();
        if (kind == "foreign") {
            auto other = engine::Database::open(path);
            other->execute("CREATE TABLE kunden (nr TEXT)");
            other->close();
            engine::releaseFile(path);
        }
        DB_Load();
        QCOMPARE(bool(g.RS_betrieb && g.RS_betrieb->isOpen()), kind == "damaged");
        platform::MessageService::clearRecorded();
        fx.events.clear();

        fx.importBusinesses(threeBusinesses());

        QVERIFY(!fx.boxes().contains("Die Daten wurden übertragen!"));
        QCOMPARE(fx.events.filter("status:").last(), QStringLiteral("status:ACHTUNG UPDATE-FEHLER!"));
        QCOMPARE(fx.log().count("Fehler in Sub/Function: Upd_1_Start\r\n"), 1);
        // It ends at the compaction before the first piece: no business was tried.
        QCOMPARE(fx.log().count("Fehler in Sub/Function: Upd_"), 1);
    }

    // A second instance that holds the working database open through an
    // import keeps it: the import goes on without compaction, and what the
    // other commits afterwards stays in the file. So does a reader in the
    // middle of a read transaction, as an administrator's shell may be.
    void secondInstanceKeepsItsCommits_data()
    {
        QTest::addColumn<bool>("reading");
        QTest::newRow("file open") << false;
        QTest::newRow("read transaction open") << true;
    }
    void secondInstanceKeepsItsCommits()
    {
        QFETCH(bool, reading);
        const QString path = G().Datei_DB_Daten;
        DatabaseHolder other;
        QCOMPARE(other.open(path), QStringLiteral("open"));
        if (reading) {
            QCOMPARE(other.run("BEGIN"), QStringLiteral("ok"));
            QCOMPARE(other.run("SELECT count(*) FROM betrieb"), QStringLiteral("ok"));
        }
        fx.importBusinesses(threeBusinesses());
        if (reading)
            QCOMPARE(other.run("COMMIT"), QStringLiteral("ok"));
        QCOMPARE(fx.lastBox(), QStringLiteral("Die Daten wurden übertragen!"));
        // Before the first piece; the one at the end has nothing to give back.
        QCOMPARE(fx.log().count("Fehler in Sub/Function: A_Kompress"), 1);
        QCOMPARE(fx.logged(3045), 1);
        QCOMPARE(other.run("INSERT INTO betrieb ([betr-nr], [betr-hist-nr]) VALUES ('2000', '0')"),
                 QStringLiteral("ok"));
        other.close();
        DB_Load();
        QCOMPARE(fx.values("SELECT [betr-nr] FROM betrieb ORDER BY [betr-nr]"),
                 (QStringList{"100", "101", "102", "2000"}));
    }

    // A disk that refuses a write in the middle of a replacing import: the
    // import ends there through its error path, the batch that SQLite took
    // back leaves its businesses as they were, and the full disk is logged
    // once, as the compaction reports it.
    void fullDiskEndsTheImport()
    {
        fx.importBusinesses(tagged(200, "Alt"));
        QCOMPARE(withState(businessStates(), "Alt"), numbers(1000, 200));
        platform::MessageService::clearRecorded();
        fx.events.clear();
        fx.turns = 0;
        fx.onTurn = [](int turn) {
            // The first two businesses are committed on their own: the next
            // one ends a batch that has lasted a second.
            if (turn == 1)
                QThread::msleep(1100);
            // From then on the file cannot grow (SQLite keeps it at its size);
            // the new businesses need more room than the deletes give back.
            if (turn == 2)
                G().Datenbank_Daten->execute("PRAGMA max_page_count = 1");
        };
        fx.importBusinesses(tagged(200, "Neu", 1500));

        const QStringList states = businessStates();
        QCOMPARE(states.size(), 200);
        const QStringList replaced = withState(states, "Neu");
        QCOMPARE(withState(states, "Neu").size() + withState(states, "Alt").size(), 200);
        // Those committed before the disk refused, and none after.
        QVERIFY2(replaced.size() >= 2 && replaced.size() < 200, qPrintable(states.join(' ') + fx.log()));
        QCOMPARE(replaced, numbers(1000, int(replaced.size())));
        // The journal gave back the room of the batch taken back.
        QCOMPARE(QFileInfo(G().Datei_DB_Daten + "-wal").size(), 0);
        QCOMPARE(PlainSqlite(G().Datei_DB_Daten).rows("PRAGMA integrity_check"), QStringList{"ok"});
        QCOMPARE(fx.boxes().size(), 1); // the confirmation only
        QCOMPARE(fx.events.filter("status:").last(), QStringLiteral("status:ACHTUNG UPDATE-FEHLER!"));
        QCOMPARE(fx.log().count("Fehler in Sub/Function: "), 1);
        QCOMPARE(fx.logged(engine::err::DiskFull), 1);
        QVERIFY(fx.log().contains("Fehlertext:             Datenträger voll\r\n"));
    }

    // Another program holds the write lock when the import starts and lets
    // go a little later: each business that meets the lock stays as it was,
    // with one log record, and the import goes on with the next one.
    void writeLockOfAnotherProgram()
    {
        fx.importBusinesses(tagged(40, "Alt"));
        platform::MessageService::clearRecorded();
        fx.events.clear();
        DatabaseHolder other;
        QCOMPARE(other.open(G().Datei_DB_Daten), QStringLiteral("open"));
        QCOMPARE(other.run("BEGIN IMMEDIATE"), QStringLiteral("ok"));
        // Its commit also makes what the import read before the lock ended stale.
        QCOMPARE(other.run("INSERT INTO betrieb ([betr-nr], [betr-hist-nr], [b-eintr-name]) "
                           "VALUES ('9999', '0', 'Fremd')"),
                 QStringLiteral("ok"));
        other.send("WAIT 2000\nCOMMIT\n");
        fx.importBusinesses(tagged(40, "Neu"));
        QCOMPARE(other.answer(), QStringLiteral("ok"));
        QCOMPARE(other.answer(), QStringLiteral("ok"));
        other.close();

        const QStringList states = businessStates();
        QCOMPARE(states.size(), 40);
        const QStringList kept = withState(states, "Alt");
        QCOMPARE(kept.size() + withState(states, "Neu").size(), 40);
        // The lock met the first ones only.
        QVERIFY(!kept.isEmpty() && kept.size() < 40);
        QCOMPARE(kept, numbers(1000, int(kept.size())));
        QCOMPARE(fx.values("SELECT [b-eintr-name] FROM betrieb WHERE [betr-nr] = '9999'"), QStringList{"Fremd"});
        // One record per business that stayed; the compactions may add theirs.
        const QString log = fx.log();
        QCOMPARE(log.count("Fehler in Sub/Function: ") - log.count("Fehler in Sub/Function: A_Kompress"),
                 kept.size());
        QCOMPARE(fx.logged(3045), log.count("Fehler in Sub/Function: "));
        QCOMPARE(fx.boxes().filter("Wollen Sie die Log-Datei").size(), 1);
        QCOMPARE(fx.lastBox(), QStringLiteral("Die Daten wurden übertragen!"));
    }

    // The compactions between the pieces of a replacing import copy the file
    // the businesses of the running batch are written into: they must be
    // committed first, or they are gone.
    void compactionBetweenPiecesKeepsTheBatch()
    {
        // The stored businesses take much more room than the new ones, so
        // that their deletes leave free pages and the compactions copy.
        const QString stored = transferText(tagged(60, "Alt", 3000));
        const QString text = transferText(tagged(60, "Neu"));
        fx.import(stored);
        fx.import(text);
        const QMap<QString, QStringList> whole = fx.snapshot();
        fx.tearDown();
        fx.setUp();
        fx.import(stored);
        fx.events.clear();
        platform::MessageService::clearRecorded();
        exchange::setPieceSize((text.size() + text.count('\n')) / 25 + 1);
        fx.import(text);
        QCOMPARE(fx.events.filter("status:Datenbankkomprimierung").size(), 3); // before pieces 1, 10 and 20
        fx.compareSnapshot(whole);
        QCOMPARE(withState(businessStates(), "Neu"), numbers(1000, 60));
        QCOMPARE(fx.lastBox(), QStringLiteral("Die Daten wurden übertragen!"));
        QCOMPARE(fx.log(), QString());
    }

    // A program killed during an import leaves every business either as it
    // was or wholly replaced.
    void killedImport()
    {
        const auto file = [](const QString &ort, int broken) {
            TransferText t;
            t.businesses.clear();
            for (int i = 0; i < 40; ++i) {
                const QString nr = QString::number(1000 + i);
                QStringList body{element("b-eintr-name", ort)};
                body << item("adressen", item("adresse art=\"1\"", {element("b-adr-art", "1"), element("b-ort", ort)}))
                     << item("personen", item("person", {element("pers-nr", "P" + nr), element("p-art", "NP"),
                                                         element("fam-name", ort)}));
                // Its error box comes when its old rows are gone and some new ones written.
                if (i == broken)
                    body << "<taetigkeiten>" << "<taetigkeit>";
                t.businesses << business(nr, "0", body);
            }
            return t.text();
        };
        fx.import(file("Alt", -1));
        fx.writeFile("neu.rml", file("Neu", 30));
        const QString root = G().Verz_Programm;
        fx.tearDownKeepingFiles();

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PLOXA_IMPORT_CHILD", root);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 9);

        fx.setUp(root);
        QCOMPARE(fx.count("betrieb"), 40);
        QCOMPARE(fx.count("betrieb_adresse"), 40);
        QCOMPARE(fx.count("person"), 40);
        const QStringList mixed = fx.values(
            "SELECT betrieb.[betr-nr] FROM (betrieb INNER JOIN betrieb_adresse ON betrieb.[betr-nr] = "
            "betrieb_adresse.[betr-nr]) "
            "INNER JOIN beziehung_betrieb_person ON beziehung_betrieb_person.[bez-betr-nr] = betrieb.[betr-nr] "
            "INNER JOIN person ON person.[pers-nr] = beziehung_betrieb_person.[bez-pers-nr] "
            "WHERE betrieb.[b-eintr-name] <> [b-ort] OR [b-ort] <> [fam-name]");
        QCOMPARE(mixed, QStringList());
        QCOMPARE(fx.values("SELECT [b-eintr-name] FROM betrieb WHERE [betr-nr] = '1030'"), QStringList{"Alt"});
    }

    void menu_data()
    {
        QTest::addColumn<bool>("alreadyMarked");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("file chosen") << false << "test.rml";
        QTest::newRow("cancelled") << false << "";
        QTest::newRow("import marked") << true << "test.rml";
    }
    void menu()
    {
        QFETCH(bool, alreadyMarked);
        QFETCH(QString, chosen);
        fx.writeFile("test.rml", TransferText().text());
        if (alreadyMarked)
            G().forms.setMenuChecked("menue_import_datenbank", true);
        platform::OpenFileRequest asked;
        int dialogs = 0;
        platform::setOpenFileDialog([&](const platform::OpenFileRequest &r) {
            asked = r;
            ++dialogs;
            return chosen.isEmpty() ? QString() : fx.dat(chosen);
        });
        MDIForm1_menue_import_datenbank_Click();
        platform::setOpenFileDialog({});
        if (alreadyMarked) {
            QCOMPARE(dialogs, 0);
            QCOMPARE(fx.count("betrieb"), 0);
            return;
        }
        QCOMPARE(asked.directory, G().Verz_Dat);
        QCOMPARE(asked.filterIndex, 2);
        QVERIFY(asked.fileName.isEmpty());
        QCOMPARE(QDir::currentPath() + '/', G().Verz_Programm);
        if (chosen.isEmpty()) {
            QCOMPARE(fx.boxes(), QStringList{"Es wurde keine Update-Datei ausgewählt!"});
            QCOMPARE(fx.events.last(), QStringLiteral("mark:menue_import_datenbank=0"));
            return;
        }
        QCOMPARE(fx.count("betrieb"), 3);
        QCOMPARE(fx.events.filter("enabled:"), (QStringList{"enabled:0", "enabled:1"}));
        QVERIFY(fx.events.indexOf("closeChildWindows") < fx.events.indexOf("enabled:0"));
    }
};

// The child of killedImport: imports neu.rml in its parent's program
// directory and dies in the middle of a business, as a killed program would.
int importAndDie(const QString &root)
{
    ImportFixture fx;
    fx.setUp(root);
    fx.answer = [](const platform::MessageRecord &r) {
        if (r.text.startsWith("Laufzeitfehler"))
            ::_exit(9);
        return platform::vbYes;
    };
    Upd_1_Start(fx.dat("neu.rml"));
    return 0;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString child = qEnvironmentVariable("PLOXA_IMPORT_CHILD");
    if (!child.isEmpty())
        return importAndDie(child);
    TestImportDriver test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_importdriver.moc"
