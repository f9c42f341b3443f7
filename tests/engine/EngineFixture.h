#pragma once

// Shared by the engine tests: writable copies of the built templates, rows
// written and read through the engine, and the error number an operation raises.
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

// Copies a template into dir, under its own name unless told otherwise; the copy is writable.
inline QString copyTemplate(const QTemporaryDir &dir, const QString &templ, const QString &as = QString())
{
    const QString path = dir.filePath(as.isEmpty() ? templ : as);
    engine::releaseFile(path);
    QFile::remove(path);
    if (!QFile::copy(templatePath(templ), path))
        qFatal("template %s missing", qPrintable(templ));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

// A fresh copy of the password-protected organisation database, and how it opens.
inline QString copyOrg(const QTemporaryDir &dir)
{
    return copyTemplate(dir, QStringLiteral("PX_Org.mdb"));
}
inline std::shared_ptr<engine::Database> openOrg(const QString &path)
{
    return engine::Database::open(path, true, false, QStringLiteral("; pwd=wexor"));
}

// The business list: the join, then its WHERE and ORDER BY.
inline QString businessList(const char *rest, const char *on = "(betrieb.[betr-nr] = betrieb_adresse.[betr-nr])")
{
    return QStringLiteral("SELECT betrieb.*, betrieb_adresse.* FROM betrieb INNER JOIN betrieb_adresse ON "
                          "(betrieb.[betr-hist-nr] = betrieb_adresse.[betr-hist-nr]) AND %1 %2")
        .arg(QString::fromUtf8(on), QString::fromUtf8(rest));
}

using Values = std::initializer_list<std::pair<const char *, QVariant>>;

inline void addRow(engine::Recordset &rs, Values values)
{
    rs.addNew();
    for (const auto &[name, value] : values)
        rs.setValue(QString::fromLatin1(name), value);
    rs.update();
}

// The rows of a table, through a handle of its own.
inline long rowCount(const QString &path, const char *table = "betrieb")
{
    return engine::Database::open(path)->openRecordset(QString::fromLatin1(table))->recordCount();
}

inline QString str(engine::Recordset &rs, const char *name)
{
    return rs.value(QString::fromUtf8(name)).toString();
}

inline void change(engine::Recordset &rs, const char *name, const QVariant &value)
{
    rs.edit();
    rs.setValue(QString::fromUtf8(name), value);
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

inline QString cell(engine::Recordset &rs, const QString &name)
{
    const QVariant v = rs.value(name);
    return engine::isNull(v) ? QStringLiteral("<null>") : v.toString();
}

// The values of one column over the whole set, first to last.
inline QStringList column(engine::Recordset &rs, const QString &name)
{
    QStringList out;
    if (rs.recordCount() == 0)
        return out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        out << cell(rs, name);
    return out;
}

// The rows a FindFirst/FindNext walk visits, by one column.
inline QStringList found(engine::Recordset &rs, const QString &criteria, const QString &name)
{
    QStringList out;
    for (rs.findFirst(criteria); !rs.noMatch(); rs.findNext(criteria))
        out << cell(rs, name);
    return out;
}

} // namespace fixture
