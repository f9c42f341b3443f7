#include "storage/DatabaseHandling.h"

#include "engine/Database.h"
#include "platform/FileSystem.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/RuntimeError.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace {

// The eleven working-database views of the record window, in the order they
// are detached.
const char *const kWorkViews[] = {"DATA_BETR",         "DATA_Meld",      "DATA_ADR",  "DATA_BETRErl",
                                  "DATA_BETRHwk",      "DATA_TAET",      "DATA_Bez_Betr_Pers",
                                  "DATA_PERSStaat",    "DATA_PERS",      "DATA_PERSErl", "DATA_PERSHwk"};

BoundView *startView(const char *name)
{
    const FormHooks &f = G().forms;
    return f.startView ? f.startView(QString::fromLatin1(name)) : nullptr;
}

BoundView *optionenGemeinde()
{
    const FormHooks &f = G().forms;
    return f.optionenGemeinde ? f.optionenGemeinde() : nullptr;
}

void bind(BoundView *view, const QString &database, const QString &source, bool refresh)
{
    // Without windows (batch tests) there is nothing to bind.
    if (!view)
        return;
    view->setDatabaseName(database);
    view->setRecordSource(source);
    if (refresh)
        view->Refresh();
}

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

storage::CompactionSteps realCompactionSteps()
{
    storage::CompactionSteps steps;
    steps.compact = [](const QString &database, const QString &copy, const QString &password,
                       const std::function<void()> &putInPlace) {
        engine::compactDatabase(database, copy, password, putInPlace);
    };
    // Within one directory a rename replaces the target in one step: at every
    // moment either the old or the new file is there under the name.
    steps.rename = [](const QString &from, const QString &to) {
        engine::releaseFile(to);
        std::error_code ec;
        std::filesystem::rename(fsPath(from), fsPath(to), ec);
        return !ec;
    };
    steps.remove = [](const QString &path) {
        engine::releaseFile(path);
        return QFile::remove(path) || !QFileInfo::exists(path);
    };
    return steps;
}

// The engine error that made the last compaction fail; 0 after a success.
int g_compactionError = 0;

// The working database's record sets, in the order DB_Close closes them.
struct WorkRecordset
{
    const char *name;
    RS Declare::*set;
};
const WorkRecordset kWorkRecordsets[] = {
    {"RS_betrieb", &Declare::RS_betrieb},
    {"RS_betrieb_meldgrundsonst", &Declare::RS_betrieb_meldgrundsonst},
    {"RS_betrieb_adresse", &Declare::RS_betrieb_adresse},
    {"RS_betrieb_erlaubnis", &Declare::RS_betrieb_erlaubnis},
    {"RS_betrieb_handwerkskarte", &Declare::RS_betrieb_handwerkskarte},
    {"RS_betrieb_taetigkeit", &Declare::RS_betrieb_taetigkeit},
    {"RS_beziehung_betrieb_person", &Declare::RS_beziehung_betrieb_person},
    {"RS_person", &Declare::RS_person},
    {"RS_person_erlaubnis", &Declare::RS_person_erlaubnis},
    {"RS_person_handwerkskarte", &Declare::RS_person_handwerkskarte},
    {"RS_person_staatsang", &Declare::RS_person_staatsang},
};

// Compacts the database into its copy and puts the copy in its place. Every
// failure leaves the database complete under its name; only the copy goes.
void compactInPlace(const QString &database, const QString &password)
{
    const storage::CompactionSteps &steps = storage::compactionSteps();
    const QString found = platform::findPath(database);
    const QString target = found.isEmpty() ? platform::resolvePath(database) : found;
    const QString copy = storage::compactedCopyOf(target);
    const QString leftover = platform::findPath(copy);
    if (!leftover.isEmpty() && QFileInfo(leftover).isFile()) {
        if (found.isEmpty()) {
            // An earlier compaction was interrupted after the database had
            // gone: its copy holds the data, so it becomes the database.
            if (!steps.rename(leftover, target))
                runtime::raise(runtime::PathFileAccess, target);
            return;
        }
        if (!steps.remove(leftover))
            runtime::raise(runtime::PathFileAccess, leftover);
    }
    try {
        steps.compact(target, copy, password, [&] {
            if (!steps.rename(copy, target))
                runtime::raise(runtime::PathFileAccess, target);
        });
    } catch (...) {
        steps.remove(copy);
        throw;
    }
}

} // namespace

void DB_Load()
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    guarded(QStringLiteral("DB_Load"), [&g] {
        g.Datei_DB_Org = g.Verz_DB + QStringLiteral("PX_Org.mdb");
        g.Datenbank_Org = engine::Database::open(g.Verz_DB + QStringLiteral("PX_Org.mdb"), true, false,
                                                 QStringLiteral("; pwd=") + g.DB_Passwort.toString());
        g.Datei_DB_offen = g.Datei_DB_Daten;
        g.Datenbank_Daten = engine::Database::open(g.Datei_DB_offen, false, false, QString());
        DB_Load_RS();
        DB_Bind_DATA();
    });
}

