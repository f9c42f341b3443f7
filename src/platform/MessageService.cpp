#include "platform/MessageService.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace platform {

namespace {
MessageService::Script &script()
{
    static MessageService::Script s;
    return s;
}
std::vector<MessageRecord> &records()
{
    static std::vector<MessageRecord> r;
    return r;
}
MessageService::Presenter &presenter()
{
    static MessageService::Presenter p;
    return p;
}
std::function<void(const QString &)> &viewerHook()
{
    static std::function<void(const QString &)> h;
    return h;
}
std::function<bool(const QString &)> &viewer()
{
    static std::function<bool(const QString &)> v;
    return v;
}
QString &programDirOverride()
{
    static QString d;
    return d;
}
} // namespace

int MessageService::show(const QString &text, const QString &title, int style)
{
    MessageRecord rec{text, title, style, 0};
    if (script()) {
        rec.answer = script()(rec);
        records().push_back(rec);
        return rec.answer;
    }
    rec.answer = presenter() ? presenter()(rec) : vbOK;
    return rec.answer;
}

void MessageService::setScript(Script s)
{
    script() = std::move(s);
}
void MessageService::clearScript()
{
    script() = nullptr;
}
const std::vector<MessageRecord> &MessageService::recorded()
{
    return records();
}
void MessageService::clearRecorded()
{
    records().clear();
}
void MessageService::setPresenter(Presenter p)
{
    presenter() = std::move(p);
}

bool openWithViewer(const QString &path)
{
    if (viewerHook()) {
        viewerHook()(path);
        return true;
    }
    return viewer() ? viewer()(path) : false;
}

void setViewerHook(std::function<void(const QString &)> hook)
{
    viewerHook() = std::move(hook);
}

void setViewer(std::function<bool(const QString &)> v)
{
    viewer() = std::move(v);
}

bool anotherInstanceRunning()
{
    // The lock is held for the life of the process; a stale lock of a
    // crashed run is taken over by QLockFile.
    static std::unique_ptr<QLockFile> lock;
    if (lock)
        return false;
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    if (dir.isEmpty())
        return false;
    auto candidate = std::make_unique<QLockFile>(QDir(dir).filePath(QStringLiteral("PLOXA_4x_Access.lock")));
    candidate->setStaleLockTime(0);
    if (candidate->tryLock(0)) {
        lock = std::move(candidate);
        return false;
    }
    // A lock that cannot be made at all (an unwritable temporary directory, a
    // foreign file in its place) says nothing about other instances: only a
    // lock that a running instance wrote does.
    qint64 pid = 0;
    QString host, application;
    return candidate->error() == QLockFile::LockFailedError && candidate->getLockInfo(&pid, &host, &application);
}

QString programDirectory()
{
    if (!programDirOverride().isEmpty())
        return programDirOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramDirectory(const QString &dir)
{
    programDirOverride() = dir;
}

} // namespace platform
