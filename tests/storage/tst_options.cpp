#include "StorageFixture.h"

#include "storage/Options.h"

#include <QTest>

// Stored paths are written as tokens that the test turns into real paths:
// "default" the database directory's copy, "capitals" an existing copy
// elsewhere named in capitals, "prefixed" an existing file elsewhere whose
// name carries more characters, "missing" a path that does not exist,
// "null" no value, "empty" an empty text.
class TestOptions : public QObject
{
    Q_OBJECT

    static QVariant pathFor(const QString &token, const QString &fileName, const QString &root)
    {
        if (token == QLatin1String("null"))
            return QVariant();
        if (token == QLatin1String("empty"))
            return QString();
        if (token == QLatin1String("default"))
            return G().Verz_DB + fileName;
        if (token == QLatin1String("capitals"))
            return root + QStringLiteral("/anderswo/") + fileName.toUpper();
        if (token == QLatin1String("prefixed"))
            return root + QStringLiteral("/anderswo/alt_") + fileName;
        return root + QStringLiteral("/nirgendwo/") + fileName;
    }

    static void prepareElsewhere(const QString &root)
    {
        QDir(root).mkdir(QStringLiteral("anderswo"));
        for (const char *name : {"px_4x_b.mdb", "px_4x_m.mdb"}) {
            const QString n = QString::fromLatin1(name);
            StorageFixture::copyTemplate(n, root + QStringLiteral("/anderswo/") + n.toUpper());
            StorageFixture::copyTemplate(n, root + QStringLiteral("/anderswo/alt_") + n);
        }
    }

    static void writeRow(const QVariant &datenart, const QVariant &b, const QVariant &m)
    {
        RS rs = G().RS_Optionen;
        rs->addNew();
        rs->setValue(QStringLiteral("datenart"), datenart);
        rs->setValue(QStringLiteral("db_betriebsbezogen"), b);
        rs->setValue(QStringLiteral("db_meldungsbezogen"), m);
        rs->setValue(QStringLiteral("filter_aktiv"), true);
        rs->setValue(QStringLiteral("Dateiendung_registriert"), false);
        rs->update();
        // Read from a fresh set, as the start-up does.
        G().RS_Optionen = G().Datenbank_Org->openRecordset(QStringLiteral("Optionen"));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void readAndRepair_data()
    {
        QTest::addColumn<bool>("hasRow");
        QTest::addColumn<QVariant>("datenart");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("m");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<QString>("storedB"); // token of the path stored afterwards
        QTest::addColumn<QString>("storedM");
        QTest::addColumn<QString>("storedKind");
        QTest::addColumn<bool>("betrieb"); // which kind the globals and the caption follow

        const QVariant none, betr(QStringLiteral("BETRIEBSBEZOGEN")), meld(QStringLiteral("MELDUNGSBEZOGEN"));
        const QString B = betr.toString(), M = meld.toString(), D = QStringLiteral("default");
        QTest::newRow("empty table gets the defaults") << false << none << "" << "" << 0 << D << D << B << true;
        QTest::newRow("capitals elsewhere accepted")
            << true << betr << "capitals" << "capitals" << 0 << "capitals" << "capitals" << B << true;
        QTest::newRow("longer file name replaced")
            << true << betr << "prefixed" << "default" << 1 << D << D << B << true;
        QTest::newRow("both paths wrong") << true << meld << "missing" << "prefixed" << 2 << D << D << M << false;
        QTest::newRow("empty or null path without a box")
            << true << betr << "null" << "empty" << 0 << D << D << B << true;
        QTest::newRow("lower-case kind is report-related") << true << QVariant(QStringLiteral("betriebsbezogen"))
            << "default" << "capitals" << 0 << D << "capitals" << "betriebsbezogen" << false;
        QTest::newRow("null kind repaired") << true << none << "default" << "default" << 0 << D << D << B << true;
        QTest::newRow("blank kind repaired")
            << true << QVariant(QStringLiteral("   ")) << "default" << "default" << 0 << D << D << B << true;
    }

    void readAndRepair()
    {
        QFETCH(bool, hasRow);
        QFETCH(QVariant, datenart);
        QFETCH(QString, b);
        QFETCH(QString, m);
        QFETCH(int, boxes);
        QFETCH(QString, storedB);
        QFETCH(QString, storedM);
        QFETCH(QString, storedKind);
        QFETCH(bool, betrieb);

        StorageFixture fx;
        const QString root = fx.dir.path();
        prepareElsewhere(root);
        fx.openOrganisation();
        if (hasRow)
            writeRow(datenart, pathFor(b, QStringLiteral("px_4x_b.mdb"), root),
                     pathFor(m, QStringLiteral("px_4x_m.mdb"), root));

        A_org_lesen();

        QVERIFY(fx.logBytes().isEmpty());
        QCOMPARE(fx.boxes(), QStringList(boxes, QStringLiteral("Datenbank-Fehler!|16|\nDie Datenbank wurde am "
                                                               "angegebenen Ort nicht gefunden,\n\ndeshalb verwendet "
                                                               "das Programm die Default-Datenbank!\n\n")));

        RS rs = G().Datenbank_Org->openRecordset(QStringLiteral("Optionen"));
        QCOMPARE(rs->recordCount(), 1L);
        const QString expectedB = pathFor(storedB, QStringLiteral("px_4x_b.mdb"), root).toString();
        const QString expectedM = pathFor(storedM, QStringLiteral("px_4x_m.mdb"), root).toString();
        QCOMPARE(rs->value(QStringLiteral("db_betriebsbezogen")).toString(), expectedB);
        QCOMPARE(rs->value(QStringLiteral("db_meldungsbezogen")).toString(), expectedM);
        QCOMPARE(rs->value(QStringLiteral("datenart")).toString(), storedKind);

        const Declare &g = G();
        QCOMPARE(g.Datei_DB_Daten, betrieb ? expectedB : expectedM);
        QCOMPARE(g.DB_Vorlage_Name.toString(), betrieb ? QStringLiteral("px_4x_b") : QStringLiteral("px_4x_m"));
        QCOMPARE(g.Datenart_aktuell.toString(), storedKind);
        QCOMPARE(g.Datei_DB_betriebsbezogen.toString(), expectedB);
        QCOMPARE(g.Datei_DB_meldungsbezogen.toString(), expectedM);
        QCOMPARE(g.Gemeindefilter_aktiv, hasRow);
        QCOMPARE(g.Dateityp_registriert, false);
        // A row made from the defaults leaves the caption alone.
        QCOMPARE(fx.caption, !hasRow ? QString()
                             : betrieb ? QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)")
                                       : QStringLiteral("PLOXA_4x_Access (meldungsbezogene Daten)"));
    }