void DB_Load_RS()
{
    Declare &g = G();
    DB &org = runtime::require(g.Datenbank_Org, "Datenbank_Org");
    DB &work = runtime::require(g.Datenbank_Daten, "Datenbank_Daten");
    g.RS_aktuelleGemeinde = org->openRecordset(QStringLiteral("aktuelleGemeinde"));
    g.RS_Optionen = org->openRecordset(QStringLiteral("Optionen"));
    g.RS_betrieb = work->openRecordset(QStringLiteral("betrieb"));
    g.RS_betrieb_adresse = work->openRecordset(QStringLiteral("betrieb_adresse"));
    g.RS_betrieb_meldgrundsonst = work->openRecordset(QStringLiteral("betrieb_meldgrundsonst"));
    g.RS_betrieb_erlaubnis = work->openRecordset(QStringLiteral("betrieb_erlaubnis"));
    g.RS_betrieb_handwerkskarte = work->openRecordset(QStringLiteral("betrieb_handwerkskarte"));
    g.RS_betrieb_taetigkeit = work->openRecordset(QStringLiteral("betrieb_taetigkeit"));
    g.RS_beziehung_betrieb_person = work->openRecordset(QStringLiteral("beziehung_betrieb_person"));
    g.RS_person = work->openRecordset(QStringLiteral("person"));
    g.RS_person_erlaubnis = work->openRecordset(QStringLiteral("person_erlaubnis"));
    g.RS_person_handwerkskarte = work->openRecordset(QStringLiteral("person_handwerkskarte"));
    g.RS_person_staatsang = work->openRecordset(QStringLiteral("person_staatsang"));
}

void DB_Bind_DATA()
{
    const Declare &g = G();
    const QString org = g.Datei_DB_Org;
    const QString work = g.Datei_DB_offen;
    bind(startView("DATA_ORG"), org, QStringLiteral("gemeindekennzahlen"), false);
    bind(startView("DATA_ORG_RF"), org, QStringLiteral("Rechtsformen"), false);
    bind(optionenGemeinde(), org, QStringLiteral("aktuelleGemeinde"), true);
    bind(startView("DATA_BETR"), work, QStringLiteral("betrieb"), false);
    bind(startView("DATA_Meld"), work, QStringLiteral("betrieb_meldgrundsonst"), false);
    bind(startView("DATA_ADR"), work, QStringLiteral("betrieb_adresse"), false);
    bind(startView("DATA_BETRErl"), work, QStringLiteral("betrieb_erlaubnis"), false);
    bind(startView("DATA_BETRHwk"), work, QStringLiteral("betrieb_handwerkskarte"), false);
    bind(startView("DATA_TAET"), work, QStringLiteral("betrieb_taetigkeit"), false);
    bind(startView("DATA_Bez_Betr_Pers"), work, QStringLiteral("beziehung_betrieb_person"), true);
    bind(startView("DATA_PERSStaat"), work, QStringLiteral("person_staatsang"), true);
    bind(startView("DATA_PERS"), work, QStringLiteral("person"), false);
    bind(startView("DATA_PERSErl"), work, QStringLiteral("person_erlaubnis"), false);
    bind(startView("DATA_PERSHwk"), work, QStringLiteral("person_handwerkskarte"), false);
}

void DB_Unbind_DATA()
{
    for (const char *name : kWorkViews)
        bind(startView(name), QString(), QString(), true);
}

void DB_Close()
{
    Declare &g = G();
    for (const WorkRecordset &w : kWorkRecordsets)
        runtime::require(g.*w.set, w.name)->close();
    runtime::require(g.Datenbank_Daten, "Datenbank_Daten")->close();
}

void DB_Kompress(bool checkWhenNothingToReclaim)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    guarded(QStringLiteral("DB_Load"), [&g, checkWhenNothingToReclaim] {
        DB_Close();
        DB_Unbind_DATA();
        QVariant path = g.Datei_DB_Daten;
        A_Kompress(path, QString(), checkWhenNothingToReclaim);
        DB_Load();
    });
}

QVariant A_Kompress(QVariant &path, const QString &password, bool checkWhenNothingToReclaim)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    const QString database = path.toString();
    const ErrorSite site{QStringLiteral("A_Kompress"), QStringLiteral("Fehlerortung: "), [database] {
                             return QVariant(QStringLiteral("Fehler bei Komprimierung von '") + database
                                             + QLatin1Char('\''));
                         }};
    g_compactionError = 0;
    const bool ok = guarded(site, [&] {
        try {
            if (!checkWhenNothingToReclaim || !engine::checkInsteadOfCompacting(database, password))
                compactInPlace(database, password);
        } catch (const engine::EngineError &e) {
            g_compactionError = e.number();
            throw;
        }
    });
    return QVariant(qint16(ok ? 1 : 0));
}

namespace storage {

CompactionSteps &compactionSteps()
{
    static CompactionSteps steps = realCompactionSteps();
    return steps;
}

void resetCompactionSteps()
{
    compactionSteps() = realCompactionSteps();
}

QString compactedCopyOf(const QString &database)
{
    return database + QStringLiteral(".neu");
}

void requireWorkingDatabase()
{
    Declare &g = G();
    if (g_compactionError == engine::err::UnrecognizedFormat)
        runtime::raise(engine::err::UnrecognizedFormat, g.Datei_DB_Daten);
    if (!runtime::require(g.Datenbank_Daten, "Datenbank_Daten")->isOpen())
        runtime::raise(engine::err::ObjectClosed, QStringLiteral("Datenbank_Daten"));
    for (const WorkRecordset &w : kWorkRecordsets)
        if (!runtime::require(g.*w.set, w.name)->isOpen())
            runtime::raise(engine::err::ObjectClosed, QString::fromLatin1(w.name));
}

} // namespace storage
