#pragma once

#include "engine/Database.h"
#include "engine/JetSql.h"
#include "storage/Declare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A program directory with fresh copies of the shipped databases, opened the
// way the start-up opens them, and writers of fixture rows.
struct SelectFixture
{
    QTemporaryDir dir;
    QString orgPath = dir.filePath(QStringLiteral("PX_Org.mdb"));
    QString workPath = dir.filePath(QStringLiteral("px_4x_b.mdb"));

    bool setUp()
    {
        G().reset();
        for (const QString &to : {orgPath, workPath}) {
            engine::releaseFile(to);
            QFile::remove(to);
            if (!QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/") + QFileInfo(to).fileName(), to))
                return false;
            QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
        }
        Declare &g = G();
        g.Verz_Log = dir.path() + QLatin1Char('/');
        g.Datei_DB_Org = orgPath;
        g.Datei_DB_Daten = g.Datei_DB_offen = workPath;
        g.Datenbank_Org = engine::Database::open(orgPath, true, false, QStringLiteral("; pwd=wexor"));
        g.Datenbank_Daten = engine::Database::open(workPath);
        g.RS_betrieb = g.Datenbank_Daten->openRecordset(QStringLiteral("betrieb"));
        return true;
    }

    void tearDown()
    {
        G().reset();
        engine::releaseFile(orgPath);
        engine::releaseFile(workPath);
    }

    static QString lit(const QVariant &v)
    {
        return engine::isNull(v) ? QStringLiteral("NULL") : engine::sqlQuote(v.toString());
    }

    void business(const QString &gemKz, const QString &nr, const QVariant &name,
                  const QString &meldArt = QStringLiteral("100"), const QVariant &ende = {})
    {
        G().Datenbank_Daten->execute(QStringLiteral("INSERT INTO betrieb ([gem-kz], [betr-nr], [betr-hist-nr], "
                                                    "[b-eintr-name], [meld-art], [betr-ende]) VALUES (%1, %2, '1', %3, %4, %5)")
                                         .arg(lit(gemKz), lit(nr), lit(name), lit(meldArt), lit(ende)));
    }

    void address(const QString &nr, const QString &art, const QString &ort, const QString &strasse)
    {
        G().Datenbank_Daten->execute(QStringLiteral("INSERT INTO betrieb_adresse ([betr-nr], [betr-hist-nr], "
                                                    "[b-adr-art], [b-ort], [b-strasse]) VALUES (%1, '1', %2, %3, %4)")
                                         .arg(lit(nr), lit(art), lit(ort), lit(strasse)));
    }

    void municipality(const QString &gemKz, const QVariant &marked)
    {
        G().Datenbank_Org->execute(
            QStringLiteral("INSERT INTO aktuelleGemeinde ([gem-kz], [markiert]) VALUES (%1, %2)")
                .arg(lit(gemKz), engine::isNull(marked) ? QStringLiteral("NULL") : marked.toBool() ? "-1" : "0"));
    }
};
