// Timings of the two selection lists on working databases of realistic size
// and shape: every column of the tables the lists read is filled. Prints each
// figure beside its target and exits non-zero when one is missed.
//
//   bench_select [businesses ...]      (default: 200000 1000000)
//
// Each business has a location and a postal address, a juridical and a
// natural person and the two links to them (the natural person represents the
// juridical one); the business list therefore joins 2 addresses per business,
// the person list lists 2 links per business. The persons are numbered
// juridical first, so that in the person list's opening order the family
// name is Null over its first half. The tables the lists never read stay
// empty: they live in pages of their own and do not touch the lists.
//
// A filled file is kept in $PLOXA_BENCH_CACHE (default: a directory under
// the system's temporary one) under its size and the templates' indexes, and
// copied from there by later runs; delete it to fill anew.
#include "engine/Connection.h"
#include "engine/Database.h"
#include "engine/Recordset.h"
#include "platform/MessageService.h"
#include "record/Frm_Start.h"
#include "select/BusinessList.h"
#include "select/Frm_Auswahl_Betr.h"
#include "select/Frm_Auswahl_Pers.h"
#include "select/PersonList.h"
#include "select/ViewTableModel.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollBar>
#include <QStringList>
#include <QTableView>
#include <QCryptographicHash>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

bool g_ok = true;

// The resident and the peak resident memory of the process, in MiB.
double statusMiB(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string k = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(k, 0) == 0)
            return std::stod(line.substr(k.size())) / 1024.0;
    return 0;
}

// Starts a new peak from the memory resident now.
void resetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

void reportMemory(const QString &what, double target)
{
    const double peak = statusMiB("VmHWM");
    const bool met = target <= 0 || peak <= target;
    if (!met)
        g_ok = false;
    std::printf("  %-64s %9.1f MiB  (now %.1f MiB)%s\n", qPrintable(what), peak, statusMiB("VmRSS"),
                target <= 0 ? "" : met ? qPrintable(QStringLiteral(" (target <= %1 MiB) ok").arg(target))
                                       : qPrintable(QStringLiteral(" (target <= %1 MiB) MISSED").arg(target)));
}

void report(const QString &what, double ms, double target)
{
    const bool met = ms <= target;
    if (!met)
        g_ok = false;
    std::printf("  %-64s %9.1f ms   (target < %.0f ms) %s\n", qPrintable(what), ms, target, met ? "ok" : "MISSED");
    if (qEnvironmentVariableIsSet("PLOXA_BENCH_MEMORY"))
        std::printf("      memory now %.1f MiB, peak %.1f MiB\n", statusMiB("VmRSS"), statusMiB("VmHWM"));
}

void note(const QString &what, const QString &value)
{
    std::printf("  %-64s %s\n", qPrintable(what), qPrintable(value));
}

bool copyTemplate(const QString &name, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/") + name, to))
        return false;
    return QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

QStringList queryTexts(sqlite3 *db, const char *sql)
{
    QStringList out;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

void exec(sqlite3 *db, const QString &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "fill failed: %s\n%s\n", err, qPrintable(sql.left(400)));
        std::exit(2);
    }
}

// One INSERT ... SELECT over the numbers 1..rows; overrides give a column's
// value as an expression of j (row number), i (business) and k (row of the
// business); every other column gets a short text of its own.
void fillTable(sqlite3 *db, const QString &table, long rows, const QString &ik,
                      const QHash<QString, QString> &overrides)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, QStringLiteral("PRAGMA table_info([%1])").arg(table).toUtf8().constData(), -1, &st, nullptr);
    QStringList cols, values;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        const QString decl = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 2)));
        cols << QStringLiteral("[%1]").arg(name);
        if (overrides.contains(name)) {
            values << overrides.value(name);
        } else if (decl.startsWith(QLatin1String("LONGTEXT"))) {
            values << QStringLiteral("CASE WHEN j % 10 = 0 THEN 'Bemerkung zu ' || j END");
        } else {
            const int size = decl.section(QLatin1Char('('), 1).section(QLatin1Char(')'), 0, 0).toInt();
            values << QStringLiteral("substr('%1 ' || (j % 997), 1, %2)").arg(name).arg(size);
        }
    }
    sqlite3_finalize(st);
    exec(db, QStringLiteral("WITH RECURSIVE n(j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM n WHERE j < %1), "
                            "m AS (SELECT j, %2 FROM n) "
                            "INSERT INTO [%3] (%4) SELECT %5 FROM m")
                 .arg(rows)
                 .arg(ik, table, cols.join(QLatin1String(", ")), values.join(QLatin1String(", "))));
}