    void updateWritesTheWindowAndTheGlobals_data()
    {
        QTest::addColumn<QString>("boxB");
        QTest::addColumn<QString>("boxM");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("wantB"); // the working database follows the business-related path
        QTest::newRow("empty boxes keep both paths") << "" << "" << "MELDUNGSBEZOGEN" << false;
        QTest::newRow("boxes give new paths") << "capitals" << "capitals" << "BETRIEBSBEZOGEN" << true;
        QTest::newRow("kind without text counts as report-related") << "" << "" << "" << false;
    }

    void updateWritesTheWindowAndTheGlobals()
    {
        QFETCH(QString, boxB);
        QFETCH(QString, boxM);
        QFETCH(QString, kind);
        QFETCH(bool, wantB);
        StorageFixture fx;
        const QString root = fx.dir.path();
        prepareElsewhere(root);
        fx.openOrganisation();
        writeRow(QStringLiteral("BETRIEBSBEZOGEN"), G().Verz_DB + QStringLiteral("px_4x_b.mdb"),
                 G().Verz_DB + QStringLiteral("px_4x_m.mdb"));
        const QString newB = boxB.isEmpty() ? QString() : pathFor(boxB, QStringLiteral("px_4x_b.mdb"), root).toString();
        const QString newM = boxM.isEmpty() ? QString() : pathFor(boxM, QStringLiteral("px_4x_m.mdb"), root).toString();
        G().forms.optionenPathText = [&](int i) { return i == 0 ? newB : newM; };
        Declare &g = G();
        g.Datenart_aktuell = kind.isEmpty() ? QVariant() : QVariant(kind);
        g.Gemeindefilter_aktiv = false;
        g.Dateityp_registriert = true;

        A_org_update();

        QVERIFY(fx.logBytes().isEmpty());
        RS rs = g.Datenbank_Org->openRecordset(QStringLiteral("Optionen"));
        QCOMPARE(rs->recordCount(), 1L);
        const QString storedB = newB.isEmpty() ? g.Verz_DB + QStringLiteral("px_4x_b.mdb") : newB;
        const QString storedM = newM.isEmpty() ? g.Verz_DB + QStringLiteral("px_4x_m.mdb") : newM;
        QCOMPARE(rs->value(QStringLiteral("db_betriebsbezogen")).toString(), storedB);
        QCOMPARE(rs->value(QStringLiteral("db_meldungsbezogen")).toString(), storedM);
        QCOMPARE(rs->value(QStringLiteral("datenart")).toString(),
                 wantB ? QStringLiteral("BETRIEBSBEZOGEN") : QStringLiteral("MELDUNGSBEZOGEN"));
        QCOMPARE(rs->value(QStringLiteral("filter_aktiv")).toBool(), false);
        QCOMPARE(rs->value(QStringLiteral("Dateiendung_registriert")).toBool(), true);
        // Read back: the working database is the stored path of the kind, even from an empty box.
        QCOMPARE(g.Datei_DB_Daten, wantB ? storedB : storedM);
        QCOMPARE(fx.caption, wantB ? QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)")
                                   : QStringLiteral("PLOXA_4x_Access (meldungsbezogene Daten)"));
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
