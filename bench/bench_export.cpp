// Transfer-file export throughput: fills a fresh working database with
// synthetic businesses (addresses, activities, permits, persons with
// nationalities and permits), exports all of them through RML_Exp_1 with the
// window system given its turn once per business, and reads the file back
// through the import to check that every business arrived. Prints the
// figures; exits non-zero when a business went missing.
//
//   bench_export [businesses] [persons per business]   (default 20,000 and 2)
#include "exchange/Import.h"
#include "exchange/ProgExp.h"

#include "engine/Database.h"
#include "engine/JetSql.h"
#include "platform/MessageService.h"
#include "storage/DatabaseHandling.h"
#include "storage/Declare.h"
#include "storage/Options.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

QString q(const QString &v)
{
    return engine::sqlQuote(v);
}

QString date(int i)
{
    return QStringLiteral("%1.%2.%3").arg(1 + i % 28, 2, 10, QLatin1Char('0')).arg(1 + i % 12, 2, 10, QLatin1Char('0')).arg(1990 + i % 30);
}

void fill(engine::Database &db, int businesses, int persons)
{
    db.beginTrans();
    for (int i = 0; i < businesses; ++i) {
        const QString nr = q(QStringLiteral("%1").arg(i, 9, 10, QLatin1Char('0')));
        db.execute(QStringLiteral("INSERT INTO betrieb ([gem-kz], [betr-nr], [betr-hist-nr], [b-eintr-name], [meld-art], "
                                  "[anzeige-datum], [betr-beginn], [b-bemerkung], [schluesselfeld]) VALUES ('01001000', %1, '1', %2, "
                                  "'01', %3, %4, 'Synthetischer Betrieb; für die Zeitmessung.', %5)")
                       .arg(nr, q(QStringLiteral("Gärtnerei Müller & Söhne Nr. %1").arg(i)), q(date(i)), q(date(i + 7)),
                            q(QStringLiteral("K%1").arg(i % 4))));
        for (int a = 1; a <= 2; ++a)
            db.execute(QStringLiteral("INSERT INTO betrieb_adresse ([betr-nr], [betr-hist-nr], [b-adr-art], [b-strasse], "
                                      "[b-plz], [b-ort]) VALUES (%1, '1', '%2', 'Holstenstraße', '24103', 'Kiel')")
                           .arg(nr)
                           .arg(a));
        for (int t = 0; t < 2; ++t)
            db.execute(QStringLiteral("INSERT INTO betrieb_taetigkeit ([betr-nr], [betr-hist-nr], [tk-schl], [tk-beginn], "
                                      "[tk-originaltext]) VALUES (%1, '1', '47.1%2', %3, 'Einzelhandel mit Blumen')")
                           .arg(nr)
                           .arg(t)
                           .arg(q(date(i + t))));
        db.execute(QStringLiteral("INSERT INTO betrieb_erlaubnis ([betr-nr], [betr-hist-nr], [b-erl-datum], [b-erl-art]) "
                                  "VALUES (%1, '1', %2, '§ 34c GewO')")
                       .arg(nr, q(date(i + 11))));
        for (int p = 0; p < persons; ++p) {
            const QString pers = q(QStringLiteral("P%1-%2").arg(i).arg(p));
            db.execute(QStringLiteral("INSERT INTO person ([pers-nr], [p-art], [fam-name], [vornamen], [geb-datum], [p-ort]) "
                                      "VALUES (%1, 'NP', 'Müller', 'Hans-Jürgen', %2, 'Kiel')")
                           .arg(pers, q(date(i * 7 + p))));
            db.execute(QStringLiteral("INSERT INTO person_staatsang ([pers-nr], [staat-text], [staat-schl]) VALUES (%1, 'deutsch', '000')")
                           .arg(pers));
            db.execute(QStringLiteral("INSERT INTO person_erlaubnis ([pers-nr], [betr-nr], [p-erl-art]) VALUES (%1, %2, 'Sachkunde')")
                           .arg(pers, nr));
            db.execute(QStringLiteral("INSERT INTO beziehung_betrieb_person ([bez-betr-nr], [bez-betr-hist-nr], [bez-pers-nr], "
                                      "[bez-sort-nr], [p-funktion], [p-eintr-datum]) VALUES (%1, '1', %2, '%3', '2', %4)")
                           .arg(nr, pers)
                           .arg(p + 1)
                           .arg(q(date(i + p))));
        }
    }
    db.commitTrans();
}

long count(const QString &sql)
{
    const auto rs = G().Datenbank_Daten->openRecordset(sql);
    return rs->value(0).toLongLong();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int businesses = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int persons = argc > 2 ? std::atoi(argv[2]) : 2;

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
    g.Datenbank_Org = engine::Database::open(g.Verz_DB + QStringLiteral("PX_Org.mdb"), true, false, QStringLiteral("; pwd=wexor"));
    g.RS_Optionen = g.Datenbank_Org->openRecordset(QStringLiteral("Optionen"));
    A_org_lesen();
    DB_Load();

    QElapsedTimer t;
    t.start();
    fill(*g.Datenbank_Daten, businesses, persons);
    std::printf("fill:    %d businesses, %d persons each: %.2f s\n", businesses, persons, t.elapsed() / 1000.0);

    exchange::ExportHeader header;
    header.text = {QStringLiteral("MIGRATION"), QStringLiteral("BETRIEBSBEZOGEN"), QStringLiteral("08.12.2026"),
                   QStringLiteral("14.05.33"), QStringLiteral("Bench"), QString(), QStringLiteral("MIGRATION ACCESS"),
                   QString(), QString(), QStringLiteral("08.12.2026"), QString(), QString(), QString(), QString(),
                   exchange::rmlVersionText()};
    t.restart();
    RML_Exp_1(QString(), header);
    const double exportSeconds = t.elapsed() / 1000.0;
    const QStringList files = QDir(g.Verz_Dat).entryList({QStringLiteral("*.rml")}, QDir::Files);
    const qint64 size = files.isEmpty() ? 0 : QFileInfo(g.Verz_Dat + files.first()).size();
    std::printf("export:  %.2f s, %.0f businesses/s, %.1f MB\n", exportSeconds, businesses / qMax(exportSeconds, 0.001),
                size / 1e6);

    t.restart();
    RML_Exp_1(exchange::kSchluesselfeld, header);
    std::printf("per key: %.2f s for %lld files\n", t.elapsed() / 1000.0,
                qint64(QDir(g.Verz_Dat).entryList({QStringLiteral("K*.rml")}, QDir::Files).size()));

    if (files.size() != 1) {
        std::printf("FAIL: %lld files of all rows\n", qint64(files.size()));
        return 1;
    }
    g.Datenbank_Daten->execute(QStringLiteral("DELETE FROM betrieb"));
    t.restart();
    Upd_1_Start(g.Verz_Dat + files.first());
    const long back = count(QStringLiteral("SELECT count(*) FROM betrieb"));
    std::printf("read back: %ld of %d businesses in %.2f s\n", back, businesses, t.elapsed() / 1000.0);
    // The handles go before the engine's own statics do.
    G().reset();
    return back == businesses ? 0 : 1;
}
