// A sort piece against the collation itself: German order with umlauts,
// case and "ß", equal texts by rowid, both directions, sorted in one go or
// a step at a time, keys of every length; the first group alone; and a
// sorted list read through its walk in slices as short as can be.
#include "EngineFixture.h"

#include "engine/Connection.h"
#include "engine/KeyedPiece.h"
#include "engine/Keyset.h"
#include "engine/SortedWalk.h"
#include "engine/SqlFunctions.h"

#include <sqlite3.h>

#include <QRandomGenerator>

using namespace engine;

namespace {

struct Row
{
    qint64 rowid;
    QString text;
};

// Texts that differ in case, umlauts, "ß" against "ss", punctuation and
// length, many of them equal in the collation.
std::vector<Row> mixedRows(int count, quint32 seed)
{
    static const QStringList parts{QStringLiteral("schmidt"), QStringLiteral("Schmidt"), QStringLiteral("Schmitt"),
                                   QStringLiteral("Müller"),  QStringLiteral("Muller"),  QStringLiteral("MÜLLER"),
                                   QStringLiteral("Straße"),  QStringLiteral("Strasse"), QStringLiteral("Äpfel"),
                                   QStringLiteral("apfel"),   QStringLiteral("Öl"),      QStringLiteral("o-l"),
                                   QStringLiteral("& Söhne"), QStringLiteral(" "),       QStringLiteral("9"),
                                   QStringLiteral("")};
    QRandomGenerator random(seed);
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i) {
        QString text = QStringLiteral("s");
        const int n = int(random.bounded(4));
        for (int k = 0; k < n; ++k)
            text += parts.at(int(random.bounded(quint32(parts.size()))));
        if (random.bounded(3) == 0)
            text += QString::number(random.bounded(50));
        rows.push_back({qint64(random.bounded(1u << 30)) * 4 + i % 4, text});
    }
    return rows;
}

// The order an ORDER BY ... COLLATE JETTEXT, rowid gives, in groups of
// equal texts.
std::vector<std::vector<qint64>> expectedGroups(std::vector<Row> rows, bool descending)
{
    std::sort(rows.begin(), rows.end(), [descending](const Row &a, const Row &b) {
        const int c = jetCompare(a.text, b.text);
        return c != 0 ? (descending ? c > 0 : c < 0) : a.rowid < b.rowid;
    });
    std::vector<std::vector<qint64>> groups;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0 || jetCompare(rows[i - 1].text, rows[i].text) != 0)
            groups.emplace_back();
        groups.back().push_back(rows[i].rowid);
    }
    return groups;
}

void add(KeyedPiece &piece, const std::vector<Row> &rows)
{
    for (const Row &r : rows) {
        const QByteArray utf8 = r.text.toUtf8();
        piece.add(r.rowid, reinterpret_cast<const unsigned char *>(utf8.constData()), int(utf8.size()));
    }
}

std::vector<std::vector<qint64>> groupsOf(const KeyedPiece &piece)
{
    std::vector<qint64> rows;
    std::vector<size_t> ends;
    piece.groups(rows, ends);
    std::vector<std::vector<qint64>> groups;
    size_t from = 0;
    for (const size_t end : ends) {
        groups.emplace_back(rows.begin() + qsizetype(from), rows.begin() + qsizetype(end));
        from = end;
    }
    return groups;
}

} // namespace

class TestKeyedPiece : public QObject
{
    Q_OBJECT

private slots:
    void ordersAsTheCollation_data();
    void ordersAsTheCollation();
    void firstGroupOnly_data();
    void firstGroupOnly();
    void walkReadInShortSlices();
};

void TestKeyedPiece::ordersAsTheCollation_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("inSteps");
    QTest::addColumn<int>("longText"); // characters of one extra row, 0: none
    // Past one sorted run (4096) and one key block (1 MB) both.
    QTest::newRow("few, ascending") << 7 << false << false << 0;
    QTest::newRow("many, ascending, in one go") << 30000 << false << false << 0;
    QTest::newRow("many, ascending, a step at a time") << 30000 << false << true << 0;
    QTest::newRow("many, descending, a step at a time") << 30000 << true << true << 0;
    QTest::newRow("a key longer than a block") << 5000 << false << true << 400000;
    QTest::newRow("descending with a key longer than a block") << 5000 << true << false << 400000;
}

