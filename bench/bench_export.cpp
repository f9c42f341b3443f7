// Transfer-file export through the program's own path against raw SQLite.
//
// For each size: fills a fresh working database with businesses shaped like
// real ones (12 rows each, stored through checked raw inserts), exports all
// of them with RML_Exp_1 into Dat, and in the same run writes the same body
// with raw prepared statements: one read of betrieb in export order, then per
// business the reads of its sub-blocks and persons, each line formatted and
// written as the file carries it. The baseline must read every stored row,
// and the program's file must hold, from "<datenblock>" on, the very bytes
// the baseline wrote; otherwise the benchmark fails. Each size runs in its
// own process, so that its peak memory is its own; the export must stay at
// 10,000 businesses/s or more and its peak memory at 120 MB or less.
//
//   bench_export [businesses ...]   (default 10000 100000 300000)
#include "TransferBench.h"

#include "exchange/DateColumns.h"
#include "exchange/ProgExp.h"

#include "engine/Database.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "storage/DatabaseHandling.h"
#include "storage/Options.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

bool g_targetsMet = true;

void target(const char *what, double value, double limit, bool atLeast, const char *unit)
{
    const bool met = atLeast ? value >= limit : value <= limit;
    g_targetsMet = g_targetsMet && met;
    std::printf("  %-34s %9.2f %-4s (target %s %g) %s\n", what, value, unit, atLeast ? ">=" : "<=", limit,
                met ? "ok" : "MISSED");
}

// The body as the file carries it, written by hand over raw statements.
class RawExport
{
public:
    RawExport(bench::RawDb &db, const QString &path) : m_db(db), m_file(path)
    {
        if (!m_file.open(QIODevice::WriteOnly))
            bench::fail(QStringLiteral("cannot write ") + path);
    }

    void run()
    {
        line(QStringLiteral("<datenblock>"));
        sqlite3_stmt *betriebe =
            m_db.statement(QStringLiteral("SELECT * FROM betrieb ORDER BY \"betr-nr\", \"betr-hist-nr\""));
        int rc;
        while ((rc = sqlite3_step(betriebe)) == SQLITE_ROW) {
            ++read["betrieb"];
            const QString nr = text(betriebe, column(betriebe, "betr-nr"));
            const QString hist = text(betriebe, column(betriebe, "betr-hist-nr"));
            line(QStringLiteral("<betrieb>"));
            for (const char *key : {"gem-kz", "betr-nr", "betr-hist-nr"})
                element(QString::fromLatin1(key), text(betriebe, column(betriebe, key)).trimmed());
            fields(betriebe, false);
            static const char *const blocks[][3] = {{"betrieb_meldgrundsonst", "meld-gruende-sonst", "meld-grund-sonst"},
                                                    {"betrieb_adresse", "adressen", "adresse"},
                                                    {"betrieb_taetigkeit", "taetigkeiten", "taetigkeit"},
                                                    {"betrieb_handwerkskarte", "b-handwerkskarten", "b-handwerkskarte"},
                                                    {"betrieb_erlaubnis", "b-erlaubnisse", "b-erlaubnis"}};
            for (const auto &b : blocks) {
                sqlite3_stmt *st = m_db.statement(
                    QStringLiteral("SELECT * FROM \"%1\" WHERE \"betr-nr\" = ? AND \"betr-hist-nr\" = ? ORDER BY rowid")
                        .arg(QString::fromLatin1(b[0])));
                m_db.bind(st, 1, nr);
                m_db.bind(st, 2, hist);
                items(st, b[0], b[1], b[2], false);
            }
            persons(nr, hist);
            line(QStringLiteral("</betrieb>"));
        }
        if (rc != SQLITE_DONE)
            bench::fail(QStringLiteral("reading betrieb"));
        line(QStringLiteral("</datenblock>"));
        line(QStringLiteral("</gewerbedatei>"));
        flush();
    }

    std::map<QString, long> read;

private:
    static int column(sqlite3_stmt *st, const char *name)
    {
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            if (qstrcmp(sqlite3_column_name(st, i), name) == 0)
                return i;
        bench::fail(QStringLiteral("no column ") + QString::fromLatin1(name));
    }

