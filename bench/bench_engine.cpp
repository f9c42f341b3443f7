// Engine timings on a working database of realistic size. Prints each figure
// beside its target; exits non-zero when a target is missed.
//
//   bench_engine [rows]      (default 1,000,000 rows in betrieb)
#include "engine/Database.h"
#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr const char *kTemplate = PLOXA_PROGRAM_DIR "/px_4x_b.mdb";
bool g_ok = true;

QString businessNumber(long i)
{
    return QStringLiteral("%1").arg(i, 9, 10, QLatin1Char('0'));
}

void report(const char *what, double value, const char *unit, double target = -1)
{
    const bool met = target < 0 || value <= target;
    if (!met)
        g_ok = false;
    if (target < 0)
        std::printf("%-52s %10.3f %s\n", what, value, unit);
    else
        std::printf("%-52s %10.3f %s   (target < %.0f %s) %s\n", what, value, unit, target, unit,
                    met ? "ok" : "MISSED");
}

bool copyTemplate(const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(QString::fromUtf8(kTemplate), to))
        return false;
    return QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

sqlite3 *openRaw(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    engine::registerSqlFunctions(db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    return db;
}

void bindText(sqlite3_stmt *st, int i, const QString &v)
{
    const QByteArray b = v.toUtf8();
    sqlite3_bind_text(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

// The columns the import writes for one business row, with their values.
struct Row
{
    QString values[8];
};
const char *const kColumns[8] = {"gem-kz",   "betr-nr",       "betr-hist-nr", "b-eintr-name",
                                 "meld-art", "anzeige-datum", "betr-beginn",  "schluesselfeld"};

Row makeRow(long i, int hist)
{
    Row r;
    r.values[0] = QStringLiteral("0%1000").arg(1001 + i % 500);
    r.values[1] = businessNumber(i);
    r.values[2] = QString::number(hist);
    r.values[3] = QStringLiteral("Betrieb Nummer %1 GmbH & Co. KG").arg(i);
    r.values[4] = QStringLiteral("%1").arg(1 + i % 3);
    r.values[5] = QStringLiteral("01.02.2003");
    r.values[6] = QStringLiteral("15.03.1999");
    r.values[7] = QStringLiteral("K%1").arg(i % 40);
    return r;
}

// Fills betrieb with plain prepared inserts: two history rows per business.
// The indexes are built after the rows, which is how SQLite builds them fastest.
void fillTable(const QString &path, long rows)
{
    sqlite3 *db = openRaw(path);
    QByteArray indexes;
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT name, sql FROM sqlite_master WHERE type='index' AND tbl_name='betrieb'", -1, &st,
                           nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            indexes += reinterpret_cast<const char *>(sqlite3_column_text(st, 1));
            indexes += ";\n";
            const QByteArray drop =
                "DROP INDEX [" + QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))) + "]";
            sqlite3_exec(db, drop.constData(), nullptr, nullptr, nullptr);
        }
        sqlite3_finalize(st);
    }
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *ins = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO betrieb ([gem-kz],[betr-nr],[betr-hist-nr],[b-eintr-name],[meld-art],[anzeige-datum],"
        "[betr-beginn],[schluesselfeld]) VALUES (?,?,?,?,?,?,?,?)",
        -1, &ins, nullptr);
    for (long i = 0; i < rows; ++i) {
        const Row r = makeRow(i / 2, int(i % 2));
        for (int c = 0; c < 8; ++c)
            bindText(ins, c + 1, r.values[c]);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_exec(db, indexes.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

void benchLookups(const QString &path, long rows)
{
    QElapsedTimer t;
    t.start();
    auto db = engine::Database::open(path);
    const double openDb = msSince(t);
    t.restart();
    auto rs = db->openRecordset(QStringLiteral("betrieb"));
    const double openRs = msSince(t);
    report("Database::open (first handle on the file)", openDb, "ms");
    report("openRecordset(\"betrieb\") table dynaset", openRs, "ms", 50);
    t.restart();
    auto rs2 = db->openRecordset(QStringLiteral("betrieb"));
    report("openRecordset(\"betrieb\") again", msSince(t), "ms", 50);
    rs2->close();

    const long businesses = rows / 2;
    auto *rng = QRandomGenerator::global();
    constexpr int kRounds = 500;
    double findFirst = 0, findNext = 0, findNextMiss = 0, findFirstMiss = 0, worst = 0;
    for (int k = 0; k < kRounds; ++k) {
        const QString crit =
            QStringLiteral("[betr-nr] = '%1'").arg(businessNumber(long(rng->bounded(quint32(businesses)))));
        t.restart();
        rs->findFirst(crit);
        const double a = msSince(t);
        t.restart();
        rs->findNext(crit);
        const double b = msSince(t);
        t.restart();
        rs->findNext(crit);
        const double c = msSince(t);
        if (rs->noMatch() == false)
            std::printf("unexpected third match for %s\n", qPrintable(crit));
        findFirst += a;
        findNext += b;
        findNextMiss += c;
        worst = std::max({worst, a, b, c});
        t.restart();
        rs->findFirst(QStringLiteral("[betr-nr] = 'X%1'").arg(k));
        findFirstMiss += msSince(t);
    }
    report("FindFirst on [betr-nr] (found), mean", findFirst / kRounds, "ms", 1);
    report("FindNext on [betr-nr] (found), mean", findNext / kRounds, "ms", 1);
    report("FindNext on [betr-nr] (no further match), mean", findNextMiss / kRounds, "ms", 1);
    report("FindFirst on [betr-nr] (no match), mean", findFirstMiss / kRounds, "ms", 1);
    report("slowest single find", worst, "ms");

    t.restart();
    const QString mh = QStringLiteral("[betr-nr] = '%1' AND [betr-hist-nr] = '1'").arg(businessNumber(businesses / 3));
    rs->findFirst(mh);
    report("FindFirst on [betr-nr] AND [betr-hist-nr]", msSince(t), "ms", 1);

    // The import's delete loop: FindFirst, then Delete + FindNext until NoMatch.
    double del = 0;
    int deleted = 0;
    for (int k = 0; k < kRounds; ++k) {
        const QString crit = QStringLiteral("[betr-nr] = '%1'").arg(businessNumber(long(k) * (businesses / kRounds)));
        t.restart();
        rs->findFirst(crit);
        while (!rs->noMatch()) {
            rs->deleteRow();
            ++deleted;
            rs->findNext(crit);
        }
        del += msSince(t);
    }
    report("delete loop for one business (2 rows), mean", del / kRounds, "ms", 3);
    if (deleted != 2 * kRounds)
        std::printf("delete loop removed %d rows, expected %d\n", deleted, 2 * kRounds);

    t.restart();
    const long count = rs->recordCount();
    report("RecordCount", msSince(t), "ms");
    t.restart();
    rs->moveLast();
    rs->moveFirst();
    report("MoveLast + MoveFirst", msSince(t), "ms");
    if (count != rows - deleted)
        std::printf("RecordCount %ld, expected %ld\n", count, rows - deleted);
    // Query sets hold their result; the export's full selection is the largest one.
    t.restart();
    auto all = db->openRecordset(
        QStringLiteral("SELECT distinctrow * FROM betrieb ORDER BY betrieb.[betr-nr], betrieb.[betr-hist-nr];"));
    report("open the export's selection of every row (query set)", msSince(t), "ms");
    t.restart();
    auto one = db->openRecordset(QStringLiteral("SELECT DISTINCTROW * FROM betrieb WHERE betrieb.[betr-nr] = '%1';")
                                     .arg(businessNumber(businesses / 2 + 1)));
    report("open the record window's query for one business", msSince(t), "ms", 50);
    if (one->recordCount() != 2)
        std::printf("record window query found %ld rows, expected 2\n", one->recordCount());
    all->close();
    one->close();
    rs->close();
    db->close();
}

void benchInserts(const QString &dir, long rows)
{
    const QString viaEngine = dir + QStringLiteral("/insert_engine.mdb");
    const QString viaPlain = dir + QStringLiteral("/insert_plain.mdb");
    copyTemplate(viaEngine);
    copyTemplate(viaPlain);

    std::vector<Row> data;
    data.reserve(size_t(rows));
    for (long i = 0; i < rows; ++i)
        data.push_back(makeRow(i, 0));
    QString names[8];
    for (int c = 0; c < 8; ++c)
        names[c] = QString::fromLatin1(kColumns[c]);

    // Same rows, same columns, same indexes, one transaction each.
    QElapsedTimer t;
    sqlite3 *raw = openRaw(viaPlain);
    t.start();
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *ins = nullptr;
    sqlite3_prepare_v2(
        raw,
        "INSERT INTO betrieb ([gem-kz],[betr-nr],[betr-hist-nr],[b-eintr-name],[meld-art],[anzeige-datum],"
        "[betr-beginn],[schluesselfeld]) VALUES (?,?,?,?,?,?,?,?)",
        -1, &ins, nullptr);
    for (const Row &r : data) {
        for (int c = 0; c < 8; ++c)
            bindText(ins, c + 1, r.values[c]);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    const double plain = msSince(t);
    sqlite3_close(raw);

    auto db = engine::Database::open(viaEngine);
    auto rs = db->openRecordset(QStringLiteral("betrieb"));
    t.restart();
    db->beginTrans();
    for (const Row &r : data) {
        rs->addNew();
        for (int c = 0; c < 8; ++c)
            rs->setValue(names[c], r.values[c]);
        rs->update();
    }
    db->commitTrans();
    const double engine = msSince(t);
    const long stored = rs->recordCount();
    rs->close();
    db->close();

    std::printf("\n%ld rows, 8 columns each, one transaction:\n", rows);
    report("plain prepared INSERT", plain, "ms");
    report("AddNew / setValue by name / Update", engine, "ms");
    report("ratio AddNew/Update : plain INSERT", engine / plain, "x", 3);
    if (stored != rows)
        std::printf("stored %ld rows, expected %ld\n", stored, rows);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.mdb"));
    if (!copyTemplate(big)) {
        std::fprintf(stderr, "template %s not found\n", kTemplate);
        return 2;
    }
    QElapsedTimer t;
    t.start();
    fillTable(big, rows);
    std::printf("built betrieb with %ld rows in %.1f s\n\n", rows, double(t.elapsed()) / 1000.0);

    benchLookups(big, rows);
    benchInserts(dir.path(), rows / 10);
    std::printf("\n%s\n", g_ok ? "all targets met" : "SOME TARGETS MISSED");
    return g_ok ? 0 : 1;
}