// n businesses, each with a location and a postal address, a juridical and
// a natural person, and the two links (the natural person represents the
// juridical one). Names mix cases and umlauts; every 50th business carries
// meld-art '999', every 7th an end date.
void fill(engine::Database &database, long n)
{
    sqlite3 *db = database.connection()->db(QStringLiteral("bench"));
    const QStringList tables{"betrieb", "betrieb_adresse", "person", "beziehung_betrieb_person"};
    QStringList indexes;
    for (const QString &t : tables)
        indexes += queryTexts(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = '%1' "
                                                 "AND sql IS NOT NULL")
                                      .arg(t)
                                      .toUtf8()
                                      .constData());
    // Dropping an index drops its planner statistics; they go back with it.
    const QStringList statistics = queryTexts(
        db, "SELECT 'INSERT INTO sqlite_stat1 (tbl, idx, stat) VALUES (' || quote(tbl) || ', ' || quote(idx) || ', ' "
            "|| quote(stat) || ')' FROM sqlite_stat1 WHERE idx IN (SELECT name FROM sqlite_master WHERE type = 'index' "
            "AND tbl_name IN ('betrieb', 'betrieb_adresse', 'person', 'beziehung_betrieb_person'))");
    for (const QString &t : tables)
        for (const QString &name : queryTexts(
                 db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = '%1' AND sql IS NOT NULL")
                         .arg(t)
                         .toUtf8()
                         .constData()))
            exec(db, QStringLiteral("DROP INDEX [%1]").arg(name));
    exec(db, QStringLiteral("BEGIN"));
    auto nr = [](const char *i) { return QStringLiteral("printf('%012d', (") + QLatin1String(i) + QStringLiteral(" * 7919) % 1000000007)"); };
    // Juridical persons (k = 0) first: business i's gets number i, its
    // natural person n + i.
    const auto persNr = [n](const char *k) {
        return QStringLiteral("printf('P%011d', i + ") + QLatin1String(k) + QStringLiteral(" * ") + QString::number(n)
               + QStringLiteral(")");
    };
    fillTable(db, QStringLiteral("betrieb"), n, QStringLiteral("j AS i, 0 AS k"),
              {{"gem-kz", "printf('%08d', 1001000 + (i % 400) * 1000)"},
               {"betr-nr", nr("i")},
               {"betr-hist-nr", "CASE WHEN i % 20 = 0 THEN '2' ELSE '1' END"},
               {"b-eintr-name", "CASE i % 4 WHEN 0 THEN 'Müller Bau' WHEN 1 THEN 'schmidt & Söhne' WHEN 2 THEN "
                                "'Änderungsschneiderei' ELSE 'Bäckerei Groß' END || ' ' || printf('%06d', (i * 104729) % "
                                "1000003)"},
               {"meld-art", "CASE WHEN i % 50 = 0 THEN '999' ELSE '100' END"},
               {"betr-ende", "CASE WHEN i % 7 = 0 THEN '31.12.2019' END"}});
    fillTable(db, QStringLiteral("betrieb_adresse"), 2 * n, QStringLiteral("j, (j + 1) / 2 AS i, (j + 1) % 2 AS k"),
              {{"betr-nr", nr("i")},
               {"betr-hist-nr", "CASE WHEN i % 20 = 0 THEN '2' ELSE '1' END"},
               {"b-adr-art", "CASE k WHEN 0 THEN '1' ELSE '2' END"},
               {"b-ort", "CASE k WHEN 0 THEN printf('Ort %03d', (i * 31) % 500) ELSE 'Postort' END"},
               {"b-strasse", "printf('Straße %d', (i * 17) % 997)"}});
    fillTable(db, QStringLiteral("person"), 2 * n, QStringLiteral("j, (j + 1) / 2 AS i, (j + 1) % 2 AS k"),
              {{"pers-nr", persNr("k")},
               {"p-art", "CASE k WHEN 0 THEN 'JP' ELSE 'NP' END"},
               {"p-eintr-name", "CASE k WHEN 0 THEN 'Holding ' || printf('%06d', (i * 7) % 1000003) END"},
               {"fam-name", "CASE k WHEN 1 THEN CASE i % 3 WHEN 0 THEN 'Meier' WHEN 1 THEN 'öztürk' ELSE 'Schulz' END "
                            "|| printf(' %05d', (i * 13) % 99991) END"}});
    fillTable(db, QStringLiteral("beziehung_betrieb_person"), 2 * n,
              QStringLiteral("j, (j + 1) / 2 AS i, (j + 1) % 2 AS k"),
              {{"bez-betr-nr", nr("i")},
               {"bez-betr-hist-nr", "CASE WHEN i % 20 = 0 THEN '2' ELSE '1' END"},
               {"bez-pers-nr", persNr("k")},
               {"p-funktion", "CASE k WHEN 0 THEN '1' ELSE '3' END"},
               {"pers-nr-jp", "CASE k WHEN 1 THEN " + persNr("0") + " END"}});
    for (const QString &sql : indexes)
        exec(db, sql);
    for (const QString &sql : statistics)
        exec(db, sql);
    exec(db, QStringLiteral("COMMIT"));
    exec(db, QStringLiteral("ANALYZE sqlite_master"));
}


