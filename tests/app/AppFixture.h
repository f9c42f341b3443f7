#pragma once

#include "../storage/StorageFixture.h"
#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "platform/FileDialog.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <memory>

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
            StorageFixture::copyTemplate(QString::fromLatin1(name), path(QString::fromLatin1(name)));
        if (withHelp)
            StorageFixture::copyTemplate(QStringLiteral("hilfe.htm"), path(QStringLiteral("hilfe.htm")));
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

    QStringList loggedLabels() const { return StorageFixture::labelsIn(log()); }

    QTemporaryDir dir;
    QString programDir;
    int answer = platform::vbNo;
    QStringList opened;
};

// The whole application in a fresh program directory, started as the
// executable starts it; ending the program only counts.
struct Running
{
    explicit Running(bool withHelp = false) : fx(QString(), withHelp)
    {
        MDIForm1::setEndProgram([this] { ++ended; });
        main = std::make_unique<MDIForm1>();
        main->loadStartWindow();
    }
    ~Running()
    {
        main.reset();
        MDIForm1::setEndProgram(nullptr);
        platform::setOpenFileDialog(nullptr);
    }
    QMdiSubWindow *subWindowOf(const QString &name) const
    {
        for (QMdiSubWindow *sub : main->mdiArea()->subWindowList())
            if (sub->widget() && sub->widget()->objectName() == name)
                return sub;
        return nullptr;
    }
    void trigger(const char *item) { main->menuItem(QString::fromLatin1(item))->trigger(); }
    bool checked(const char *item) const { return main->menuChecked(QString::fromLatin1(item)); }
    // A plain window standing in for a child window of the application.
    static QPointer<QWidget> addChild(const char *name)
    {
        auto *w = new QWidget;
        w->setObjectName(QString::fromLatin1(name));
        G().forms.addMdiChild(w);
        return w;
    }
    static QStringList boxes() { return StorageFixture::boxes(); }

    AppFixture fx;
    std::unique_ptr<MDIForm1> main;
    int ended = 0;
};

// The instance lock lives in the temporary directory: keep it ours.
inline void isolateInstanceLock(const QTemporaryDir &tmp)
{
    QLocale::setDefault(QLocale(QLocale::German));
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
}
