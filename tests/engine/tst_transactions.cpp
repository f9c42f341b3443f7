// Transactions and units of data when SQLite refuses a write: a transaction
// that SQLite ended on its own (a full disk) is reported and nothing written
// after it is stored; a unit whose write fails on the file takes its whole
// transaction back, and keeps its rows when one row is refused for its own
// values.
#include "EngineFixture.h"

#include "engine/Connection.h"

#include <QLocale>

using namespace engine;
using namespace fixture;

class TestTransactions : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::shared_ptr<Database> m_db;
    std::shared_ptr<Recordset> m_rs;

    QStringList stored()
    {
        auto rs = m_db->openRecordset(QStringLiteral("SELECT v FROM t ORDER BY rowid;"));
        return column(*rs, QStringLiteral("v"));
    }

    // Adds rows of filler until the file may grow no more; the error of the refused one.
    EngineError fillTheDisk()
    {
        m_db->execute(QStringLiteral("PRAGMA max_page_count = 1")); // the file keeps its size
        for (int i = 0; i < 100000; ++i) {
            try {
                addRow(*m_rs, {{"v", QString(200, QLatin1Char('x'))}});
            } catch (const EngineError &e) {
                m_db->execute(QStringLiteral("PRAGMA max_page_count = 1000000"));
                return e;
            }
        }
        return EngineError(0, QString());
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        const QString path = copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb"), QStringLiteral("t.mdb"));
        m_db = Database::open(path);
        m_db->execute(QStringLiteral("CREATE TABLE t (v TEXT, k TEXT UNIQUE)"));
        m_rs = m_db->openRecordset(QStringLiteral("t"));
        addRow(*m_rs, {{"v", QStringLiteral("vorher")}});
    }

    void cleanup()
    {
        m_rs.reset();
        const QString path = m_db->path();
        m_db->close();
        m_db.reset();
        releaseFile(path);
    }

    void fullDiskEndsTheTransaction()
    {
        m_db->beginTrans();
        addRow(*m_rs, {{"v", QStringLiteral("im Stapel")}});
        QCOMPARE(fillTheDisk().number(), int(err::DiskFull));
        // Written after SQLite took the transaction back: never stored on its own.
        addRow(*m_rs, {{"v", QStringLiteral("danach")}});
        QCOMPARE(errorOf([this] { m_db->commitTrans(); }), int(err::DiskFull));
        m_db->rollback(); // the usual answer to a failed commit
        QCOMPARE(stored(), QStringList{"vorher"});
        // The next transaction is one of its own again.
        m_db->beginTrans();
        addRow(*m_rs, {{"v", QStringLiteral("neu")}});
        m_db->commitTrans();
        QCOMPARE(stored(), (QStringList{"vorher", "neu"}));
    }

    void unitTakenBackOrKept_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("a row refused for its key: the unit keeps the others")
            << false << QStringList{"vorher", "davor", "erste", "dritte"};
        QTest::newRow("the disk full: the unit and its transaction go") << true << QStringList{"vorher"};
    }
    void unitTakenBackOrKept()
    {
        QFETCH(bool, diskFull);
        QFETCH(QStringList, rows);
        m_db->beginTrans();
        m_db->beginUnit();
        addRow(*m_rs, {{"v", QStringLiteral("davor")}});
        QCOMPARE(m_db->endUnit(), 0);
        m_db->beginUnit();
        addRow(*m_rs, {{"v", QStringLiteral("erste")}, {"k", QStringLiteral("a")}});
        if (diskFull) {
            const EngineError e = fillTheDisk();
            QCOMPARE(e.number(), int(err::DiskFull));
            QVERIFY(e.spoilsUnit());
        } else {
            try {
                addRow(*m_rs, {{"v", QStringLiteral("zweite")}, {"k", QStringLiteral("a")}});
                QFAIL("duplicate key stored");
            } catch (const EngineError &e) {
                QCOMPARE(e.number(), int(err::DuplicateKey));
                QVERIFY(!e.spoilsUnit());
            }
        }
        m_rs->cancelUpdate();
        addRow(*m_rs, {{"v", QStringLiteral("dritte")}});
        QCOMPARE(m_db->endUnit(), diskFull ? int(err::DiskFull) : 0);
        // A spoilt unit leaves no transaction behind to be committed.
        QCOMPARE(m_db->connection()->transactionDepth(), diskFull ? 0 : 1);
        if (!diskFull)
            m_db->commitTrans();
        QCOMPARE(stored(), rows);
    }
};

QTEST_GUILESS_MAIN(TestTransactions)
#include "tst_transactions.moc"