template <typename F> double timed(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    QCoreApplication::processEvents();
    return double(t.nsecsElapsed()) / 1e6;
}

// Types each text into the field a character at a time; reports the worst keystroke.
template <typename List> void keystrokes(List *list, const QString &what, int field, const QString &typed, double target = 50)
{
    QLineEdit *t = list->Text1[size_t(field)];
    t->clear();
    double worst = 0, sum = 0;
    for (QChar c : typed) {
        const double ms = timed([&] { t->insert(QString(c)); });
        worst = std::max(worst, ms);
        sum += ms;
    }
    report(QStringLiteral("keystroke, %1 (worst of %2; mean %3 ms)")
               .arg(what)
               .arg(typed.size())
               .arg(sum / double(typed.size()), 0, 'f', 1),
           worst, target);
    t->clear();
}

// Reads the list to its end between events, as a user waiting would let it.
template <typename List> void settle(List *list)
{
    QElapsedTimer t;
    t.start();
    double worst = 0;
    for (;;) {
        const auto rs = list->data->Recordset();
        if (!rs || !rs->isOpen() || rs->countKnown() || t.elapsed() > 120000)
            break;
        // One turn of the event loop: what a key or a repaint waits for.
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double ms = double(turn.nsecsElapsed()) / 1e6;
        worst = std::max(worst, ms);
    }
    note(QStringLiteral("read to the end between events"),
         QStringLiteral("%1 ms, longest stretch %2 ms").arg(t.elapsed()).arg(worst, 0, 'f', 1));
}

