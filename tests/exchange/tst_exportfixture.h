#pragma once

// The import's program directory and recording hooks, plus what export tests
// need: rows written through the engine, a fixed clock, a header as the
// dialog fills it, and the transfer files of the Dat directory.

#include "ImportFixture.h"

#include "engine/JetSql.h"
#include "exchange/ProgExp.h"

#include <QDir>
#include <QPair>
#include <algorithm>

using Values = QList<QPair<QString, QVariant>>;

// The time stamp of the fixed clock, as file names carry it.
inline const QString kStamp = QStringLiteral("08-12-2026_14-05-33");

class ExportFixture : public ImportFixture
{
public:
    void setUp()
    {
        ImportFixture::setUp();
        exchange::setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 33)); });
    }

    void tearDown()
    {
        exchange::setClock({});
        ImportFixture::tearDown();
    }

    // One row added through a table record set of the working database.
    void row(const QString &table, const Values &values) const
    {
        const auto rs = G().Datenbank_Daten->openRecordset(table);
        rs->addNew();
        for (const auto &[name, value] : values)
            rs->setValue(name, value);
        rs->update();
        rs->close();
    }

    void business(const QString &nr, const QString &hist, const Values &more = {}) const
    {
        Values v{{"gem-kz", "01001000"}, {"betr-nr", nr}, {"betr-hist-nr", hist}};
        v += more;
        row(QStringLiteral("betrieb"), v);
    }

    // A row of one of the business's own tables.
    void sub(const QString &table, const QString &nr, const QString &hist, const Values &more) const
    {
        row(table, Values{{"betr-nr", nr}, {"betr-hist-nr", hist}} + more);
    }

    // The link of person pers to a business, at position sort.
    void link(const QString &nr, const QString &hist, const QString &pers, const QString &sort,
              const Values &more = {}) const
    {
        row(QStringLiteral("beziehung_betrieb_person"),
            Values{{"bez-betr-nr", nr}, {"bez-betr-hist-nr", hist}, {"bez-pers-nr", pers}, {"bez-sort-nr", sort}} + more);
    }

    // The header as the dialog fills it on 08.12.2026 at 14.05.33.
    static exchange::ExportHeader header(const QString &struktur = QStringLiteral("BETRIEBSBEZOGEN"))
    {
        exchange::ExportHeader h;
        h.text = {QStringLiteral("MIGRATION"), struktur, QStringLiteral("08.12.2026"), QStringLiteral("14.05.33"),
                  QStringLiteral("Amt Kiel"), QStringLiteral("ID-7"), QStringLiteral("MIGRATION ACCESS"),
                  QStringLiteral("gewerbe@kiel.de"), QString(), QStringLiteral("08.12.2026"), QStringLiteral("3"),
                  QStringLiteral("Kiel"), QStringLiteral("01002000"), QStringLiteral("0431 123"),
                  exchange::rmlVersionText()};
        return h;
    }

    void exportAll(const QVariant &art = QString()) const { RML_Exp_1(art, header()); }

    QStringList datFiles() const
    {
        QStringList names = QDir(G().Verz_Dat).entryList(QDir::Files, QDir::Name);
        names.removeAll(QStringLiteral("test.rml"));
        return names;
    }

    QByteArray bytes(const QString &name) const
    {
        QFile f(dat(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The lines of a transfer file; every line must end with CR LF.
    QStringList lines(const QString &name) const
    {
        const QString text = platform::fromCp1252(bytes(name));
        if (!text.endsWith(QStringLiteral("\r\n")))
            return {QStringLiteral("<no CR LF at the end>")};
        QStringList out = text.chopped(2).split(QStringLiteral("\r\n"));
        for (const QString &l : out)
            if (l.contains(QLatin1Char('\n')) || l.contains(QLatin1Char('\r')))
                return {QStringLiteral("<bare line break>")};
        return out;
    }

    // The lines from the first "<betrieb>" to the last "</betrieb>".
    QStringList blocks(const QString &name) const
    {
        const QStringList all = lines(name);
        const qsizetype a = all.indexOf(QStringLiteral("<betrieb>"));
        const qsizetype b = all.lastIndexOf(QStringLiteral("</betrieb>"));
        return a < 0 || b < a ? QStringList() : all.mid(a, b - a + 1);
    }

    // The body RML_Exp_2_Tabellen writes for one business of the database (a null hist: a Null one).
    QStringList body(const QString &nr, const QString &hist) const
    {
        Declare &g = G();
        g.RS_betrieb = g.Datenbank_Daten->openRecordset(
            QStringLiteral("SELECT * FROM betrieb WHERE [betr-nr] = ") + engine::sqlQuote(nr)
            + (hist.isNull() ? QStringLiteral(" AND [betr-hist-nr] IS NULL")
                             : QStringLiteral(" AND [betr-hist-nr] = ") + engine::sqlQuote(hist)));
        const QString path = dat(QStringLiteral("body.txt"));
        g.Exp_Dateinummer = exchange::openExportFile(path);
        RML_Exp_2_Tabellen(g.RS_betrieb->value(QStringLiteral("betr-nr")), g.RS_betrieb->value(QStringLiteral("betr-hist-nr")));
        exchange::finishExportFile(g.Exp_Dateinummer);
        const QStringList out = lines(QStringLiteral("body.txt"));
        QFile::remove(path);
        return out;
    }

    void emptyWorkTables() const
    {
        for (const QString &table : workTables())
            G().Datenbank_Daten->execute(QStringLiteral("DELETE FROM [") + table + QLatin1Char(']'));
    }

};
