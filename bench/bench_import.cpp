// Transfer-file import throughput: generates a synthetic transfer file,
// imports it through Upd_1_Start (the path of the menu) into a fresh working
// database and then once more over the same rows (every delete hits), and
// compares with plain prepared-statement inserts of the same rows in one
// transaction. Prints each figure beside its target; exits non-zero when a
// target is missed.
//
//   bench_import [businesses] [persons per business]   (default 100,000 and 2)
#include "exchange/Import.h"

#include "engine/Database.h"
#include "platform/Cp1252.h"
#include "platform/MessageService.h"
#include "record/Frm_Start.h"
#include "storage/DatabaseHandling.h"
#include "storage/Declare.h"
#include "storage/Options.h"

#include <sqlite3.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool g_ok = true;

struct Row
{
    const char *table;
    std::vector<std::pair<QString, QString>> fields; // stored form
};

// One business as the export writes it (lines) and as it must land (rows).
struct Business
{
    QStringList lines;
    std::vector<Row> rows;
};

QString fileDate(int i)
{
    return QStringLiteral("%1%2%3")
        .arg(1990 + i % 30)
        .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
        .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
}

QString storedDate(const QString &d)
{
    return d.mid(6, 2) + QLatin1Char('.') + d.mid(4, 2) + QLatin1Char('.') + d.left(4);
}

bool isDate(const QString &column)
{
    return column.endsWith(QLatin1String("datum")) || column == QLatin1String("betr-beginn") ||
           column == QLatin1String("tk-beginn");
}

class Builder
{
public:
    explicit Builder(Business &b) : m_b(b) {}
    void line(const QString &l) { m_b.lines << l; }
    // A field element; dates go into the file as YYYYMMDD.
    void field(Row &row, const QString &column, const QString &value)
    {
        m_b.lines << QLatin1Char('<') + column + QLatin1Char('>') + value + QStringLiteral("</") + column +
                         QLatin1Char('>');
        row.fields.emplace_back(column, isDate(column) ? storedDate(value) : value);
    }
    Row &row(const char *table)
    {
        m_b.rows.push_back(Row{table, {}});
        return m_b.rows.back();
    }

private:
    Business &m_b;
};

