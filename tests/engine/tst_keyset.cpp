// A list's keys read in steps: how many are known, whether the count is, a
// row's position, where the reading meets a row, the last row without
// reading on, a failing reading, and the end a write forces on it.
#include "EngineFixture.h"

#include "engine/Connection.h"
#include "engine/Keyset.h"
#include "engine/SortedWalk.h"

#include <sqlite3.h>

using namespace engine;
using namespace fixture;

namespace {

constexpr int kRows = 100;
constexpr long kAll = std::numeric_limits<long>::max();
// Row i of the list (from 0) is the table's row kRows - i.
const char *const kDescending = "SELECT rowid, rowid * 10 FROM t ORDER BY rowid DESC";
const char *const kLast = "SELECT rowid, rowid * 10 FROM t ORDER BY rowid LIMIT 1";
// Fails on reading its fifth row.
const char *const kFailing =
    "SELECT rowid, CASE WHEN rowid = 5 THEN abs(-9223372036854775807 - 1) ELSE 0 END FROM t ORDER BY rowid";

std::vector<qint64> keysOf(long index)
{
    return {kRows - index, (kRows - index) * 10};
}

} // namespace

class TestKeyset : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readingInSteps_data();
    void readingInSteps();
    void positions();
    void meetsWatchedRow();
    void lastRowWithoutReadingOn();
    void failureStaysReported();
    void writeEndsTheReading();

private:
    QTemporaryDir m_dir;
    std::shared_ptr<Database> m_db;
    void start(Keyset &keys, const char *sql, const char *last = "")
    {
        Connection *conn = m_db->connection().get();
        keys.start(conn, QStringLiteral("Keyset"), 2, QString::fromUtf8(sql),
                   conn->prepare(QString::fromUtf8(sql), QStringLiteral("Keyset")), nullptr, QString::fromUtf8(last),
                   [&keys] { keys.read(kAll); });
    }
};

void TestKeyset::init()
{
    const QString path = m_dir.filePath(QStringLiteral("keys.sqlite"));
    QFile::remove(path);
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE t (x INTEGER); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100) "
                 "INSERT INTO t SELECT i FROM n;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    m_db = Database::open(path);
}

void TestKeyset::cleanup()
{
    m_db->close();
    m_db.reset();
}

void TestKeyset::readingInSteps_data()
{
    QTest::addColumn<QList<long>>("asked");
    QTest::addColumn<long>("known");
    QTest::addColumn<bool>("lastKnown");  // what the last read answered
    QTest::addColumn<bool>("countKnown");
    QTest::newRow("first rows") << QList<long>{10} << 10L << true << false;
    QTest::newRow("in steps") << QList<long>{10, 5, 40} << 40L << true << false;
    QTest::newRow("exactly all") << QList<long>{kRows} << long(kRows) << true << false;
    QTest::newRow("one more") << QList<long>{kRows + 1} << long(kRows) << false << true;
    QTest::newRow("all") << QList<long>{3, kAll} << long(kRows) << false << true;
    QTest::newRow("after the end") << QList<long>{kAll, 7} << long(kRows) << true << true;
    QTest::newRow("all after the end") << QList<long>{kAll, kRows} << long(kRows) << true << true;
}

void TestKeyset::readingInSteps()
{
    QFETCH(QList<long>, asked);
    QFETCH(long, known);
    QFETCH(bool, lastKnown);
    QFETCH(bool, countKnown);
    Keyset keys;
    start(keys, kDescending);
    QCOMPARE(keys.countKnown(), false);
    bool answer = false;
    for (long rows : asked)
        answer = keys.read(rows);
    QCOMPARE(keys.rows(), known);
    QCOMPARE(answer, lastKnown);
    QCOMPARE(keys.countKnown(), countKnown);
    std::vector<qint64> row;
    for (long i = 0; i < known; ++i) {
        keys.row(i, row);
        QCOMPARE(row, keysOf(i));
    }
}

void TestKeyset::positions()
{
    Keyset keys;
    start(keys, kDescending);
    keys.read(50);
    QCOMPARE(keys.indexOf(keysOf(0).data()), 0L);
    QCOMPARE(keys.indexOf(keysOf(49).data()), 49L);
    // Known only once read.
    QCOMPARE(keys.indexOf(keysOf(50).data()), -1L);
    const std::vector<qint64> mixed{kRows, 20};
    QCOMPARE(keys.indexOf(mixed.data()), -1L);
    keys.read(kAll);
    QCOMPARE(keys.indexOf(keysOf(kRows - 1).data()), long(kRows - 1));
    QCOMPARE(keys.key(3, 1), keysOf(3)[1]);
}

void TestKeyset::meetsWatchedRow()
{
    Keyset keys;
    start(keys, kDescending);
    keys.watchFor(keysOf(40).data());
    keys.read(10);
    QCOMPARE(keys.metAt(), -1L);
    keys.read(60);
    QCOMPARE(keys.metAt(), 40L);
    // Met once: later rows do not move it.
    keys.watchFor(keysOf(65).data());
    keys.read(70);
    QCOMPARE(keys.metAt(), 40L);
    keys.forgetMet();
    keys.watchFor(keysOf(80).data());
    keys.read(kAll);
    QCOMPARE(keys.metAt(), 80L);
    // A row already passed is not met again.
    keys.forgetMet();
    keys.watchFor(keysOf(90).data());
    keys.read(kAll);
    QCOMPARE(keys.metAt(), -1L);
}

void TestKeyset::lastRowWithoutReadingOn()
{
    Keyset keys;
    start(keys, kDescending, kLast);
    keys.read(5);
    std::vector<qint64> last;
    QVERIFY(keys.lastKeys(last));
    QCOMPARE(last, keysOf(kRows - 1));
    QCOMPARE(keys.rows(), 5L);
    Keyset plain;
    start(plain, kDescending);
    QVERIFY(!plain.lastKeys(last));
}

void TestKeyset::failureStaysReported()
{
    Keyset keys;
    start(keys, kFailing);
    QVERIFY(keys.read(3));
    QVERIFY(errorOf([&] { keys.read(10); }) != 0);
    // The rows before the failure stay, and the reading has ended.
    QCOMPARE(keys.rows(), 4L);
    QVERIFY(keys.countKnown());
    QVERIFY(errorOf([&] { keys.read(10); }) != 0);
    QVERIFY(keys.read(2));
}

void TestKeyset::writeEndsTheReading()
{
    Keyset keys;
    start(keys, kDescending);
    keys.read(5);
    m_db->execute(QStringLiteral("INSERT INTO t (x) VALUES (0)"));
    // Every key read before the write, none of its row.
    QVERIFY(keys.countKnown());
    QCOMPARE(keys.rows(), long(kRows));
    QCOMPARE(keys.indexOf(std::vector<qint64>{kRows + 1, (kRows + 1) * 10}.data()), -1L);
}

QTEST_GUILESS_MAIN(TestKeyset)
#include "tst_keyset.moc"