    static QString text(sqlite3_stmt *st, int i)
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)),
                                 sqlite3_column_bytes(st, i));
    }

    void line(const QString &l)
    {
        m_out += platform::toCp1252(l);
        m_out += "\r\n";
        if (m_out.size() > 1 << 20)
            flush();
    }

    void flush()
    {
        if (m_file.write(m_out) != m_out.size())
            bench::fail(QStringLiteral("writing ") + m_file.fileName());
        m_out.clear();
    }

    void element(const QString &name, const QString &value)
    {
        line(QLatin1Char('<') + name + QLatin1Char('>') + value + QStringLiteral("</") + name + QLatin1Char('>'));
    }

    // The field elements of the current row: every column with a value but
    // the keys, dates in the file's form, values cleaned.
    void fields(sqlite3_stmt *st, bool withoutPerson)
    {
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const QString name = QString::fromUtf8(sqlite3_column_name(st, i));
            QString v = text(st, i);
            if (v.trimmed().isEmpty() || name == QLatin1String("betr-nr") || name == QLatin1String("betr-hist-nr") ||
                name == QLatin1String("gem-kz") || (withoutPerson && name == QLatin1String("pers-nr")))
                continue;
            if (exchange::isDateColumn(name))
                v = v == QLatin1String("unbekannt")    ? QStringLiteral("88888888")
                    : v == QLatin1String("unbegrenzt") ? QStringLiteral("99999999")
                                                       : v.mid(6, 4) + v.mid(3, 2) + v.left(2);
            v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
            v = v.trimmed();
            if (v.startsWith(QLatin1Char(';')))
                v.remove(0, 1);
            if (v.endsWith(QLatin1Char(';')))
                v.chop(1);
            v = v.trimmed();
            v.replace(QLatin1Char('<'), QLatin1Char(' ')).replace(QLatin1Char('>'), QLatin1Char(' '));
            element(name, v);
        }
    }

    void items(sqlite3_stmt *st, const char *table, const char *wrapper, const char *item, bool withoutPerson)
    {
        bool opened = false;
        const bool address = qstrcmp(item, "adresse") == 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            ++read[QString::fromLatin1(table)];
            if (!opened)
                line(QStringLiteral("<%1>").arg(QString::fromLatin1(wrapper)));
            opened = true;
            if (address) {
                const int kind = text(st, column(st, "b-adr-art")).trimmed().toInt();
                if (kind < 1 || kind > 4)
                    continue;
                line(QStringLiteral("<adresse art=\"%1\">").arg(kind));
            } else {
                line(QStringLiteral("<%1>").arg(QString::fromLatin1(item)));
            }
            fields(st, withoutPerson);
            line(QStringLiteral("</%1>").arg(QString::fromLatin1(item)));
        }
        if (opened)
            line(QStringLiteral("</%1>").arg(QString::fromLatin1(wrapper)));
    }

    void persons(const QString &nr, const QString &hist)
    {
        sqlite3_stmt *links = m_db.statement(
            QStringLiteral("SELECT \"bez-pers-nr\", \"p-funktion\", \"p-eintr-datum\", \"p-austr-datum\" FROM "
                           "beziehung_betrieb_person WHERE \"bez-betr-nr\" = ? AND \"bez-betr-hist-nr\" = ? "
                           "ORDER BY CAST(\"bez-sort-nr\" AS REAL), rowid"));
        m_db.bind(links, 1, nr);
        m_db.bind(links, 2, hist);
        bool opened = false;
        while (sqlite3_step(links) == SQLITE_ROW) {
            ++read[QStringLiteral("beziehung_betrieb_person")];
            const QString pers = text(links, 0);
            sqlite3_stmt *person =
                m_db.statement(QStringLiteral("SELECT * FROM person WHERE \"pers-nr\" = ? ORDER BY rowid LIMIT 1"));
            m_db.bind(person, 1, pers);
            if (sqlite3_step(person) != SQLITE_ROW)
                continue;
            ++read[QStringLiteral("person")];
            if (!opened)
                line(QStringLiteral("<personen>"));
            opened = true;
            line(QStringLiteral("<person>"));
            if (!text(links, 1).trimmed().isEmpty())
                element(QStringLiteral("p-funktion"), text(links, 1).trimmed());
            for (int i : {2, 3}) {
                const QString d = text(links, i).trimmed();
                if (!d.isEmpty())
                    element(QString::fromUtf8(sqlite3_column_name(links, i)), d.mid(6, 4) + d.mid(3, 2) + d.left(2));
            }
            fields(person, false);
            sqlite3_stmt *staat = m_db.statement(QStringLiteral(
                "SELECT \"staat-text\", \"staat-schl\" FROM person_staatsang WHERE \"pers-nr\" = ? ORDER BY rowid"));
            m_db.bind(staat, 1, pers);
            bool staatOpened = false;
            while (sqlite3_step(staat) == SQLITE_ROW) {
                ++read[QStringLiteral("person_staatsang")];
                if (!staatOpened)
                    line(QStringLiteral("<staatsangehoerigkeiten>"));
                staatOpened = true;
                line(QStringLiteral("<staatsangehoerigkeit>"));
                element(QStringLiteral("staat-text"), text(staat, 0).trimmed());
                element(QStringLiteral("staat-schl"), text(staat, 1).trimmed());
                line(QStringLiteral("</staatsangehoerigkeit>"));
            }
            if (staatOpened)
                line(QStringLiteral("</staatsangehoerigkeiten>"));
            static const char *const blocks[][3] = {{"person_erlaubnis", "p-erlaubnisse", "p-erlaubnis"},
                                                    {"person_handwerkskarte", "p-handwerkskarten", "p-handwerkskarte"}};
            for (const auto &b : blocks) {
                sqlite3_stmt *st = m_db.statement(QStringLiteral("SELECT * FROM \"%1\" WHERE \"pers-nr\" = ? AND "
                                                                 "(\"betr-nr\" = ? OR \"betr-nr\" = '') "
                                                                 "ORDER BY rowid")
                                                      .arg(QString::fromLatin1(b[0])));
                m_db.bind(st, 1, pers);
                m_db.bind(st, 2, nr);
                items(st, b[0], b[1], b[2], true);
            }
            line(QStringLiteral("</person>"));
        }
        if (opened)
            line(QStringLiteral("</personen>"));
    }

    bench::RawDb &m_db;
    QFile m_file;
    QByteArray m_out;
};

