// Builds a template database from a schema script and reference rows:
//   mkdb <output> <schema.sql> [--password P] [--csv <table> <file.csv>]...
// CSV files are UTF-8, ';'-separated, with the column names in the first line.
#include "engine/PlannerStatistics.h"
#include "engine/SqlFunctions.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace {

int fail(const QString &msg)
{
    std::fprintf(stderr, "mkdb: %s\n", qPrintable(msg));
    return 1;
}

bool exec(sqlite3 *db, const QByteArray &sql, QString &error)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        error = QString::fromUtf8(err);
        sqlite3_free(err);
        return false;
    }
    return true;
}

bool loadCsv(sqlite3 *db, const QString &table, const QString &path, QString &error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("cannot read ") + path;
        return false;
    }
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    const QStringList header = in.readLine().split(QLatin1Char(';'));
    QStringList cols, marks;
    for (const QString &h : header) {
        cols << QLatin1Char('[') + h.trimmed() + QLatin1Char(']');
        marks << QStringLiteral("?");
    }
    const QByteArray sql = QStringLiteral("INSERT INTO [%1] (%2) VALUES (%3)")
                               .arg(table, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                               .toUtf8();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
        error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.trimmed().isEmpty())
            continue;
        const QStringList values = line.split(QLatin1Char(';'));
        for (int i = 0; i < header.size(); ++i) {
            const QByteArray v = values.value(i).toUtf8();
            sqlite3_bind_text(st, i + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        }
        if (sqlite3_step(st) != SQLITE_DONE) {
            error = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(st);
            return false;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() < 2)
        return fail(QStringLiteral("usage: mkdb <output> <schema.sql> [--password P] [--csv table file]..."));
    const QString output = args.takeFirst();
    const QString schemaPath = args.takeFirst();
    const QString temp = output + QStringLiteral(".tmp");
    QFile::remove(temp);

    QFile schema(schemaPath);
    if (!schema.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read ") + schemaPath);

    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(temp).constData(), &db) != SQLITE_OK)
        return fail(QStringLiteral("cannot create ") + temp);
    // Nothing of the engine is registered: a schema that needed more than
    // plain SQLite would fail here instead of in an administrator's tools.
    QString error;
    if (!exec(db, "BEGIN", error) || !exec(db, schema.readAll(), error))
        return fail(schemaPath + QStringLiteral(": ") + error);

    QString password;
    while (!args.isEmpty()) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--password") && !args.isEmpty()) {
            password = args.takeFirst();
        } else if (opt == QLatin1String("--csv") && args.size() >= 2) {
            const QString table = args.takeFirst();
            const QString file = args.takeFirst();
            if (!loadCsv(db, table, file, error))
                return fail(file + QStringLiteral(": ") + error);
        } else {
            return fail(QStringLiteral("unknown option ") + opt);
        }
    }
    if (!password.isEmpty())
        engine::writePassword(db, password);
    if (!engine::writePlannerStatistics(db))
        return fail(QStringLiteral("cannot write the planner statistics"));
    if (!exec(db, "COMMIT", error) || !exec(db, "PRAGMA journal_mode=DELETE", error) || !exec(db, "VACUUM", error))
        return fail(error);
    sqlite3_close(db);
    QFile::remove(output);
    if (!QFile::rename(temp, output))
        return fail(QStringLiteral("cannot write ") + output);
    return 0;
}