void TestKeyedPiece::ordersAsTheCollation()
{
    QFETCH(int, count);
    QFETCH(bool, descending);
    QFETCH(bool, inSteps);
    QFETCH(int, longText);
    std::vector<Row> rows = mixedRows(count, 7);
    if (longText > 0)
        rows.push_back({3, QStringLiteral("sch") + QString(longText, QChar(0xE4))});
    KeyedPiece piece(descending);
    add(piece, rows);
    if (inSteps) {
        // A deadline already passed: each call does one step and returns.
        int calls = 1;
        while (!piece.sort(QDeadlineTimer(0)))
            ++calls;
        QVERIFY(calls > 1);
    } else {
        QVERIFY(piece.sort());
    }
    QCOMPARE(groupsOf(piece), expectedGroups(rows, descending));
}

void TestKeyedPiece::firstGroupOnly_data()
{
    QTest::addColumn<bool>("descending");
    QTest::newRow("ascending") << false;
    QTest::newRow("descending") << true;
}

void TestKeyedPiece::firstGroupOnly()
{
    QFETCH(bool, descending);
    const std::vector<Row> rows = mixedRows(3000, 11);
    KeyedPiece piece(descending, true);
    add(piece, rows);
    QCOMPARE(piece.firstGroup(), expectedGroups(rows, descending).front());
    QVERIFY(KeyedPiece(descending, true).firstGroup().empty());
}

void TestKeyedPiece::walkReadInShortSlices()
{
    // A list sorted by a text column with a case-blind index is read by a
    // walk through it, piece by piece; with no time at all for each slice
    // it must still hand out every row once, in the exact order.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("walk.sqlite"));
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_exec(db, "CREATE TABLE t (name TEXT); CREATE INDEX t_name ON t (name COLLATE NOCASE)", nullptr, nullptr,
                     nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO t (name) VALUES (?1)", -1, &insert, nullptr);
        const std::vector<Row> rows = mixedRows(6000, 3);
        for (size_t i = 0; i < rows.size(); ++i) {
            const QByteArray utf8 = rows[i].text.toUtf8();
            if (i % 50 == 0)
                sqlite3_bind_null(insert, 1);
            else
                sqlite3_bind_text(insert, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const auto database = Database::open(path);
    Connection *conn = database->connection().get();
    for (const bool descending : {false, true}) {
        SortedWalk::Plan plan;
        plan.tables = 1;
        plan.lead = 0;
        plan.leadOrder = QStringLiteral("SELECT rowid, jet_sortkey(name) FROM t ORDER BY 2%1, 1")
                             .arg(descending ? QStringLiteral(" DESC") : QString());
        plan.ofLeadRow = QStringLiteral("SELECT rowid FROM t WHERE rowid = ?1");
        plan.leadTable = QStringLiteral("t");
        plan.leadRowid = QStringLiteral("t.rowid");
        plan.column = QStringLiteral("t.name");
        plan.descending = descending;
        Keyset keys;
        keys.start(conn, QStringLiteral("walk"), 1, QString(), nullptr,
                   std::make_unique<SortedWalk>(database->connection(), plan, QStringLiteral("walk")), QString(),
                   [&keys] { keys.read(std::numeric_limits<long>::max()); });
        int slices = 0;
        while (keys.readingOn()) {
            keys.read(std::numeric_limits<long>::max(), 1);
            ++slices;
        }
        QVERIFY(slices > 10);
        sqlite3_stmt *exact = conn->prepare(
            QStringLiteral("SELECT rowid FROM t ORDER BY name COLLATE JETTEXT%1, rowid").arg(descending ? QStringLiteral(" DESC") : QString()),
            QStringLiteral("walk"));
        long row = 0;
        while (sqlite3_step(exact) == SQLITE_ROW) {
            QVERIFY2(row < keys.rows(), "fewer rows than the exact statement");
            QCOMPARE(keys.key(row, 0), sqlite3_column_int64(exact, 0));
            ++row;
        }
        sqlite3_finalize(exact);
        QCOMPARE(long(keys.rows()), row);
    }
}

QTEST_GUILESS_MAIN(TestKeyedPiece)
#include "tst_keyedpiece.moc"