// Types the first characters of the list's last value in `field`'s column:
// the first match lies at the list's far end. Reports the worst keystroke,
// and the time until the label shows the match's number.
template <typename List> void farSearch(List *list, const QString &what, int field, int chars, QString typed = {})
{
    const auto rs = list->data->Recordset();
    if (typed.isEmpty())
        typed = rs->lastValue(list->gridModel->field(field)).toString().left(chars);
    QLineEdit *t = list->Text1[size_t(field)];
    t->clear();
    double worst = 0;
    QElapsedTimer total;
    total.start();
    for (QChar c : typed)
        worst = std::max(worst, timed([&] { t->insert(QString(c)); }));
    report(QStringLiteral("far search: %1 (\"%2\", worst of %3)").arg(what, typed).arg(typed.size()), worst, 100);
    QElapsedTimer known;
    known.start();
    while (list->Label1->text().contains(QStringLiteral("Nr. ...")) && known.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    note(QStringLiteral("  its number known after"), QStringLiteral("%1 ms: %2").arg(total.elapsed()).arg(list->Label1->text()));
    t->clear();
}

// Jumps through the grid to its last row and back, repainting at each step.
template <typename List> void scrolling(List *list)
{
    QScrollBar *bar = list->DBGrid1->verticalScrollBar();
    double worst = 0;
    for (int step = 1; step <= 40; ++step) {
        const int at = step <= 20 ? step : 40 - step;
        const double ms = timed([&] {
            bar->setValue(bar->maximum() * at / 20);
            list->DBGrid1->viewport()->repaint();
        });
        worst = std::max(worst, ms);
    }
    report(QStringLiteral("scrolling to the last row and back: one jump and repaint (worst of 40)"), worst, 50);
    const double end = timed([&] {
        list->DBGrid1->scrollToBottom();
        list->DBGrid1->viewport()->repaint();
        list->DBGrid1->scrollToTop();
        list->DBGrid1->viewport()->repaint();
    });
    report(QStringLiteral("to the end and back to the top (Ctrl+End, Ctrl+Home)"), end, 50);
}

void runSize(long n)
{
    std::printf("\n%ld businesses\n", n);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("Log")));
    const QString org = dir.filePath(QStringLiteral("PX_Org.mdb"));
    const QString work = dir.filePath(QStringLiteral("px_4x_b.mdb"));
    if (!copyTemplate(QStringLiteral("PX_Org.mdb"), org) || !copyTemplate(QStringLiteral("px_4x_b.mdb"), work)) {
        std::fprintf(stderr, "templates missing in %s\n", PLOXA_PROGRAM_DIR);
        std::exit(2);
    }
    Declare &g = G();
    g.Verz_Log = dir.filePath(QStringLiteral("Log/"));
    g.Datei_DB_Org = org;
    g.Datei_DB_Daten = g.Datei_DB_offen = work;
    QElapsedTimer setup;
    setup.start();
    {
        QFile t(work);
        t.open(QIODevice::ReadOnly);
        QCryptographicHash h(QCryptographicHash::Sha1);
        h.addData(QByteArrayLiteral("juridical first, 4"));
        h.addData(t.readAll());
        const QString cacheDir = qEnvironmentVariableIsEmpty("PLOXA_BENCH_CACHE")
                                     ? QDir::temp().filePath(QStringLiteral("ploxa-bench-select"))
                                     : qEnvironmentVariable("PLOXA_BENCH_CACHE");
        QDir().mkpath(cacheDir);
        const QString cached = QDir(cacheDir).filePath(
            QStringLiteral("px_%1_%2.mdb").arg(n).arg(QString::fromLatin1(h.result().toHex().left(10))));
        if (QFile::exists(cached)) {
            QFile::remove(work);
            if (!QFile::copy(cached, work)) {
                std::fprintf(stderr, "cannot copy %s\n", qPrintable(cached));
                std::exit(2);
            }
            QFile::setPermissions(work, QFile::ReadOwner | QFile::WriteOwner);
            note(QStringLiteral("rows copied from"), cached);
        } else {
            {
                const auto db = engine::Database::open(work);
                fill(*db, n);
            }
            engine::releaseFile(work);
            QFile::copy(work, cached + QStringLiteral(".part"));
            QFile::rename(cached + QStringLiteral(".part"), cached);
            note(QStringLiteral("rows written"), QStringLiteral("%1 s").arg(double(setup.elapsed()) / 1000, 0, 'f', 1));
        }
    }
    note(QStringLiteral("file"), QStringLiteral("%1 MB, ready after %2 s")
                                     .arg(QFile(work).size() / 1000000)
                                     .arg(double(setup.elapsed()) / 1000, 0, 'f', 1));
    g.Datenbank_Org = engine::Database::open(org, true, false, QStringLiteral("; pwd=wexor"));
    g.Datenbank_Daten = engine::Database::open(work);
    g.RS_betrieb = g.Datenbank_Daten->openRecordset(QStringLiteral("betrieb"));
    const bool large = n > 200000;
    resetPeak();
    note(QStringLiteral("memory before the lists"), QStringLiteral("%1 MiB").arg(statusMiB("VmRSS"), 0, 'f', 1));

    QMainWindow main;
    auto *area = new QMdiArea(&main);
    main.setCentralWidget(area);
    main.resize(1280, 900);
    QPointer<Frm_Start> start = new Frm_Start;
    start->installHooks();
    for (BoundView *v : start->findChildren<BoundView *>())
        v->setDatabaseName(work);
    start->DATA_ORG->setDatabaseName(org);
    area->addSubWindow(start)->show();
    main.show();
    QCoreApplication::processEvents();

    QMap<QString, bool> marks;
    FormHooks &f = g.forms;
    f.menuChecked = [&](const QString &item) { return marks.value(item); };
    f.setMenuChecked = [&](const QString &item, bool on) { marks[item] = on; };
    f.closeChildWindows = [&] { marks.clear(); };
    f.addMdiChild = [area](QWidget *w) { area->addSubWindow(w)->show(); };

    std::printf(" business list\n");
    const double open = timed([] { MDIForm1_menue_suchen_betrieb_Click(); });
    report(QStringLiteral("opening (query, count, six searches, first paint)"), open, large ? 300 : 150);
    Frm_Auswahl_Betr *list = Frm_Auswahl_Betr::loaded();
    if (!list) {
        std::fprintf(stderr, "the business list did not open\n");
        std::exit(1);
    }
    note(QStringLiteral("label"), list->Label1->text());
    keystrokes(list, QStringLiteral("business number prefix"), 1, QStringLiteral("00009"));
    keystrokes(list, QStringLiteral("name, match late in the list"), 3, QStringLiteral("schmidt & Söhne 99"));
    keystrokes(list, QStringLiteral("name without any match"), 3, QStringLiteral("zzz"));
    keystrokes(list, QStringLiteral("street with an asterisk"), 5, QStringLiteral("*ße 99"));
    report(QStringLiteral("sort by name (first click)"), timed([&] { list->Text1_Click(3); }), 300);
    keystrokes(list, QStringLiteral("name \"sch\", list sorted by name"), 3, QStringLiteral("sch"));
    farSearch(list, QStringLiteral("the last name, list sorted by name"), 3, 12);
    report(QStringLiteral("sort by name again (reversed)"), timed([&] { list->Text1_Click(3); }), 300);
    farSearch(list, QStringLiteral("the last name, list sorted by name reversed"), 3, 12);
    report(QStringLiteral("sort by place"), timed([&] { list->Text1_Click(4); }), 300);
    keystrokes(list, QStringLiteral("place, list sorted by place"), 4, QStringLiteral("Ort 4"), 100);
    farSearch(list, QStringLiteral("the last place, list sorted by place"), 4, 7);
    scrolling(list);
    report(QStringLiteral("view option \"Aktuelle\""), timed([&] { list->Option1_Click(1); }), 300);
    note(QStringLiteral("label"), list->Label1->text());
    settle(list);
    reportMemory(QStringLiteral("peak memory, business list open"), 0);

    std::printf(" person list (the business list stays open)\n");
    const double openPers = timed([] { MDIForm1_menue_suchen_person_Click(); });
    report(QStringLiteral("opening (query, count, first activation with seven emptied fields, first paint)"), openPers,
           large ? 300 : 150);
    Frm_Auswahl_Pers *pers = Frm_Auswahl_Pers::loaded();
    if (!pers) {
        std::fprintf(stderr, "the person list did not open\n");
        std::exit(1);
    }
    note(QStringLiteral("label"), pers->Label1->text());
    keystrokes(pers, QStringLiteral("family name (first match after the juridical persons)"), 2, QStringLiteral("schulz 9"), 100);
    keystrokes(pers, QStringLiteral("family name without any match"), 2, QStringLiteral("zzz"));
    keystrokes(pers, QStringLiteral("juridical name, near"), 1, QStringLiteral("holding 0"));
    report(QStringLiteral("sort by family name"), timed([&] { pers->Text1_Click(2); }), 300);
    // Sorted descending, the juridical persons' Nulls come last: the last
    // family name is the first in German order.
    farSearch(pers, QStringLiteral("the last family name, list sorted by family name"), 2, 0, QStringLiteral("Meier 00"));
    report(QStringLiteral("sort by business name"), timed([&] { pers->Text1_Click(5); }), 300);
    farSearch(pers, QStringLiteral("the last business name, list sorted by business name"), 5, 12);
    scrolling(pers);
    settle(pers);
    reportMemory(QStringLiteral("peak memory, both lists open"), large ? 150 : 0);
    pers->unload();
    list->unload();
    QCoreApplication::processEvents();
    delete start;
    // The databases close before the directory goes away.
    G().reset();
    engine::releaseFile(org);
    engine::releaseFile(work);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atol(argv[i]));
    if (sizes.empty())
        sizes = {200000, 1000000};
    platform::MessageService::setScript([](const platform::MessageRecord &r) {
        std::fprintf(stderr, "box: %s\n", qPrintable(r.text));
        return platform::vbOK;
    });
    for (long n : sizes)
        runSize(n);
    platform::MessageService::clearScript();
    return g_ok ? 0 : 1;
}
