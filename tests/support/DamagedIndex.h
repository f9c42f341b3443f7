#pragma once

// Overwrites the first page of an index with junk: the tables still open and
// read, only a check of the whole file finds the damage.

#include <sqlite3.h>

#include <QFile>
#include <QTest>

inline void damageIndex(const QString &path, const char *index)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE name = ?1", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, index, -1, SQLITE_STATIC);
    const qint64 page = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
    sqlite3_finalize(st);
    sqlite3_close(db);
    QVERIFY2(page > 1, index);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray header = file.read(18);
    const qint64 pageSize = (quint8(header.at(16)) << 8) | quint8(header.at(17));
    QVERIFY(file.seek((page - 1) * pageSize));
    file.write(QByteArray(pageSize, char(0xA5)));
}
