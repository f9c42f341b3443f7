// Transfer-file import through the program's own path against raw SQLite.
//
// For each size: writes a transfer file of businesses shaped like real ones
// (12 rows each), imports it with Upd_1_Start into a fresh working database
// with the record window up, then once more over the same rows (every delete
// hits). In the same run the same rows go into the same schema through
// prepared inserts in one transaction, once without and once with the
// import's keyed deletes, and that again as a second pass. The baselines must
// store every row and the program must store exactly the baseline's rows;
// otherwise the benchmark fails. Each size runs in its own process, so that
// its peak memory is its own.
//
//   bench_import [businesses ...]   (default 10000 100000 300000)
#include "TransferBench.h"

#include "exchange/Import.h"

#include "engine/Database.h"
#include "platform/MessageService.h"
#include "record/Frm_Start.h"
#include "storage/DatabaseHandling.h"
#include "storage/Options.h"

#include <QApplication>
#include <QTemporaryDir>

namespace {

bool g_targetsMet = true;

void figure(const char *what, double program, double raw, const char *unit = "s")
{
    std::printf("  %-34s %9.2f %s  raw %8.2f %s  ratio %5.2f\n", what, program, unit, raw, unit, program / raw);
}

void target(const char *what, double value, double limit, bool atLeast, const char *unit)
{
    const bool met = atLeast ? value >= limit : value <= limit;
    g_targetsMet = g_targetsMet && met;
    std::printf("  %-34s %9.2f %-4s (target %s %g) %s\n", what, value, unit, atLeast ? ">=" : "<=", limit,
                met ? "ok" : "MISSED");
}

void setUpProgramDirectory(const QString &root)
{
    for (const char *sub : {"Log", "Dat", "DB"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    for (const char *file : {"PX_Org.mdb", "px_4x_b.mdb", "px_4x_m.mdb"}) {
        const QString target = root + QStringLiteral("DB/") + QString::fromLatin1(file);
        QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/") + QString::fromLatin1(file), target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    Declare &g = G();
    g.Verz_Programm = root;
    g.Verz_Dat = root + QStringLiteral("Dat/");
    g.Verz_Log = root + QStringLiteral("Log/");
    g.Verz_DB = root + QStringLiteral("DB/");
    g.DB_Passwort = QStringLiteral("wexor");
    g.Datenbank_Org =
        engine::Database::open(g.Verz_DB + QStringLiteral("PX_Org.mdb"), true, false, QStringLiteral("; pwd=wexor"));
    g.RS_Optionen = g.Datenbank_Org->openRecordset(QStringLiteral("Optionen"));
    A_org_lesen();
    DB_Load();
}

int runOneSize(int businesses)
{
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    setUpProgramDirectory(root);
    Frm_Start window;
    window.installHooks();
    window.show();
    G().forms.processEvents = [] { QCoreApplication::processEvents(); };
    // Time spent compacting (the status line names it while it runs).
    static QElapsedTimer compacting;
    static double compactSeconds = 0;
    static int compactions = 0;
    const auto showStatus = G().forms.setStatusText;
    G().forms.setStatusText = [showStatus](const QString &text) {
        if (compacting.isValid()) {
            compactSeconds += bench::seconds(compacting);
            compacting.invalidate();
        }
        if (text.startsWith(QLatin1String("Datenbankkomprimierung"))) {
            compacting.start();
            ++compactions;
        }
        if (showStatus)
            showStatus(text);
    };
    platform::MessageService::setScript([](const platform::MessageRecord &) { return platform::vbYes; });

    const QString file = G().Verz_Dat + QStringLiteral("bench.rml");
    const qint64 bytes = bench::writeTransferFile(file, businesses);
    const double memoryBefore = bench::peakMegabytes();

    QElapsedTimer t;
    double cpu = bench::cpuSeconds();
    t.start();
    Upd_1_Start(file);
    const double fresh = bench::seconds(t);
    const double freshCpu = bench::cpuSeconds() - cpu;
    const double memoryFresh = bench::peakMegabytes();
    const double compactFresh = compactSeconds;
    const int compactionsFresh = compactions;
    const QString imported = root + QStringLiteral("imported.mdb");
    // The program's rows as the fresh import left them, for the comparison below.
    {
        bench::RawDb program(G().Datei_DB_Daten);
        bench::checkCounts(program, businesses, "fresh import");
        sqlite3_stmt *st = program.statement(QStringLiteral("VACUUM INTO ?"));
        program.bind(st, 1, imported);
        program.run(st);
    }

    cpu = bench::cpuSeconds();
    t.restart();
    Upd_1_Start(file);
    const double again = bench::seconds(t);
    const double againCpu = bench::cpuSeconds() - cpu;
    const double memoryAgain = bench::peakMegabytes();

    // The baselines.
    const QString plainPath = root + QStringLiteral("plain.mdb");
    bench::copyTemplate(plainPath);
    double plain = 0;
    {
        bench::RawDb raw(plainPath);
        plain = bench::rawImport(raw, businesses, false);
        bench::checkCounts(raw, businesses, "raw inserts");
    }
    const QString keyedPath = root + QStringLiteral("keyed.mdb");
    bench::copyTemplate(keyedPath);
    double keyed = 0, keyedAgain = 0;
    {
        bench::RawDb raw(keyedPath);
        keyed = bench::rawImport(raw, businesses, true);
        bench::checkCounts(raw, businesses, "raw inserts with deletes");
        bench::checkSameRows(raw, imported, "fresh import against raw inserts");
        keyedAgain = bench::rawImport(raw, businesses, true);
        bench::checkCounts(raw, businesses, "raw second pass");
        bench::checkSameRows(raw, G().Datei_DB_Daten, "re-import against raw second pass");
    }

    std::printf("%d businesses, %.1f MB transfer file\n", businesses, double(bytes) / 1e6);
    figure("fresh import / raw inserts", fresh, plain);
    figure("fresh import / raw with deletes", fresh, keyed);
    figure("re-import / raw second pass", again, keyedAgain);
    std::printf("  %-34s %9.2f s fresh import, %.2f s re-import\n", "processor time", freshCpu, againCpu);
    std::printf("  %-34s %9.2f s in %d compactions (fresh import), %.2f s in %d (both)\n", "compaction", compactFresh,
                compactionsFresh, compactSeconds, compactions);
    std::printf("  %-34s %9.1f MB before, %.1f MB after fresh import, %.1f MB after re-import\n", "peak memory",
                memoryBefore, memoryFresh, memoryAgain);
    target("fresh import: businesses/s", businesses / fresh, 6000, true, "1/s");
    target("re-import: businesses/s", businesses / again, 6000 / 1.3, true, "1/s");
    target("fresh import / raw with deletes", fresh / keyed, 1.6, false, "x");
    target("re-import / fresh import", again / fresh, 1.3, false, "x");
    target("peak memory", memoryAgain, 100, false, "MB");
    std::printf("\n");
    std::fflush(stdout);
    // Handles go before the engine's own statics do.
    platform::MessageService::clearScript();
    G().reset();
    return g_targetsMet ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--size") {
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toUtf8());
        QApplication app(argc, argv);
        return runOneSize(std::atoi(argv[2]));
    }
    return bench::runSizes(argv[0], "--size", bench::sizesFrom(argc, argv)) ? 0 : 1;
}