Business makeBusiness(int i, int persons)
{
    Business b;
    Builder w(b);
    const QString nr = QStringLiteral("%1").arg(i, 9, 10, QLatin1Char('0'));
    const QString hist = QStringLiteral("1");
    w.line(QStringLiteral("<betrieb>"));
    {
        Row &r = w.row("betrieb");
        w.field(r, QStringLiteral("gem-kz"), QStringLiteral("01001000"));
        w.field(r, QStringLiteral("betr-nr"), nr);
        w.field(r, QStringLiteral("betr-hist-nr"), hist);
        w.field(r, QStringLiteral("b-eintr-name"), QStringLiteral("Gärtnerei Müller & Söhne Nr. %1").arg(i));
        w.field(r, QStringLiteral("b-rechtsform"), QStringLiteral("210"));
        w.field(r, QStringLiteral("meld-art"), QStringLiteral("01"));
        w.field(r, QStringLiteral("meld-art-text"), QStringLiteral("Anmeldung"));
        w.field(r, QStringLiteral("anzeige-datum"), fileDate(i));
        w.field(r, QStringLiteral("meld-datum"), fileDate(i + 3));
        w.field(r, QStringLiteral("meld-grund-text"), QStringLiteral("Neuerrichtung/Neugründung"));
        w.field(r, QStringLiteral("besch-zahl-vollzeit"), QString::number(i % 40));
        w.field(r, QStringLiteral("betr-art-text"), QStringLiteral("Hauptniederlassung"));
        w.field(r, QStringLiteral("b-reg-ort"), QStringLiteral("Amtsgericht Kiel"));
        w.field(r, QStringLiteral("b-eintr-nr"), QStringLiteral("HRA %1").arg(i));
        w.field(r, QStringLiteral("betr-beginn"), fileDate(i + 7));
        w.field(r, QStringLiteral("b-bemerkung"), QStringLiteral("Synthetischer Betrieb für die Zeitmessung."));
    }
    w.line(QStringLiteral("<adressen>"));
    for (int a = 1; a <= 2; ++a) {
        w.line(QStringLiteral("<adresse art=\"%1\">").arg(a));
        Row &r = w.row("betrieb_adresse");
        r.fields.emplace_back(QStringLiteral("betr-nr"), nr);
        r.fields.emplace_back(QStringLiteral("betr-hist-nr"), hist);
        w.field(r, QStringLiteral("b-adr-art"), QString::number(a));
        w.field(r, QStringLiteral("b-strasse"), QStringLiteral("Holstenstraße"));
        w.field(r, QStringLiteral("b-hausnr-von"), QString::number(1 + i % 200));
        w.field(r, QStringLiteral("b-plz"), QStringLiteral("24103"));
        w.field(r, QStringLiteral("b-ort"), QStringLiteral("Kiel"));
        w.field(r, QStringLiteral("b-tel-nr"), QStringLiteral("0431 %1").arg(i));
        w.line(QStringLiteral("</adresse>"));
    }
    w.line(QStringLiteral("</adressen>"));
    w.line(QStringLiteral("<taetigkeiten>"));
    for (int t = 0; t < 2; ++t) {
        w.line(QStringLiteral("<taetigkeit>"));
        Row &r = w.row("betrieb_taetigkeit");
        r.fields.emplace_back(QStringLiteral("betr-nr"), nr);
        r.fields.emplace_back(QStringLiteral("betr-hist-nr"), hist);
        w.field(r, QStringLiteral("tk-schl"), QStringLiteral("47.%1").arg(10 + t));
        w.field(r, QStringLiteral("tk-schwerp"), t == 0 ? QStringLiteral("1") : QStringLiteral("0"));
        w.field(r, QStringLiteral("tk-beginn"), fileDate(i + t));
        w.field(r, QStringLiteral("tk-originaltext"),
                QStringLiteral("Einzelhandel mit Blumen, Pflanzen und Sämereien"));
        w.line(QStringLiteral("</taetigkeit>"));
    }
    w.line(QStringLiteral("</taetigkeiten>"));
    w.line(QStringLiteral("<b-erlaubnisse>"));
    {
        w.line(QStringLiteral("<b-erlaubnis>"));
        Row &r = w.row("betrieb_erlaubnis");
        r.fields.emplace_back(QStringLiteral("betr-nr"), nr);
        r.fields.emplace_back(QStringLiteral("betr-hist-nr"), hist);
        w.field(r, QStringLiteral("b-erl-datum"), fileDate(i + 11));
        w.field(r, QStringLiteral("b-erl-art"), QStringLiteral("§ 34c GewO"));
        w.field(r, QStringLiteral("b-erl-behoerde"), QStringLiteral("Landeshauptstadt Kiel"));
        w.line(QStringLiteral("</b-erlaubnis>"));
    }
    w.line(QStringLiteral("</b-erlaubnisse>"));
    w.line(QStringLiteral("<personen>"));
    for (int p = 0; p < persons; ++p) {
        const bool jp = p == 0;
        const QString pers = QStringLiteral("P%1-%2").arg(i).arg(p);
        Row link{"beziehung_betrieb_person",
                 {{QStringLiteral("bez-betr-nr"), nr},
                  {QStringLiteral("bez-sort-nr"), QString::number(p + 1)},
                  {QStringLiteral("bez-betr-hist-nr"), hist},
                  {QStringLiteral("bez-pers-nr"), pers}}};
        w.line(QStringLiteral("<person>"));
        const QString funktion = jp ? QStringLiteral("4") : QStringLiteral("2");
        w.line(QStringLiteral("<p-funktion>") + funktion + QStringLiteral("</p-funktion>"));
        w.line(QStringLiteral("<p-eintr-datum>") + fileDate(i + p) + QStringLiteral("</p-eintr-datum>"));
        link.fields.emplace_back(QStringLiteral("p-funktion"), funktion);
        link.fields.emplace_back(QStringLiteral("p-eintr-datum"), storedDate(fileDate(i + p)));
        link.fields.emplace_back(QStringLiteral("p-austr-datum"), QString());
        if (!jp)
            link.fields.emplace_back(QStringLiteral("pers-nr-jp"), QStringLiteral("P%1-0").arg(i));
        Row &r = w.row("person");
        w.field(r, QStringLiteral("pers-nr"), pers);
        w.field(r, QStringLiteral("p-art"), jp ? QStringLiteral("JP") : QStringLiteral("NP"));
        if (jp) {
            w.field(r, QStringLiteral("p-eintr-name"), QStringLiteral("Müller Verwaltungs GmbH %1").arg(i));
            w.field(r, QStringLiteral("p-rechtsform-text"), QStringLiteral("Gesellschaft mit beschränkter Haftung"));
            w.field(r, QStringLiteral("p-reg-ort"), QStringLiteral("Amtsgericht Kiel"));
        } else {
            w.field(r, QStringLiteral("fam-name"), QStringLiteral("Müller"));
            w.field(r, QStringLiteral("vornamen"), QStringLiteral("Hans-Jürgen %1").arg(p));
            w.field(r, QStringLiteral("geschlecht"), QStringLiteral("m"));
            w.field(r, QStringLiteral("geb-datum"), fileDate(i * 7 + p));
            w.field(r, QStringLiteral("geb-ort"), QStringLiteral("Lübeck"));
            w.field(r, QStringLiteral("p-strasse"), QStringLiteral("Dänische Straße"));
            w.field(r, QStringLiteral("p-plz"), QStringLiteral("24103"));
            w.field(r, QStringLiteral("p-ort"), QStringLiteral("Kiel"));
        }
        if (!jp) {
            w.line(QStringLiteral("<staatsangehoerigkeiten>"));
            w.line(QStringLiteral("<staatsangehoerigkeit>"));
            Row &s = w.row("person_staatsang");
            w.field(s, QStringLiteral("staat-text"), QStringLiteral("deutsch"));
            w.field(s, QStringLiteral("staat-schl"), QStringLiteral("000"));
            s.fields.emplace_back(QStringLiteral("pers-nr"), pers);
            w.line(QStringLiteral("</staatsangehoerigkeit>"));
            w.line(QStringLiteral("</staatsangehoerigkeiten>"));
            w.line(QStringLiteral("<p-erlaubnisse>"));
            w.line(QStringLiteral("<p-erlaubnis>"));
            Row &e = w.row("person_erlaubnis");
            w.field(e, QStringLiteral("p-erl-datum"), fileDate(i + 5));
            w.field(e, QStringLiteral("p-erl-art"), QStringLiteral("Sachkundenachweis"));
            e.fields.emplace_back(QStringLiteral("pers-nr"), pers);
            e.fields.emplace_back(QStringLiteral("betr-nr"), nr);
            w.line(QStringLiteral("</p-erlaubnis>"));
            w.line(QStringLiteral("</p-erlaubnisse>"));
        }
        w.line(QStringLiteral("</person>"));
        b.rows.push_back(std::move(link));
    }
    w.line(QStringLiteral("</personen>"));
    w.line(QStringLiteral("</betrieb>"));
    return b;
}

