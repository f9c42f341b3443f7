#pragma once

// A database file as any SQLite tool sees it: a connection that registers
// nothing of the engine, so a schema that needed more than plain SQLite
// would fail here as it fails in the sqlite3 shell.
#include <sqlite3.h>

#include <QFile>
#include <QStringList>

namespace fixture {

class PlainSqlite
{
public:
    explicit PlainSqlite(const QString &path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READONLY, nullptr);
    }
    ~PlainSqlite() { sqlite3_close(m_db); }
    PlainSqlite(const PlainSqlite &) = delete;
    PlainSqlite &operator=(const PlainSqlite &) = delete;

    // The rows of a query, columns joined by '|' and Null as "<null>"; the
    // error text as the only row when SQLite refuses the query.
    QStringList rows(const QString &sql) const
    {
        QStringList out;
        sqlite3_stmt *st = nullptr;
        int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr);
        while (rc == SQLITE_OK || rc == SQLITE_ROW) {
            if ((rc = sqlite3_step(st)) != SQLITE_ROW)
                break;
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                row << (sqlite3_column_type(st, i) == SQLITE_NULL
                            ? QStringLiteral("<null>")
                            : QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i))));
            out << row.join(QLatin1Char('|'));
        }
        if (rc != SQLITE_DONE)
            out = QStringList{QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(m_db))};
        sqlite3_finalize(st);
        return out;
    }

    QStringList tables() const
    {
        return rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name"));
    }

    // Every row of a table with its rowid, in rowid order.
    QStringList content(const QString &table) const
    {
        return rows(QStringLiteral("SELECT rowid, * FROM [%1] ORDER BY rowid").arg(table));
    }

    // What an administrator checks first: the file is sound, and every table
    // can be counted, read in the order of its first column, dumped and
    // searched by its first column. Returns the first complaint, or "".
    QString complaint() const
    {
        const QStringList check = rows(QStringLiteral("PRAGMA integrity_check"));
        if (check != QStringList{QStringLiteral("ok")})
            return QStringLiteral("integrity_check: ") + check.join(QLatin1Char(' '));
        if (!rows(QStringLiteral("SELECT name FROM sqlite_master WHERE sql LIKE '%JETTEXT%'")).isEmpty())
            return QStringLiteral("the schema names JETTEXT");
        for (const QString &t : tables()) {
            const QString first = rows(QStringLiteral("SELECT name FROM pragma_table_info('%1') LIMIT 1").arg(t)).value(0);
            for (const QString &sql :
                 {QStringLiteral("SELECT count(*) FROM [T]"), QStringLiteral("SELECT * FROM [T] ORDER BY 1"),
                  QStringLiteral("SELECT * FROM [T] WHERE [C] = 'x' OR [C] > 'a'"),
                  QStringLiteral("SELECT DISTINCT [C] FROM [T]")}) {
                const QStringList r = rows(QString(sql).replace(QLatin1String("[T]"), QLatin1Char('[') + t + QLatin1Char(']'))
                                               .replace(QLatin1String("[C]"), QLatin1Char('[') + first + QLatin1Char(']')));
                if (r.value(0).startsWith(QLatin1String("error: ")))
                    return t + QStringLiteral(": ") + r.first();
            }
        }
        return {};
    }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace fixture
