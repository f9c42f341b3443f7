#pragma once

#include "app/Startup.h"
#include "engine/Database.h"
#include "platform/MessageService.h"
#include "storage/Declare.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A fresh program directory holding what the installation ships: the three
// template databases (and, on request, the help page). Message boxes are
// answered by the script and recorded; the viewer is not started.
class AppFixture
{
public:
    explicit AppFixture(const QString &subdir = QString(), bool withHelp = false)
    {
        G().reset();
        programDir = subdir.isEmpty() ? dir.path() : dir.filePath(subdir);
        QDir().mkpath(programDir);
        for (const char *name : {"PX_Org.mdb", "px_4x_b.mdb", "px_4x_m.mdb"})
            QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/") + QString::fromLatin1(name),
                        programDir + QLatin1Char('/') + QString::fromLatin1(name));
        if (withHelp)
            QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/hilfe.htm"), programDir + QStringLiteral("/hilfe.htm"));
        platform::setProgramDirectory(programDir);
        setCommandLineText(QString());
        platform::MessageService::clearRecorded();
        platform::MessageService::setScript([this](const platform::MessageRecord &) { return answer; });
        platform::setViewerHook([this](const QString &path) { opened << path; });
    }

    ~AppFixture()
    {
        G().reset();
        platform::MessageService::clearScript();
        platform::MessageService::clearRecorded();
        platform::setViewerHook(nullptr);
        platform::setProgramDirectory(QString());
    }

    QString path(const QString &relative) const { return programDir + QLatin1Char('/') + relative; }

    QByteArray log() const
    {
        QFile f(path(QStringLiteral("Log/ERROR.LOG")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QStringList loggedLabels() const
    {
        QStringList labels;
        const QString prefix = QStringLiteral("Fehler in Sub/Function: ");
        for (const QString &line : QString::fromLatin1(log()).split(QStringLiteral("\r\n"))) {
            if (line.startsWith(prefix))
                labels << line.mid(prefix.size());
        }
        return labels;
    }

    QTemporaryDir dir;
    QString programDir;
    int answer = platform::vbNo;
    QStringList opened;
};