qint64 writeTransferFile(const QString &path, int businesses, int persons, qint64 &rows)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    const QString head =
        QStringLiteral("<gewerbedatei xmlns:ploxaML='http://ploxa.de/rml/1'>\n<verwaltungsblock>\n"
                       "<verarbeitungsart>MIGRATION</verarbeitungsart>\n<struktur>BETRIEBSBEZOGEN</struktur>\n"
                       "<rml-version>1.5.1</rml-version>\n<erstelldatum>20250101</erstelldatum>\n"
                       "<zahl-betriebe-gesamt>%1</zahl-betriebe-gesamt>\n</verwaltungsblock>\n<datenblock>\n")
            .arg(businesses);
    QString chunk = head;
    rows = 0;
    for (int i = 0; i < businesses; ++i) {
        const Business b = makeBusiness(i, persons);
        rows += qint64(b.rows.size());
        chunk += b.lines.join(QLatin1Char('\n'));
        chunk += QLatin1Char('\n');
        if (chunk.size() > 1 << 20) {
            chunk.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
            f.write(platform::toCp1252(chunk));
            chunk.clear();
        }
    }
    chunk += QStringLiteral("</datenblock>\n</gewerbedatei>\n");
    chunk.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    f.write(platform::toCp1252(chunk));
    return f.size();
}

double peakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

void report(const char *what, double value, const char *unit, double target = -1, bool atLeast = true)
{
    const bool met = target < 0 || (atLeast ? value >= target : value <= target);
    if (!met)
        g_ok = false;
    if (target < 0)
        std::printf("%-48s %12.1f %s\n", what, value, unit);
    else
        std::printf("%-48s %12.1f %s   (target %s %.0f %s) %s\n", what, value, unit, atLeast ? ">=" : "<=", target,
                    unit, met ? "ok" : "MISSED");
}

