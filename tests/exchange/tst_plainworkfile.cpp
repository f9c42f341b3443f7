// A working database after an import through the menu's path, compactions
// between the pieces included, opens, checks and answers queries in any
// SQLite tool, with nothing of the engine loaded; so does its compacted copy.
#include "ImportFixture.h"

#include "../engine/PlainSqlite.h"

#include <QLocale>

using fixture::PlainSqlite;

class TestPlainWorkFile : public QObject
{
    Q_OBJECT
    ImportFixture fx;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }
    void init() { fx.setUp(); }
    void cleanup() { fx.tearDown(); }

    void importedFileNeedsNoEngine()
    {
        TransferText t;
        for (const QString nr : {"100", "101", "102"})
            t.businesses << business(nr, "0",
                                     {element("b-eintr-name", "Gärtnerei Öztürk " + nr), "<adressen>",
                                      "<adresse art=\"1\">", element("b-adr-art", "1"), element("b-ort", "Lübeck"),
                                      "</adresse>", "</adressen>", "<personen>", "<person>", element("p-funktion", "4"),
                                      element("pers-nr", "P" + nr), element("p-art", "NP"),
                                      element("fam-name", "Weiß"), "</person>", "</personen>"});
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

QTEST_MAIN(TestPlainWorkFile)
#include "tst_plainworkfile.moc"
