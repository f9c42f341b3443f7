#include "engine/SchemaUpgrade.h"

#include "engine/Connection.h"
#include "engine/JetSql.h"
#include "engine/SqlFunctions.h"

#include <sqlite3.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace engine {

namespace {

bool run(sqlite3 *db, const QString &sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The text columns of each row of a query; empty on an error.
QList<QStringList> rows(sqlite3 *db, const QString &sql)
{
    QList<QStringList> out;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return out;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
        out << row;
    }
    sqlite3_finalize(st);
    return out;
}

const QRegularExpression &oldCollation()
{
    static const QRegularExpression re(QStringLiteral("\\bCOLLATE\\s+([\"'`\\[]?)JETTEXT\\b[\"'`\\]]?"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

QString newForm(QString sql)
{
    return sql.replace(oldCollation(), QStringLiteral("COLLATE NOCASE"));
}

// Stored schema entries that name the old collation: (type, name, table, sql).
// Runs at every first open, so the texts are searched as they are stored (the
// earlier versions wrote the name in capitals) and only a hit is looked at closely.
QList<QStringList> oldEntries(sqlite3 *db)
{
    QList<QStringList> out;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT sql, type, name, tbl_name FROM main.sqlite_master WHERE sql IS NOT NULL", -1,
                           &st, nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(st);
        return out;
    }
    const auto text = [st](int col) {
        return QByteArrayView(reinterpret_cast<const char *>(sqlite3_column_text(st, col)), sqlite3_column_bytes(st, col));
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QByteArrayView sql = text(0);
        if (!sql.contains("JETTEXT"))
            continue;
        const QString s = QString::fromUtf8(sql);
        if (oldCollation().match(s).hasMatch())
            out << QStringList{QString::fromUtf8(text(1)), QString::fromUtf8(text(2)), QString::fromUtf8(text(3)), s};
    }
    sqlite3_finalize(st);
    return out;
}

qint64 countRows(sqlite3 *db, const QString &table)
{
    const QList<QStringList> r = rows(db, QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdent(table)));
    return r.isEmpty() ? -1 : r.first().first().toLongLong();
}

// Rebuilds one table under its own name; false on the first failed step.
bool rebuildTable(sqlite3 *db, const QString &table)
{
    const QString name = sqlQuote(table);
    const QList<QStringList> def =
        rows(db, QStringLiteral("SELECT sql FROM main.sqlite_master WHERE type = 'table' AND name = %1").arg(name));
    if (def.size() != 1)
        return false;
    // Indexes and triggers go with the old table and come back from their own texts.
    const QList<QStringList> attached =
        rows(db, QStringLiteral("SELECT sql FROM main.sqlite_master WHERE type IN ('index', 'trigger') "
                                "AND sql IS NOT NULL AND tbl_name = %1 ORDER BY type")
                     .arg(name));
    QStringList columns;
    bool hasKey = false;
    for (const QStringList &c : rows(db, QStringLiteral("SELECT name, pk FROM pragma_table_info(%1)").arg(name))) {
        columns << quoteIdent(c[0]);
        hasKey = hasKey || c[1] != QLatin1String("0");
    }
    if (columns.isEmpty())
        return false;
    // Rows are told apart by their rowid, so it travels along; a primary key
    // keeps them apart itself.
    if (!hasKey)
        columns.prepend(QStringLiteral("rowid"));
    const QString list = columns.join(QLatin1String(", "));
    const QString oldName = quoteIdent(QStringLiteral("old form of ") + table);
    if (!run(db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quoteIdent(table), oldName))
        || !run(db, newForm(def.first().first()))
        || !run(db, QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(quoteIdent(table), list, oldName)))
        return false;
    const qint64 before = countRows(db, QStringLiteral("old form of ") + table);
    if (before < 0 || before != countRows(db, table))
        return false;
    if (!run(db, QStringLiteral("DROP TABLE %1").arg(oldName)))
        return false;
    for (const QStringList &a : attached)
        if (!run(db, newForm(a.first())))
            return false;
    return true;
}

} // namespace

bool hasOldCollation(sqlite3 *db)
{
    return !oldEntries(db).isEmpty();
}

bool upgradeOldCollation(sqlite3 *db)
{
    const QList<QStringList> entries = oldEntries(db);
    if (entries.isEmpty())
        return true;
    QStringList tables;
    for (const QStringList &e : entries)
        if ((e[0] == QLatin1String("table") || e[0] == QLatin1String("index")) && !tables.contains(e[2]))
            tables << e[2];
    // The rename must leave views and triggers that name a table alone: the
    // rebuilt table takes the name back.
    run(db, QStringLiteral("PRAGMA legacy_alter_table = ON"));
    bool ok = run(db, QStringLiteral("BEGIN IMMEDIATE"));
    if (ok) {
        for (const QString &t : std::as_const(tables))
            if (!(ok = rebuildTable(db, t)))
                break;
        // Views and triggers of other tables that name the collation themselves.
        for (const QStringList &e : entries)
            if (ok && (e[0] == QLatin1String("view") || e[0] == QLatin1String("trigger")) && !tables.contains(e[2]))
                ok = run(db, QStringLiteral("DROP %1 %2").arg(e[0].toUpper(), quoteIdent(e[1])))
                     && run(db, newForm(e[3]));
        ok = ok && run(db, QStringLiteral("COMMIT"));
        if (!ok)
            run(db, QStringLiteral("ROLLBACK"));
    }
    run(db, QStringLiteral("PRAGMA legacy_alter_table = OFF"));
    return ok && !hasOldCollation(db);
}

bool upgradeFile(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    registerSqlFunctions(db);
    bool ok = true;
    if (hasOldCollation(db))
        ok = upgradeOldCollation(db) && run(db, QStringLiteral("VACUUM"));
    sqlite3_close(db);
    return ok;
}

} // namespace engine
