// Timings of the business selection list on a working database of realistic
// size. Prints each figure beside its target; exits non-zero when one is missed.
//
//   bench_select [businesses]      (default 100,000)
#include "engine/Database.h"
#include "engine/Recordset.h"
#include "platform/MessageService.h"
#include "record/Frm_Start.h"
#include "select/BusinessList.h"
#include "select/Frm_Auswahl_Betr.h"
#include "select/ViewTableModel.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

namespace {

bool g_ok = true;

void report(const char *what, double ms, double target)
{
    const bool met = ms <= target;
    if (!met)
        g_ok = false;
    std::printf("%-58s %9.1f ms   (target < %.0f ms) %s\n", what, ms, target, met ? "ok" : "MISSED");
}

bool copyTemplate(const QString &name, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/") + name, to))
        return false;
    return QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

void fill(engine::Database &db, long n)
{
    const QString count = QString::number(n);
    const QString numbers =
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ").arg(count);
    db.beginTrans();
    db.execute(numbers
               + QStringLiteral(
                   "INSERT INTO betrieb ([gem-kz], [betr-nr], [betr-hist-nr], [b-eintr-name], [meld-art], [betr-ende]) "
                   "SELECT printf('0100%04d', i % 40), printf('%09d', i), '1', "
                   "CASE i % 3 WHEN 0 THEN 'müller ' WHEN 1 THEN 'Schmidt ' ELSE 'Änderungsschneiderei ' END "
                   "|| printf('%06d', (i * 7919) % 1000003), "
                   "CASE WHEN i % 50 = 0 THEN '999' ELSE '100' END, "
                   "CASE WHEN i % 7 = 0 THEN '31.12.2019' ELSE NULL END FROM n"));
    db.execute(
        numbers
        + QStringLiteral("INSERT INTO betrieb_adresse ([betr-nr], [betr-hist-nr], [b-adr-art], [b-ort], [b-strasse]) "
                         "SELECT printf('%09d', i), '1', '1', printf('Ort %03d', i % 500), "
                         "printf('Straße %d', i % 997) FROM n"));
    db.commitTrans();
}

template <typename F> double timed(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    QCoreApplication::processEvents();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long n = argc > 1 ? std::atol(argv[1]) : 100000;

    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("Log")));
    const QString org = dir.filePath(QStringLiteral("PX_Org.mdb"));
    const QString work = dir.filePath(QStringLiteral("px_4x_b.mdb"));
    if (!copyTemplate(QStringLiteral("PX_Org.mdb"), org) || !copyTemplate(QStringLiteral("px_4x_b.mdb"), work)) {
        std::fprintf(stderr, "templates missing in %s\n", PLOXA_PROGRAM_DIR);
        return 2;
    }
    Declare &g = G();
    g.Verz_Log = dir.filePath(QStringLiteral("Log/"));
    g.Datei_DB_Org = org;
    g.Datei_DB_Daten = g.Datei_DB_offen = work;
    g.Datenbank_Org = engine::Database::open(org, true, false, QStringLiteral("; pwd=wexor"));
    g.Datenbank_Daten = engine::Database::open(work);
    QElapsedTimer setup;
    setup.start();
    fill(*g.Datenbank_Daten, n);
    g.RS_betrieb = g.Datenbank_Daten->openRecordset(QStringLiteral("betrieb"));
    std::printf("%ld businesses with their location address written in %.1f s\n", n, double(setup.elapsed()) / 1000);

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
    platform::MessageService::setScript([](const platform::MessageRecord &r) {
        std::fprintf(stderr, "box: %s\n", qPrintable(r.text));
        return platform::vbOK;
    });

    report("opening the list (query, count, six searches, first paint)",
           timed([] { MDIForm1_menue_suchen_betrieb_Click(); }), 500);
    Frm_Auswahl_Betr *list = Frm_Auswahl_Betr::loaded();
    if (!list) {
        std::fprintf(stderr, "the list did not open\n");
        return 1;
    }
    list->data->setRecordSource(g.SQL_Abfrage);
    std::printf("%-58s %9.1f ms\n", "  of which the engine runs the first-fill query",
                timed([&] { list->data->Refresh(); }));
    std::printf("%-58s %s\n", "rows listed", qPrintable(list->Label1->text()));

    auto keystrokes = [&](const char *what, int field, const QString &typed) {
        QLineEdit *t = list->Text1[size_t(field)];
        t->clear();
        double worst = 0, sum = 0;
        for (QChar c : typed) {
            const double ms = timed([&] { t->insert(QString(c)); });
            worst = std::max(worst, ms);
            sum += ms;
        }
        char line[120];
        std::snprintf(line, sizeof line, "keystroke, %s (worst of %d; mean %.1f ms)", what, int(typed.size()),
                      sum / double(typed.size()));
        report(line, worst, 100);
    };
    keystrokes("business number prefix", 1, QStringLiteral("00009"));
    keystrokes("name, match late in the list", 3, QStringLiteral("schmidt 99"));
    keystrokes("name without any match", 3, QStringLiteral("zzz"));
    keystrokes("street with an asterisk", 5, QStringLiteral("*ße 99"));

    report("sort by name (first click)", timed([&] { list->Text1_Click(3); }), 1000);
    report("sort by name again (reversed)", timed([&] { list->Text1_Click(3); }), 1000);
    report("sort by place", timed([&] { list->Text1_Click(4); }), 1000);
    std::printf("%-58s %9.1f ms\n", "  of which the engine runs the sorted query",
                timed([&] { list->data->Refresh(); }));
    report("view option \"Aktuelle\"", timed([&] { list->Option1_Click(1); }), 1000);

    QScrollBar *bar = list->DBGrid1->verticalScrollBar();
    double worst = 0;
    for (int step = 1; step <= 20; ++step) {
        const double ms = timed([&] {
            bar->setValue(bar->maximum() * step / 20);
            list->DBGrid1->viewport()->repaint();
        });
        worst = std::max(worst, ms);
    }
    report("scrolling: one jump and repaint of the grid (worst of 20)", worst, 50);

    list->unload();
    QCoreApplication::processEvents();
    platform::MessageService::clearScript();
    delete start;
    // The databases close before the engine's own statics go away.
    G().reset();
    return g_ok ? 0 : 1;
}
