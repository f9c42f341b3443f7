#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString findPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    if (QFileInfo::exists(path))
        return path;
    QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    const bool absolute = clean.startsWith(QLatin1Char('/'));
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = absolute ? QStringLiteral("/") : QStringLiteral(".");
    for (int i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        QString next = current == QLatin1String("/") ? current + part : current + QLatin1Char('/') + part;
        if (!QFileInfo::exists(next)) {
            const QDir dir(current);
            const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            QString match;
            for (const QString &e : entries) {
                if (e.compare(part, Qt::CaseInsensitive) == 0) {
                    match = e;
                    break;
                }
            }
            if (match.isEmpty())
                return {};
            next = current == QLatin1String("/") ? current + match : current + QLatin1Char('/') + match;
        }
        current = next;
    }
    if (!absolute && current.startsWith(QLatin1String("./")))
        current = current.mid(2);
    return current;
}

QString resolvePath(const QString &path)
{
    const QString found = findPath(path);
    if (!found.isEmpty())
        return found;
    // Keep the caller's file name but place it in the existing directory.
    const QFileInfo info(path);
    const QString dir = findPath(info.path());
    return dir.isEmpty() ? path : QDir(dir).filePath(info.fileName());
}

bool pathExists(const QString &path)
{
    return !findPath(path).isEmpty();
}

} // namespace platform