// The same rows through prepared statements in one transaction, without any
// of the import's work: the floor for what the engine can do.
double plainInserts(const QString &path, int businesses, int persons)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    QHash<QString, sqlite3_stmt *> statements;
    QElapsedTimer t;
    t.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < businesses; ++i) {
        const Business b = makeBusiness(i, persons);
        for (const Row &r : b.rows) {
            QStringList cols, marks;
            for (const auto &f : r.fields) {
                cols << QLatin1Char('"') + f.first + QLatin1Char('"');
                marks << QStringLiteral("?");
            }
            const QString sql =
                QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                    .arg(QString::fromLatin1(r.table), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
            sqlite3_stmt *&st = statements[sql];
            if (!st)
                sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
            int k = 1;
            for (const auto &f : r.fields) {
                const QByteArray v = f.second.toUtf8();
                sqlite3_bind_text(st, k++, v.constData(), int(v.size()), SQLITE_TRANSIENT);
            }
            sqlite3_step(st);
            sqlite3_reset(st);
        }
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    for (sqlite3_stmt *st : std::as_const(statements))
        sqlite3_finalize(st);
    sqlite3_close(db);
    return seconds;
}

void setUpProgramDirectory(const QString &root)
{
    QDir(root).mkpath(QStringLiteral("Log"));
    QDir(root).mkpath(QStringLiteral("Dat"));
    QDir(root).mkpath(QStringLiteral("DB"));
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

long countRows(const char *table)
{
    auto rs =
        G().Datenbank_Daten->openRecordset(QStringLiteral("SELECT count(*) FROM [%1]").arg(QString::fromLatin1(table)));
    return rs->value(0).toLongLong();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int businesses = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int persons = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;

    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    setUpProgramDirectory(root);
    Frm_Start window;
    window.installHooks();
    window.show();
    G().forms.processEvents = [] { QCoreApplication::processEvents(); };
    // Time spent compacting between pieces (the status line names it).
    static QElapsedTimer compacting;
    static double compactSeconds = 0;
    static int compactions = 0;
    const auto showStatus = G().forms.setStatusText;
    G().forms.setStatusText = [showStatus](const QString &text) {
        if (compacting.isValid()) {
            compactSeconds += double(compacting.nsecsElapsed()) / 1e9;
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

    QElapsedTimer t;
    t.start();
    qint64 rows = 0;
    const QString file = G().Verz_Dat + QStringLiteral("bench.rml");
    const qint64 bytes = writeTransferFile(file, businesses, persons, rows);
    std::printf("generated %d businesses, %lld rows, %.1f MB in %.1f s\n", businesses, rows, double(bytes) / 1e6,
                double(t.nsecsElapsed()) / 1e9);
    const double afterGenerate = peakMegabytes();

    t.restart();
    Upd_1_Start(file);
    const double fresh = double(t.nsecsElapsed()) / 1e9;
    const double afterFresh = peakMegabytes();
    const long stored = countRows("betrieb");
    t.restart();
    Upd_1_Start(file);
    const double again = double(t.nsecsElapsed()) / 1e9;
    const double afterAgain = peakMegabytes();
    const long storedAgain = countRows("betrieb");
    if (stored != businesses || storedAgain != businesses) {
        std::printf("WRONG RESULT: %ld / %ld betrieb rows after import / re-import, expected %d\n", stored, storedAgain,
                    businesses);
        g_ok = false;
    }
    const qint64 dbBytes = QFileInfo(G().Datei_DB_Daten).size();

    const QString plainDb = root + QStringLiteral("plain.mdb");
    QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/px_4x_b.mdb"), plainDb);
    QFile::setPermissions(plainDb, QFile::ReadOwner | QFile::WriteOwner);
    const double plain = plainInserts(plainDb, businesses, persons);

    std::printf("\n");
    report("fresh import: businesses/s", businesses / fresh, "1/s", 3000);
    report("fresh import: rows/s", double(rows) / fresh, "1/s");
    report("re-import (all deletes hit): businesses/s", businesses / again, "1/s", 3000);
    report("re-import: rows/s", double(rows) / again, "1/s");
    report("re-import time / fresh import time", again / fresh, "x", 2, false);
    report("plain prepared inserts: rows/s", double(rows) / plain, "1/s");
    report("fresh import time / plain insert time", fresh / plain, "x");
    report("peak memory after generating", afterGenerate, "MB");
    report("peak memory after fresh import", afterFresh, "MB");
    report("peak memory after re-import", afterAgain, "MB");
    report("working database size", double(dbBytes) / 1e6, "MB");
    std::printf("%-48s %12.1f s in %d compactions between pieces (both imports)\n", "compaction", compactSeconds,
                compactions);

    // The reader holds one piece and the longest block, whatever the file's
    // size; the time grows with the businesses and the compactions.
    const double perGb = 1e9 / double(bytes);
    std::printf("\n1 GB file: about %.0f businesses, fresh import about %.0f s, re-import about %.0f s,\n"
                "           peak memory stays near %.0f MB (bounded by the piece size, not the file)\n",
                businesses * perGb, fresh * perGb, again * perGb, afterAgain);
    report("peak memory (for any file size)", afterAgain, "MB", 200, false);
    std::fflush(stdout);
    // Handles go before the engine's own statics do.
    platform::MessageService::clearScript();
    G().reset();
    return g_ok ? 0 : 1;
}
