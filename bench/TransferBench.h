#pragma once

// What bench_import and bench_export share: businesses of the shape real
// transfer files have (12 rows each: the business, 2 addresses, 2 activities,
// 1 permit, a juridical and a natural person with their links, the natural
// person's nationality and permit), written as a transfer file and as the
// rows it must give, and a raw SQLite connection for the baselines. A
// baseline that does not do its work is no baseline: every failed statement
// ends the benchmark loudly.

#include "engine/SqlFunctions.h"
#include "platform/Cp1252.h"
#include "storage/Declare.h"

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace bench {

constexpr int kPersons = 2;

// The tables a business fills, in the order the counts are printed.
inline const std::vector<const char *> &tables()
{
    static const std::vector<const char *> t{"betrieb",          "betrieb_adresse",  "betrieb_taetigkeit",
                                             "betrieb_erlaubnis", "person",           "person_staatsang",
                                             "person_erlaubnis", "beziehung_betrieb_person"};
    return t;
}

[[noreturn]] inline void fail(const QString &what)
{
    std::fprintf(stderr, "\nBENCHMARK FAILED: %s\n", qPrintable(what));
    std::fflush(stderr);
    std::_Exit(2);
}

struct Row
{
    const char *table;
    std::vector<std::pair<QString, QString>> fields; // stored form
};

// One business as a transfer file carries it (lines) and as it must land (rows).
struct Business
{
    QString nr;
    std::vector<QString> persons;
    QStringList lines;
    std::vector<Row> rows;
};

inline QString fileDate(int i)
{
    return QStringLiteral("%1%2%3")
        .arg(1990 + i % 30)
        .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
        .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
}

inline QString storedDate(const QString &d)
{
    return d.mid(6, 2) + QLatin1Char('.') + d.mid(4, 2) + QLatin1Char('.') + d.left(4);
}

inline bool isDate(const QString &column)
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

inline Business makeBusiness(int i)
{
    Business b;
    Builder w(b);
    const QString nr = QStringLiteral("%1").arg(i, 9, 10, QLatin1Char('0'));
    b.nr = nr;
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
        w.field(r, QStringLiteral("schluesselfeld"), QStringLiteral("K%1").arg(i % 4));
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
        w.field(r, QStringLiteral("tk-originaltext"), QStringLiteral("Einzelhandel mit Blumen, Pflanzen und Sämereien"));
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
    for (int p = 0; p < kPersons; ++p) {
        const bool jp = p == 0;
        const QString pers = QStringLiteral("P%1-%2").arg(i).arg(p);
        b.persons.push_back(pers);
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

// Rows per table that `businesses` businesses give.
inline std::map<QString, long> expectedRows(int businesses)
{
    std::map<QString, long> n;
    for (const Row &r : makeBusiness(0).rows)
        n[QString::fromLatin1(r.table)] += businesses;
    return n;
}

inline QString header(int businesses)
{
    return QStringLiteral("<gewerbedatei xmlns:ploxaML='http://ploxa.de/rml/1'>\n<verwaltungsblock>\n"
                          "<verarbeitungsart>MIGRATION</verarbeitungsart>\n<struktur>BETRIEBSBEZOGEN</struktur>\n"
                          "<rml-version>1.5.1</rml-version>\n<erstelldatum>20250101</erstelldatum>\n"
                          "<zahl-betriebe-gesamt>%1</zahl-betriebe-gesamt>\n</verwaltungsblock>\n<datenblock>\n")
        .arg(businesses);
}

// The transfer file with CR LF lines in Windows-1252; returns its size.
inline qint64 writeTransferFile(const QString &path, int businesses)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot write ") + path);
    QString chunk = header(businesses);
    for (int i = 0; i < businesses; ++i) {
        chunk += makeBusiness(i).lines.join(QLatin1Char('\n'));
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

inline double peakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// Processor time of this process so far (user and system), in seconds: on a
// machine shared with other work it varies less than the wall time.
inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline double seconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

// A copy of the empty working-database template at path.
inline void copyTemplate(const QString &path)
{
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/px_4x_b.mdb"), path))
        fail(QStringLiteral("cannot copy the template to ") + path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

// A raw SQLite connection with the settings the program's connection has
// while it imports, and the collation the schema names. Every statement is checked.
class RawDb
{
public:
    explicit RawDb(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fail(QStringLiteral("cannot open ") + path);
        engine::registerSqlFunctions(m_db);
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
        exec("PRAGMA temp_store=MEMORY");
        // The page cache the import gives its connection.
        exec("PRAGMA cache_size=-8000");
    }
    ~RawDb()
    {
        for (sqlite3_stmt *st : std::as_const(m_statements))
            sqlite3_finalize(st);
        sqlite3_close(m_db);
    }
    RawDb(const RawDb &) = delete;
    RawDb &operator=(const RawDb &) = delete;

    sqlite3 *db() const { return m_db; }

    void exec(const char *sql)
    {
        char *message = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            const QString text = QString::fromUtf8(message ? message : "?");
            sqlite3_free(message);
            fail(QStringLiteral("%1: %2").arg(QString::fromUtf8(sql), text));
        }
    }

    // Prepared once, reset before it is handed out again.
    sqlite3_stmt *statement(const QString &sql)
    {
        sqlite3_stmt *&st = m_statements[sql];
        if (!st) {
            if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
                fail(QStringLiteral("prepare %1: %2").arg(sql, QString::fromUtf8(sqlite3_errmsg(m_db))));
        } else {
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
        }
        return st;
    }

    void bind(sqlite3_stmt *st, int index, const QString &value)
    {
        const QByteArray v = value.toUtf8();
        if (sqlite3_bind_text(st, index, v.constData(), int(v.size()), SQLITE_TRANSIENT) != SQLITE_OK)
            fail(QStringLiteral("bind: ") + QString::fromUtf8(sqlite3_errmsg(m_db)));
    }

    // Steps a statement that returns no rows; returns the rows it changed.
    int run(sqlite3_stmt *st)
    {
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            fail(QStringLiteral("%1: %2").arg(QString::fromUtf8(sqlite3_sql(st)), QString::fromUtf8(sqlite3_errmsg(m_db))));
        return sqlite3_changes(m_db);
    }

    long count(const QString &table)
    {
        sqlite3_stmt *st = statement(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table));
        if (sqlite3_step(st) != SQLITE_ROW)
            fail(QStringLiteral("count of ") + table);
        const long n = long(sqlite3_column_int64(st, 0));
        sqlite3_reset(st);
        return n;
    }

private:
    sqlite3 *m_db = nullptr;
    QHash<QString, sqlite3_stmt *> m_statements;
};

// The baseline of the import: the rows of each business through prepared
// inserts, all in one transaction. With deletes, each business first takes
// away its earlier rows by the same keys the import deletes by (nine tables
// by business number, then per person its person and nationality rows and
// its permits and craft cards of this business). Returns the seconds spent
// in SQLite; generating the rows is not counted.
inline double rawImport(RawDb &db, int businesses, bool withDeletes)
{
    static const char *const businessKeys[][2] = {
        {"betrieb_adresse", "betr-nr"},   {"betrieb", "betr-nr"},
        {"betrieb_meldgrundsonst", "betr-nr"}, {"betrieb_taetigkeit", "betr-nr"},
        {"betrieb_erlaubnis", "betr-nr"}, {"betrieb_handwerkskarte", "betr-nr"},
        {"beziehung_betrieb_person", "bez-betr-nr"}, {"person_erlaubnis", "betr-nr"},
        {"person_handwerkskarte", "betr-nr"}};
    QElapsedTimer t;
    double spent = 0;
    t.start();
    db.exec("BEGIN");
    spent += seconds(t);
    for (int i = 0; i < businesses; ++i) {
        const Business b = makeBusiness(i);
        // Texts of the statements first, so that only SQLite's work is timed.
        std::vector<std::pair<QString, std::vector<QString>>> inserts;
        inserts.reserve(b.rows.size());
        for (const Row &r : b.rows) {
            QStringList cols, marks;
            std::vector<QString> values;
            for (const auto &f : r.fields) {
                cols << QLatin1Char('"') + f.first + QLatin1Char('"');
                marks << QStringLiteral("?");
                values.push_back(f.second);
            }
            inserts.emplace_back(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                     .arg(QString::fromLatin1(r.table), cols.join(QLatin1Char(',')),
                                          marks.join(QLatin1Char(','))),
                                 std::move(values));
        }
        t.restart();
        if (withDeletes) {
            for (const auto &k : businessKeys) {
                sqlite3_stmt *st = db.statement(QStringLiteral("DELETE FROM \"%1\" WHERE \"%2\" = ?")
                                                    .arg(QString::fromLatin1(k[0]), QString::fromLatin1(k[1])));
                db.bind(st, 1, b.nr);
                db.run(st);
            }
            for (const QString &pers : b.persons) {
                for (const char *table : {"person", "person_staatsang"}) {
                    sqlite3_stmt *st = db.statement(
                        QStringLiteral("DELETE FROM \"%1\" WHERE \"pers-nr\" = ?").arg(QString::fromLatin1(table)));
                    db.bind(st, 1, pers);
                    db.run(st);
                }
                for (const char *table : {"person_erlaubnis", "person_handwerkskarte"}) {
                    sqlite3_stmt *st =
                        db.statement(QStringLiteral("DELETE FROM \"%1\" WHERE \"pers-nr\" = ? AND \"betr-nr\" = ?")
                                         .arg(QString::fromLatin1(table)));
                    db.bind(st, 1, pers);
                    db.bind(st, 2, b.nr);
                    db.run(st);
                }
            }
        }
        for (const auto &[sql, values] : inserts) {
            sqlite3_stmt *st = db.statement(sql);
            for (size_t k = 0; k < values.size(); ++k)
                db.bind(st, int(k) + 1, values[k]);
            if (db.run(st) != 1)
                fail(QStringLiteral("no row stored by ") + sql);
        }
        spent += seconds(t);
    }
    t.restart();
    db.exec("COMMIT");
    spent += seconds(t);
    return spent;
}

// Fails unless every table holds exactly the rows of `businesses` businesses.
inline void checkCounts(RawDb &db, int businesses, const char *what)
{
    for (const auto &[table, n] : expectedRows(businesses)) {
        const long stored = db.count(table);
        if (stored != n)
            fail(QStringLiteral("%1: %2 rows in %3, expected %4").arg(QString::fromLatin1(what)).arg(stored).arg(table).arg(n));
    }
}

// Fails unless the tables of `other` hold exactly the rows of db's, value
// for value (compared as stored, letter case included).
inline void checkSameRows(RawDb &db, const QString &other, const char *what)
{
    sqlite3_stmt *attach = db.statement(QStringLiteral("ATTACH DATABASE ? AS other"));
    db.bind(attach, 1, other);
    db.run(attach);
    for (const char *table : tables()) {
        const QString t = QString::fromLatin1(table);
        QStringList cols;
        sqlite3_stmt *info = db.statement(QStringLiteral("PRAGMA table_info(\"%1\")").arg(t));
        while (sqlite3_step(info) == SQLITE_ROW)
            cols << QLatin1Char('"') + QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(info, 1))) +
                        QStringLiteral("\" COLLATE BINARY");
        const QString list = cols.join(QLatin1Char(','));
        for (const auto &[a, b] : {std::pair{QStringLiteral("main"), QStringLiteral("other")},
                                   std::pair{QStringLiteral("other"), QStringLiteral("main")}}) {
            sqlite3_stmt *st = db.statement(QStringLiteral("SELECT count(*) FROM (SELECT %1 FROM %2.\"%3\" EXCEPT "
                                                           "SELECT %1 FROM %4.\"%3\")")
                                                .arg(list, a, t, b));
            if (sqlite3_step(st) != SQLITE_ROW)
                fail(QStringLiteral("compare ") + t);
            const long differing = long(sqlite3_column_int64(st, 0));
            sqlite3_reset(st);
            if (differing != 0)
                fail(QStringLiteral("%1: %2 rows of %3 in %4 are not in %5").arg(QString::fromLatin1(what)).arg(differing).arg(t, a, b));
        }
    }
    db.exec("DETACH DATABASE other");
}

// Runs this program once per size with `flag`, so that each size's peak
// memory is its own; returns false when one of them failed.
inline bool runSizes(const char *program, const char *flag, const std::vector<int> &sizes)
{
    bool ok = true;
    for (const int n : sizes) {
        const QByteArray command = QByteArray(program) + ' ' + flag + ' ' + QByteArray::number(n);
        std::fflush(stdout);
        const int rc = std::system(command.constData());
        const int status = rc == -1 ? -1 : WEXITSTATUS(rc);
        if (status == 1)
            std::printf("%d businesses: targets missed\n\n", n);
        else if (status != 0)
            std::printf("%d businesses: FAILED (exit %d)\n\n", n, status);
        ok = ok && status == 0;
    }
    return ok;
}

inline std::vector<int> sizesFrom(int argc, char **argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {10000, 100000, 300000};
    return sizes;
}

} // namespace bench
