#pragma once

// Shared by the engine tests: fresh copies of the built templates in a
// temporary program directory, rows written through the engine, and a way to
// look at the error number an operation raises.
#include "engine/Database.h"
#include "engine/Recordset.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <initializer_list>
#include <utility>

namespace fixture {

inline QString templatePath(const QString &name)
{
    return QStringLiteral(PLOXA_PROGRAM_DIR "/") + name;
}

// Copies a template into dir under the given name; the copy is writable.
inline QString copyTemplate(const QTemporaryDir &dir, const QString &templ, const QString &as)
{
    const QString path = dir.filePath(as);
    engine::releaseFile(path);
    QFile::remove(path);
    if (!QFile::copy(templatePath(templ), path))
        qFatal("template %s missing", qPrintable(templ));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

using Values = std::initializer_list<std::pair<const char *, QVariant>>;

inline void addRow(engine::Recordset &rs, Values values)
{
    rs.addNew();
    for (const auto &[name, value] : values)
        rs.setValue(QString::fromLatin1(name), value);
    rs.update();
}

// The number of the engine error that f raises; 0 when it raises none. An
// error must carry a source and a text, or the log would be useless.
inline int errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const engine::EngineError &e) {
        if (e.source().isEmpty() || e.text().isEmpty())
            return -1;
        return e.number();
    }
    return 0;
}

// The values of one column over the whole set, first to last.
inline QStringList column(engine::Recordset &rs, const QString &name)
{
    QStringList out;
    if (rs.recordCount() == 0)
        return out;
    rs.moveFirst();
    while (!rs.eof()) {
        const QVariant v = rs.value(name);
        out << (engine::isNull(v) ? QStringLiteral("<null>") : v.toString());
        rs.moveNext();
    }
    return out;
}

// The rows a FindFirst/FindNext walk visits, by one column.
inline QStringList found(engine::Recordset &rs, const QString &criteria, const QString &name)
{
    QStringList out;
    rs.findFirst(criteria);
    while (!rs.noMatch()) {
        const QVariant v = rs.value(name);
        out << (engine::isNull(v) ? QStringLiteral("<null>") : v.toString());
        rs.findNext(criteria);
    }
    return out;
}

} // namespace fixture
