#include "StorageFixture.h"

#include "DatabaseHolder.h"
#include "engine/SqlFunctions.h"
#include "storage/DatabaseHandling.h"

#include <QFileInfo>
#include <QTest>
#include <sqlite3.h>
#include <sys/stat.h>

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

    static QString leftover() { return G().Datei_DB_Daten + QStringLiteral(".neu"); }

    static quint64 inodeOf(const QString &path)
    {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
    }

    static QString insertBusiness(const QString &nr)
    {
        return QStringLiteral("INSERT INTO betrieb ([betr-nr], [betr-hist-nr]) VALUES ('%1', '0')").arg(nr);
    }

    // The working database with three businesses, closed and unbound as the
    // switch protocol leaves it before a compaction.
    static void threeBusinessesReleased()
    {
        DB_Load();
        addBusinesses(3);
        DB_Close();
        DB_Unbind_DATA();
        engine::releaseFile(G().Datei_DB_Daten);
    }


private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    // Which database and source each view gets; only some are refreshed at once.
    void loadBindsTheViews()
    {
        StorageFixture fx;
        DB_Load();
        QVERIFY(fx.logBytes().isEmpty());
        for (const StartView &r : kStartViews) {
            BoundView *v = fx.views.at(QString::fromLatin1(r.name)).get();
            QVERIFY2(v->DatabaseName() == (r.organisation ? G().Datei_DB_Org : G().Datei_DB_offen), r.name);
            QCOMPARE(v->RecordSource(), QString::fromLatin1(r.source));
            QVERIFY2((v->Recordset() != nullptr) == r.refreshed, r.name);
        }
        QCOMPARE(fx.gemeinde->DatabaseName(), G().Datei_DB_Org);
        QCOMPARE(fx.gemeinde->RecordSource(), QStringLiteral("aktuelleGemeinde"));
        QVERIFY(fx.gemeinde->Recordset());
        // A second load replaces every handle while the first organisation handle is still held.
        const Declare &g = G();
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
        QVERIFY(StorageFixture::writeFile(leftover(), "alt"));
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

    // Only the database's own copy may take its place; the copy of the other
    // data kind, or one from the program directory, never does.
    void leftoverCopyOfTheMissingDatabase_data()
    {
        QTest::addColumn<QString>("copyName");
        QTest::addColumn<bool>("adopted");
        QTest::newRow("its own copy") << "DB/px_4x_b.mdb.neu" << true;
        QTest::newRow("the other kind's copy") << "DB/px_4x_m.mdb.neu" << false;
        QTest::newRow("the shared name of earlier versions") << "DATENBANK.NEU" << false;
    }
    void leftoverCopyOfTheMissingDatabase()
    {
        QFETCH(QString, copyName);
        QFETCH(bool, adopted);
        StorageFixture fx;
        threeBusinessesReleased();
        const QString path = G().Datei_DB_Daten;
        const QString copy = G().Verz_Programm + copyName;
        // An interrupted compaction: the database gone, a copy kept.
        QVERIFY(QFile::rename(path, copy));

        QVariant arg = path;
        QCOMPARE(A_Kompress(arg, QString()), QVariant(qint16(adopted ? 1 : 0)));

        if (adopted) {
            QVERIFY(fx.logBytes().isEmpty());
            QVERIFY(!QFile::exists(copy));
            QCOMPARE(businessesIn(path), 3L);
        } else {
            QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("A_Kompress")});
            QVERIFY(!QFile::exists(path));
            QCOMPARE(businessesIn(copy), 3L);
        }
    }

    // Whichever file-system step of a compaction fails, the database stays
    // complete under its name, the error is logged, and only the copy goes.
    void failingCompactionStep_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("copyStays");
        QTest::newRow("left-over copy cannot be deleted") << "remove leftover" << true;
        QTest::newRow("copy cannot be written") << "compact" << false;
        QTest::newRow("copy cannot take the name") << "rename" << false;
        QTest::newRow("copy can neither take the name nor go") << "rename and remove" << true;
    }
    void failingCompactionStep()
    {
        QFETCH(QString, step);
        QFETCH(bool, copyStays);
        StorageFixture fx;
        threeBusinessesReleased();
        const QString path = G().Datei_DB_Daten;
        if (step == QLatin1String("remove leftover"))
            QVERIFY(StorageFixture::writeFile(leftover(), "alt"));
        const auto guard = qScopeGuard([] { storage::resetCompactionSteps(); });
        storage::CompactionSteps &steps = storage::compactionSteps();
        const storage::CompactionSteps real = steps;
        if (step == QLatin1String("remove leftover"))
            steps.remove = [](const QString &) { return false; };
        if (step == QLatin1String("compact"))
            steps.compact = [](const QString &, const QString &copy, const QString &, const std::function<void()> &) {
                // A half-written copy, then the disk is full.
                QVERIFY(StorageFixture::writeFile(copy, QByteArray(4096, 'x')));
                throw engine::EngineError(61, QStringLiteral("DAO.DBEngine"));
            };
        if (step.startsWith(QLatin1String("rename")))
            steps.rename = [](const QString &, const QString &) { return false; };
        if (step == QLatin1String("rename and remove"))
            steps.remove = [](const QString &) { return false; };

        QVariant arg = path;
        QCOMPARE(A_Kompress(arg, QString()), QVariant(qint16(0)));
        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("A_Kompress")});
        QCOMPARE(QFile::exists(leftover()), copyStays);
        steps = real;
        QCOMPARE(businessesIn(path), 3L);
        // The next compaction clears what was left and succeeds.
        QCOMPARE(A_Kompress(arg, QString()), QVariant(qint16(1)));
        QVERIFY(!QFile::exists(leftover()));
        QCOMPARE(businessesIn(path), 3L);
    }

    // Another connection holding the working database open keeps it: the
    // compaction is left out and logged, and what the other commits later
    // lands in the file under the database's name.
    void otherConnectionKeepsTheFile_data()
    {
        QTest::addColumn<bool>("ownProcess");
        QTest::newRow("second program instance") << false;
        QTest::newRow("separate connection in this process") << true;
    }
    void otherConnectionKeepsTheFile()
    {
        QFETCH(bool, ownProcess);
        StorageFixture fx;
        threeBusinessesReleased();
        const QString path = G().Datei_DB_Daten;
        DatabaseHolder holder;
        sqlite3 *other = nullptr;
        const auto closeOther = qScopeGuard([&other] { sqlite3_close(other); });
        if (ownProcess) {
            QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
            engine::registerSqlFunctions(other);
            QCOMPARE(sqlite3_exec(other, "SELECT count(*) FROM betrieb", nullptr, nullptr, nullptr), SQLITE_OK);
        } else {
            QCOMPARE(holder.open(path), QStringLiteral("open"));
        }
        const quint64 inode = inodeOf(path);
        DB_Load();

        DB_Kompress();

        QCOMPARE(fx.loggedLabels(), QStringList{QStringLiteral("A_Kompress")});
        const QString log = QString::fromLatin1(fx.logBytes());
        QVERIFY(log.contains(QStringLiteral("Fehlernummer:           3045\r\n")));
        QVERIFY(log.contains(QStringLiteral("Die Datei kann nicht verwendet werden. Die Datei wird bereits verwendet.")));
        QCOMPARE(inodeOf(path), inode);
        QVERIFY(!QFile::exists(leftover()));
        // The program goes on with its database.
        QVERIFY(G().RS_betrieb && G().RS_betrieb->isOpen());
        QCOMPARE(G().RS_betrieb->recordCount(), 3L);

        if (ownProcess) {
            QCOMPARE(sqlite3_exec(other, qPrintable(insertBusiness(QStringLiteral("2000"))), nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(other);
            other = nullptr;
        } else {
            QCOMPARE(holder.run(insertBusiness(QStringLiteral("2000"))), QStringLiteral("ok"));
            holder.close();
        }
        DB_Load();
        QCOMPARE(G().RS_betrieb->recordCount(), 4L);
        // Once the other has let go, the compaction runs again.
        DB_Kompress();
        QCOMPARE(fx.loggedLabels().size(), 1);
        QCOMPARE(businessesIn(path), 4L);
    }

    // While the copy is written and put in place nobody else gets in.
    void compactionKeepsOthersOutUntilTheCopyIsInPlace()
    {
        StorageFixture fx;
        threeBusinessesReleased();
        const QString path = G().Datei_DB_Daten;
        const auto guard = qScopeGuard([] { storage::resetCompactionSteps(); });
        storage::CompactionSteps &steps = storage::compactionSteps();
        const auto rename = steps.rename;
        QString holderAnswer;
        steps.rename = [&](const QString &from, const QString &to) {
            // A second instance starting now waits for the lock, and gives up
            // rather than writing into the file that is being replaced.
            DatabaseHolder late;
            holderAnswer = late.open(path);
            return rename(from, to);
        };
        QVariant arg = path;
        QCOMPARE(A_Kompress(arg, QString()), QVariant(qint16(1)));
        QCOMPARE(holderAnswer, QStringLiteral("error 3045"));
        QVERIFY(fx.logBytes().isEmpty());
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