// The file from "<datenblock>" on, read piece by piece: a file of a million
// businesses read whole would outweigh the export's own memory.
class DataBlock
{
public:
    explicit DataBlock(const QString &path) : m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            bench::fail(QStringLiteral("cannot read ") + path);
        const qsizetype at = m_file.peek(1 << 16).indexOf("<datenblock>\r\n");
        if (at < 0)
            bench::fail(path + QStringLiteral(" holds no <datenblock>"));
        m_file.seek(at);
    }
    QByteArray next() { return m_file.read(1 << 20); }
    qint64 at() const { return m_file.pos(); }

private:
    QFile m_file;
};

// Fails with both texts around the first byte where the two bodies differ.
void compareBodies(const QString &program, const QString &raw)
{
    DataBlock a(program), b(raw);
    qint64 offset = 0;
    for (;;) {
        const QByteArray x = a.next(), y = b.next();
        if (x != y) {
            qsizetype at = 0;
            while (at < x.size() && at < y.size() && x[at] == y[at])
                ++at;
            bench::fail(QStringLiteral("the program's file differs from the raw export at byte %1 of the body:\n%2\n---\n%3")
                            .arg(offset + at)
                            .arg(QString::fromLatin1(x.mid(qMax<qsizetype>(0, at - 200), 300)),
                                 QString::fromLatin1(y.mid(qMax<qsizetype>(0, at - 200), 300))));
        }
        if (x.isEmpty())
            return;
        offset += x.size();
    }
}

