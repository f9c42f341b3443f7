#include "StorageFixture.h"

#include "storage/DatabaseHandling.h"

#include <QFileInfo>
#include <QTest>

class TestDatabaseHandling : public QObject
{
    Q_OBJECT

    static void addBusinesses(int count)
    {
        RS rs = G().RS_betrieb;
        for (int i = 0; i < count; ++i) {
            rs->addNew();
            rs->setValue(QStringLiteral("betr-nr"), QString::number(1000 + i));
            rs->setValue(QStringLiteral("betr-hist-nr"), QStringLiteral("1"));
            rs->setValue(QStringLiteral("b-eintr-name"), QStringLiteral("Bäckerei %1 ").arg(i).repeated(5));
            rs->update();
        }
    }

    static long businessesIn(const QString &path)
    {
        auto db = engine::Database::open(path);
        return db->openRecordset(QStringLiteral("betrieb"))->recordCount();
    }

    static QString leftover() { return G().Verz_Programm + QStringLiteral("DATENBANK.NEU"); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    // Which database and source each view gets; only some are refreshed at once.
    void loadBindsTheViews()
    {
        struct Row { const char *view; bool organisation; const char *source; bool refreshed; };
        const Row rows[] =
        {{"DATA_ORG", true, "gemeindekennzahlen", false}, {"DATA_ORG_RF", true, "Rechtsformen", false},
         {"DATA_GEMEINDE", true, "aktuelleGemeinde", true}, {"DATA_BETR", false, "betrieb", false},
         {"DATA_Meld", false, "betrieb_meldgrundsonst", false}, {"DATA_ADR", false, "betrieb_adresse", false},
         {"DATA_BETRErl", false, "betrieb_erlaubnis", false},
         {"DATA_BETRHwk", false, "betrieb_handwerkskarte", false}, {"DATA_TAET", false, "betrieb_taetigkeit", false},
         {"DATA_Bez_Betr_Pers", false, "beziehung_betrieb_person", true},
         {"DATA_PERSStaat", false, "person_staatsang", true}, {"DATA_PERS", false, "person", false},
         {"DATA_PERSErl", false, "person_erlaubnis", false}, {"DATA_PERSHwk", false, "person_handwerkskarte", false}};
        StorageFixture fx;
        DB_Load();
        QVERIFY(fx.logBytes().isEmpty());
        for (const Row &r : rows) {
            const QString view = QString::fromLatin1(r.view);
            BoundView *v = view == QLatin1String("DATA_GEMEINDE") ? fx.gemeinde.get() : fx.views.at(view).get();
            QVERIFY2(v->DatabaseName() == (r.organisation ? G().Datei_DB_Org : G().Datei_DB_offen), r.view);
            QCOMPARE(v->RecordSource(), QString::fromLatin1(r.source));
            QVERIFY2((v->Recordset() != nullptr) == r.refreshed, r.view);
        }
    }

    void secondLoadReplacesEveryHandle()
    {
        StorageFixture fx;
        DB_Load();
        const Declare &g = G();
        // A second load replaces every handle while the first organisation handle is still held.
        const DB firstOrg = g.Datenbank_Org;
        const RS firstBetrieb = g.RS_betrieb;
        DB_Load();
        QVERIFY(fx.logBytes().isEmpty());
        QVERIFY(g.Datenbank_Org != firstOrg);
        QVERIFY(g.RS_betrieb != firstBetrieb && g.RS_betrieb->isOpen());
    }

    void closeAndUnbindReleaseOnlyTheWorkingDatabase()
    {
        StorageFixture fx;
        DB_Load();
        const Declare &g = G();
        DB_Close();
        DB_Unbind_DATA();
        QVERIFY(!g.RS_betrieb->isOpen());
        QVERIFY(!g.RS_person_staatsang->isOpen());
        QVERIFY(!g.Datenbank_Daten->isOpen());
        // The options window and the municipality filter go on reading.
        QCOMPARE(g.RS_Optionen->recordCount(), 0L);
        QCOMPARE(g.RS_aktuelleGemeinde->recordCount(), 0L);
        QVERIFY(g.Datenbank_Org->openRecordset(QStringLiteral("gemeindekennzahlen"))->recordCount() > 1000);
        for (const auto &[name, view] : fx.views) {
            const bool org = name.startsWith(QLatin1String("DATA_ORG"));
            QCOMPARE(view->DatabaseName().isEmpty(), !org);
            if (!org)
                QVERIFY(!view->Recordset() && view->RecordSource().isEmpty());
        }
        QVERIFY(fx.gemeinde->Recordset() != nullptr);
        // The file is free: it can be replaced.
        QVERIFY(QFile::remove(g.Datei_DB_Daten));
    }

    void compactionKeepsTheDataUnderItsName()
    {
        StorageFixture fx;
        DB_Load();
        addBusinesses(300);
        G().Datenbank_Daten->execute(QStringLiteral("DELETE FROM betrieb WHERE [betr-nr] >= '1100'"));
        // A copy left by an earlier run goes first.
        QFile stale(leftover());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("alt");
        stale.close();
        const QString path = G().Datei_DB_Daten;
        engine::releaseFile(path);
        const qint64 before = QFileInfo(path).size();

        DB_Kompress();

        QVERIFY(fx.logBytes().isEmpty());
        QVERIFY(!QFile::exists(leftover()));
        QVERIFY(QFileInfo(path).size() < before);
        QCOMPARE(G().RS_betrieb->recordCount(), 100L);
        QCOMPARE(businessesIn(path), 100L);
    }

    void leftoverCopyBecomesTheMissingDatabase()
    {
        StorageFixture fx;
        DB_Load();
        addBusinesses(3);
        DB_Close();
        DB_Unbind_DATA();
        const QString path = G().Datei_DB_Daten;
        engine::releaseFile(path);
        // An interrupted compaction of an earlier version: the database gone, its copy kept.
        QVERIFY(QFile::rename(path, leftover()));

        QVariant arg = path;
        QCOMPARE(A_Kompress(arg, QString()), QVariant(qint16(1)));

        QVERIFY(fx.logBytes().isEmpty());
        QVERIFY(!QFile::exists(leftover()));
        QCOMPARE(businessesIn(path), 3L);
    }

    void missingWorkingDatabaseLogsOncePerCall()
    {
        StorageFixture fx;
        G().Datei_DB_Daten = G().Verz_DB + QStringLiteral("fehlt.mdb");
        DB_Load();
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("DB_Load")});
        QVERIFY(!G().RS_betrieb);
        QVERIFY(fx.views.at(QStringLiteral("DATA_BETR"))->DatabaseName().isEmpty());

        // Its close fails at once: no compaction, no second load.
        DB_Kompress();
        QCOMPARE(fx.loggedLabels(), QStringList({QStringLiteral("DB_Load"), QStringLiteral("DB_Load")}));
        QVERIFY(!QFile::exists(leftover()));

        QVariant arg = G().Datei_DB_Daten;
        QCOMPARE(A_Kompress(arg, QString()), QVariant(qint16(0)));
        const QString log = QString::fromLatin1(fx.logBytes());
        QVERIFY(log.contains(QStringLiteral("Fehler in Sub/Function: A_Kompress\r\n")));
        QVERIFY(log.contains(QStringLiteral("Ortungs-Nummer/BetrNr:  Fehler bei Komprimierung von '")
                             + G().Datei_DB_Daten + QStringLiteral("'\r\n")));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseHandling)
#include "tst_databasehandling.moc"
