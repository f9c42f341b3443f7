#pragma once

#include "engine/Database.h"
#include "platform/MessageService.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <map>
#include <memory>

// The views of the record window: the database each reads, its source, and
// whether a load refreshes it at once.
struct StartView
{
    const char *name;
    bool organisation;
    const char *source;
    bool refreshed;
};
inline constexpr StartView kStartViews[] = {
    {"DATA_ORG", true, "gemeindekennzahlen", false},
    {"DATA_ORG_RF", true, "Rechtsformen", false},
    {"DATA_BETR", false, "betrieb", false},
    {"DATA_Meld", false, "betrieb_meldgrundsonst", false},
    {"DATA_ADR", false, "betrieb_adresse", false},
    {"DATA_BETRErl", false, "betrieb_erlaubnis", false},
    {"DATA_BETRHwk", false, "betrieb_handwerkskarte", false},
    {"DATA_TAET", false, "betrieb_taetigkeit", false},
    {"DATA_Bez_Betr_Pers", false, "beziehung_betrieb_person", true},
    {"DATA_PERSStaat", false, "person_staatsang", true},
    {"DATA_PERS", false, "person", false},
    {"DATA_PERSErl", false, "person_erlaubnis", false},
    {"DATA_PERSHwk", false, "person_handwerkskarte", false},
};

// A program directory as the start-up leaves it: Log and DB, the working
// copies of the templates, the global paths set, the organisation database
// open with its options, and plain views standing in for the windows' ones.
class StorageFixture
{
public:
    StorageFixture()
    {
        G().reset();
        platform::MessageService::clearRecorded();
        platform::MessageService::setScript([](const platform::MessageRecord &) { return platform::vbOK; });
        const QString root = dir.path();
        QDir(root).mkdir(QStringLiteral("Log"));
        QDir(root).mkdir(QStringLiteral("DB"));
        for (const char *name : {"PX_Org.mdb", "px_4x_b.mdb", "px_4x_m.mdb"})
            copyTemplate(QString::fromLatin1(name), root + QStringLiteral("/DB/") + QString::fromLatin1(name));
        Declare &g = G();
        g.Verz_Programm = root + QLatin1Char('/');
        g.Verz_Log = root + QStringLiteral("/Log/");
        g.Verz_DB = root + QStringLiteral("/DB/");
        g.Verz_Dat = root + QStringLiteral("/Dat/");
        g.DB_Passwort = QStringLiteral("wexor");
        g.Datei_DB_Daten = g.Verz_DB + QStringLiteral("px_4x_b.mdb");
        for (const StartView &v : kStartViews)
            views[QString::fromLatin1(v.name)] = std::make_unique<BoundView>(QString::fromLatin1(v.name));
        gemeinde = std::make_unique<BoundView>(QStringLiteral("DATA_GEMEINDE"));
        g.forms.startView = [this](const QString &name) {
            auto it = views.find(name);
            return it == views.end() ? nullptr : it->second.get();
        };
        g.forms.optionenGemeinde = [this] { return gemeinde.get(); };
        g.forms.setMainCaption = [this](const QString &c) { caption = c; };
    }

    ~StorageFixture()
    {
        G().reset();
        platform::MessageService::clearScript();
        platform::MessageService::clearRecorded();
    }

    // The organisation database and its options, as the start-up opens them.
    void openOrganisation()
    {
        Declare &g = G();
        g.Datenbank_Org = engine::Database::open(g.Verz_DB + QStringLiteral("PX_Org.mdb"), true, false,
                                                 QStringLiteral("; pwd=wexor"));
        g.RS_Optionen = g.Datenbank_Org->openRecordset(QStringLiteral("Optionen"));
    }

    static void copyTemplate(const QString &name, const QString &target)
    {
        QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/") + name, target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }

    // Creates the file's directory as needed; false when it cannot be written.
    static bool writeFile(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

    // The message boxes shown so far, as "title|style|text".
    static QStringList boxes()
    {
        QStringList out;
        for (const auto &r : platform::MessageService::recorded())
            out << QStringLiteral("%1|%2|%3").arg(r.title).arg(r.style).arg(r.text);
        return out;
    }

    QByteArray logBytes() const
    {
        QFile f(G().Verz_Log + QStringLiteral("ERROR.LOG"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QStringList loggedLabels() const { return labelsIn(logBytes()); }

    // The procedure labels of the logged records, in order.
    static QStringList labelsIn(const QByteArray &log)
    {
        QStringList labels;
        const QString prefix = QStringLiteral("Fehler in Sub/Function: ");
        for (const QString &line : QString::fromLatin1(log).split(QStringLiteral("\r\n")))
            if (line.startsWith(prefix))
                labels << line.mid(prefix.size());
        return labels;
    }

    QTemporaryDir dir;
    std::map<QString, std::unique_ptr<BoundView>> views;
    std::unique_ptr<BoundView> gemeinde;
    QString caption;
};