int runOneSize(int businesses)
{
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
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
    g.forms.processEvents = [] { QCoreApplication::processEvents(); };
    platform::MessageService::setScript([](const platform::MessageRecord &) { return platform::vbYes; });
    g.Datenbank_Org =
        engine::Database::open(g.Verz_DB + QStringLiteral("PX_Org.mdb"), true, false, QStringLiteral("; pwd=wexor"));
    g.RS_Optionen = g.Datenbank_Org->openRecordset(QStringLiteral("Optionen"));
    A_org_lesen();
    const QString working = platform::resolvePath(g.Datei_DB_Daten);
    {
        bench::RawDb raw(working);
        bench::rawImport(raw, businesses, false);
        bench::checkCounts(raw, businesses, "filling the working database");
    }
    DB_Load();
    const double memoryBefore = bench::peakMegabytes();

    exchange::ExportHeader header;
    header.text = {QStringLiteral("MIGRATION"), QStringLiteral("BETRIEBSBEZOGEN"), QStringLiteral("08.12.2026"),
                   QStringLiteral("14.05.33"), QStringLiteral("Bench"), QString(), QStringLiteral("MIGRATION ACCESS"),
                   QString(), QString(), QStringLiteral("08.12.2026"), QString(), QString(), QString(), QString(),
                   exchange::rmlVersionText()};
    QElapsedTimer t;
    const double cpu = bench::cpuSeconds();
    t.start();
    RML_Exp_1(QString(), header);
    const double program = bench::seconds(t);
    const double programCpu = bench::cpuSeconds() - cpu;
    const double memoryAfter = bench::peakMegabytes();
    const QStringList files = QDir(g.Verz_Dat).entryList({QStringLiteral("*.rml")}, QDir::Files);
    if (files.size() != 1)
        bench::fail(QStringLiteral("%1 files written for one export").arg(files.size()));
    const QString exported = g.Verz_Dat + files.first();

    const QString rawPath = root + QStringLiteral("raw.rml");
    double raw = 0;
    std::map<QString, long> read;
    {
        bench::RawDb db(working);
        RawExport writer(db, rawPath);
        t.restart();
        writer.run();
        raw = bench::seconds(t);
        read = writer.read;
    }
    for (const auto &[table, n] : bench::expectedRows(businesses))
        if (read[table] != n)
            bench::fail(QStringLiteral("the raw export read %1 rows of %2, expected %3").arg(read[table]).arg(table).arg(n));
    compareBodies(exported, rawPath);

    t.restart();
    RML_Exp_1(exchange::kSchluesselfeld, header);
    const double perKey = bench::seconds(t);
    const double memoryPerKey = bench::peakMegabytes();

    // One key beyond ASCII, on the business the key index holds last: the
    // export finds it out at the end of that index and sorts every row in
    // the exact order instead.
    G().Datenbank_Daten->execute(
        QStringLiteral("UPDATE betrieb SET [betr-hist-nr] = 'ü' WHERE rowid = (SELECT max(rowid) FROM betrieb)"));
    t.restart();
    RML_Exp_1(QString(), header);
    const double exact = bench::seconds(t);
    const double memoryExact = bench::peakMegabytes();

    std::printf("%d businesses, %.1f MB transfer file\n", businesses, double(QFileInfo(exported).size()) / 1e6);
    std::printf("  %-34s %9.2f s  raw %8.2f s  ratio %5.2f\n", "export of all businesses", program, raw,
                program / raw);
    std::printf("  %-34s %9.2f s\n", "processor time of the export", programCpu);
    std::printf("  %-34s %9.2f s\n", "export per key (4 files)", perKey);
    std::printf("  %-34s %9.2f s\n", "export, one key beyond ASCII", exact);
    std::printf("  %-34s %9.1f MB before, %.1f MB after the export\n", "peak memory", memoryBefore, memoryAfter);
    std::printf("  %-34s %9.1f MB after the export per key, %.1f MB after the one beyond ASCII\n", "", memoryPerKey,
                memoryExact);
    target("export: businesses/s", businesses / program, 10000, true, "1/s");
    // The export holds its selection by rowid only: its memory must not
    // grow with the number of businesses, whatever order it is read in.
    target("export: peak memory", memoryExact, 120, false, "MB");
    std::printf("\n");
    std::fflush(stdout);
    platform::MessageService::clearScript();
    G().reset();
    return g_targetsMet ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--size") {
        QCoreApplication app(argc, argv);
        return runOneSize(std::atoi(argv[2]));
    }
    return bench::runSizes(argv[0], "--size", bench::sizesFrom(argc, argv)) ? 0 : 1;
}
