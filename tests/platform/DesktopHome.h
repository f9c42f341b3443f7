#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A desktop of the test's own under a fresh temporary home: the user's data
// and configuration directories are never read or written.
class DesktopHome
{
public:
    DesktopHome()
    {
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    }

    QString data(const QString &rel) const { return home.path() + QStringLiteral("/data/") + rel; }
    QString config(const QString &rel) const { return home.path() + QStringLiteral("/config/") + rel; }

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Creates the file's directory as needed; false when it cannot be written.
    static bool writeAll(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

    // The value, or the result code in angle brackets when the query failed.
    template <class Registry>
    static QByteArray defaultValue(Registry &registry, const QString &key)
    {
        QByteArray value;
        const long rc = registry.queryDefaultValue(key, value);
        return rc == 0 ? value : QByteArray("<" + QByteArray::number(rc) + ">");
    }

    QTemporaryDir home;
};
