#pragma once

// A program directory in a temporary folder with working copies of the three
// template databases, opened as the start-up does, and recording window
// hooks and message boxes, for tests that import transfer files.

#include "exchange/Import.h"
#include "exchange/ProgImp.h"

#include "engine/Database.h"
#include "platform/Cp1252.h"
#include "platform/MessageService.h"
#include "storage/DatabaseHandling.h"
#include "storage/Declare.h"
#include "storage/Options.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

class ImportFixture
{
public:
    // Everything the window hooks were asked, in order ("status:...", "tab:0", ...).
    QStringList events;
    // Answers the boxes; setUp makes it say Yes (and OK) to everything.
    std::function<int(const platform::MessageRecord &)> answer;
    // Runs at each turn of the event loop the import gives; its argument counts the turns.
    std::function<void(int)> onTurn;
    int turns = 0;

    // A fresh program directory, or the one at root when given (a child
    // process working on its parent's directory).
    void setUp(QString root = {})
    {
        if (root.isEmpty()) {
            m_dir = std::make_unique<QTemporaryDir>();
            QVERIFY(m_dir->isValid());
            root = m_dir->path() + QLatin1Char('/');
            for (const char *sub : {"Log", "Dat", "DB"})
                QVERIFY(QDir(root).mkpath(QString::fromLatin1(sub)));
            for (const char *file : {"PX_Org.mdb", "px_4x_b.mdb", "px_4x_m.mdb"}) {
                const QString target = root + QStringLiteral("DB/") + QString::fromLatin1(file);
                QVERIFY(QFile::copy(QStringLiteral(PLOXA_PROGRAM_DIR "/") + QString::fromLatin1(file), target));
                QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
            }
        }
        G().reset();
        exchange::setPieceSize(exchange::kPieceSize);
        answer = [](const platform::MessageRecord &) { return platform::vbYes; };
        onTurn = {};
        turns = 0;
        m_marks.clear();
        Declare &g = G();
        g.Verz_Programm = root;
        g.Verz_Dat = root + QStringLiteral("Dat/");
        g.Verz_Log = root + QStringLiteral("Log/");
        g.Verz_DB = root + QStringLiteral("DB/");
        g.DB_Passwort = QStringLiteral("wexor");
        installHooks();
        platform::MessageService::clearRecorded();
        platform::MessageService::setScript([this](const platform::MessageRecord &r) { return answer(r); });
        g.Datenbank_Org = engine::Database::open(g.Verz_DB + QStringLiteral("PX_Org.mdb"), true, false,
                                                 QStringLiteral("; pwd=wexor"));
        g.RS_Optionen = g.Datenbank_Org->openRecordset(QStringLiteral("Optionen"));
        A_org_lesen();
        DB_Load();
        QVERIFY(g.Datenbank_Daten && g.RS_betrieb);
        events.clear();
    }

    // Stores kind as the data kind and opens the working database it names.
    void setStoredKind(const QString &kind) const
    {
        Declare &g = G();
        g.RS_Optionen->moveFirst();
        g.RS_Optionen->edit();
        g.RS_Optionen->setValue(QStringLiteral("datenart"), kind);
        g.RS_Optionen->update();
        DB_Close();
        A_org_lesen();
        DB_Load();
    }
    void useReportDatabase() const { setStoredKind(QStringLiteral("MELDUNGSBEZOGEN")); }

    // Lets go of the databases but keeps the program directory.
    void tearDownKeepingFiles()
    {
        platform::MessageService::clearScript();
        G().reset();
        engine::releaseFile(m_dir->path() + QStringLiteral("/DB/px_4x_b.mdb"));
        engine::releaseFile(m_dir->path() + QStringLiteral("/DB/PX_Org.mdb"));
    }

    void tearDown()
    {
        platform::MessageService::clearScript();
        platform::MessageService::clearRecorded();
        exchange::setPieceSize(exchange::kPieceSize);
        G().reset();
        m_dir.reset();
    }

    QString dat(const QString &name) const { return G().Verz_Dat + name; }

    // Writes text as the export writes it: Windows-1252, CR LF unless lf.
    QString writeFile(const QString &name, const QString &text, bool lf = false) const
    {
        QString t = text;
        if (!lf)
            t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        QFile f(dat(name));
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(platform::toCp1252(t));
        return f.fileName();
    }

    // Imports a file of the given text through the menu's path.
    void import(const QString &text, bool lf = false)
    {
        const QString path = writeFile(QStringLiteral("test.rml"), text, lf);
        Upd_1_Start(path);
    }

    // Imports a file holding the given business blocks.
    void importBusinesses(const QStringList &businesses);

    QString lastBox() const { return boxes().value(boxes().size() - 1); }

    QStringList boxes() const
    {
        QStringList texts;
        for (const platform::MessageRecord &r : platform::MessageService::recorded())
            texts << r.text;
        return texts;
    }

    // The values of the first column of a query on the working database.
    QStringList values(const QString &sql) const
    {
        QStringList out;
        auto rs = G().Datenbank_Daten->openRecordset(sql);
        if (rs->recordCount() == 0)
            return out;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext())
            out << (engine::isNull(rs->value(0)) ? QStringLiteral("<Null>") : rs->value(0).toString());
        return out;
    }

    int count(const QString &table, const QString &where = {}) const
    {
        const QString sql = QStringLiteral("SELECT count(*) FROM [") + table + QLatin1Char(']') +
                            (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where);
        return values(sql).value(0).toInt();
    }

    QString log() const
    {
        QFile f(G().Verz_Log + QStringLiteral("ERROR.LOG"));
        return f.open(QIODevice::ReadOnly) ? platform::fromCp1252(f.readAll()) : QString();
    }

    // Log records with the given error number.
    int logged(int number) const
    {
        return int(
            log().count(QStringLiteral("Fehlernummer:           ") + QString::number(number) + QStringLiteral("\r\n")));
    }

    // Every row of every working table, values in column order, rows sorted.
    QMap<QString, QStringList> snapshot() const
    {
        QMap<QString, QStringList> out;
        for (const QString &table : workTables()) {
            QStringList rows;
            const auto rs = G().Datenbank_Daten->openRecordset(table);
            for (; !rs->eof(); rs->moveNext()) {
                QStringList values;
                for (int i = 0; i < rs->fieldCount(); ++i)
                    values << (engine::isNull(rs->value(i)) ? QStringLiteral("<Null>") : rs->value(i).toString());
                rows << values.join(QLatin1Char('|'));
            }
            rs->close();
            rows.sort();
            out.insert(table, rows);
        }
        return out;
    }

    static QStringList workTables()
    {
        return {"betrieb", "betrieb_adresse", "betrieb_taetigkeit", "betrieb_erlaubnis", "betrieb_handwerkskarte",
                "betrieb_meldgrundsonst", "person", "person_staatsang", "person_erlaubnis", "person_handwerkskarte",
                "beziehung_betrieb_person"};
    }

    // Tables compared one by one, so that a failure names the table.
    void compareSnapshot(const QMap<QString, QStringList> &before, const QStringList &tables = workTables()) const
    {
        const QMap<QString, QStringList> after = snapshot();
        for (const QString &table : tables)
            QCOMPARE(after.value(table), before.value(table));
    }

private:
    void installHooks()
    {
        FormHooks &f = G().forms;
        f.setStatusText = [this](const QString &t) { events << QStringLiteral("status:") + t; };
        f.setProgressMax = [this](int v) { events << QStringLiteral("max:") + QString::number(v); };
        f.setProgressValue = [this](int v) { events << QStringLiteral("value:") + QString::number(v); };
        f.showStartPicture = [this] { events << QStringLiteral("startPicture"); };
        f.setTab = [this](int t) {
            events << QStringLiteral("tab:") + QString::number(t);
            // The tab event writes its header, as the record window does.
            events << QStringLiteral("status:Anzeige: Meldedaten");
        };
        f.setBusyCursor = [this](bool b) { events << QStringLiteral("busy:") + QString::number(b); };
        f.setMainCaption = [this](const QString &c) { events << QStringLiteral("caption:") + c; };
        f.setMenuChecked = [this](const QString &item, bool on) {
            m_marks[item] = on;
            events << QStringLiteral("mark:") + item + QLatin1Char('=') + QString::number(on);
        };
        f.menuChecked = [this](const QString &item) { return m_marks.value(item); };
        f.setMainEnabled = [this](bool on) { events << QStringLiteral("enabled:") + QString::number(on); };
        f.closeChildWindows = [this] { events << QStringLiteral("closeChildWindows"); };
        f.processEvents = [this] {
            ++turns;
            if (onTurn)
                onTurn(turns);
        };
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QHash<QString, bool> m_marks;
};

// One business block: its key lines, then the body lines.
inline QString business(const QString &nr, const QString &hist, const QStringList &body = {})
{
    QString out = QStringLiteral("<betrieb>\n<gem-kz>01001000</gem-kz>\n<betr-nr>") + nr +
                  QStringLiteral("</betr-nr>\n<betr-hist-nr>") + hist + QStringLiteral("</betr-hist-nr>\n");
    for (const QString &l : body)
        out += l + QLatin1Char('\n');
    return out + QStringLiteral("</betrieb>\n");
}

inline QString element(const QString &name, const QString &value)
{
    return QLatin1Char('<') + name + QLatin1Char('>') + value + QStringLiteral("</") + name + QLatin1Char('>');
}

// "<name>", the lines, then the end tag (without the start tag's attributes).
inline QStringList item(const QString &name, const QStringList &lines)
{
    return QStringList{QLatin1Char('<') + name + QLatin1Char('>')} + lines +
           QStringList{QStringLiteral("</") + name.section(QLatin1Char(' '), 0, 0) + QLatin1Char('>')};
}

// Three businesses 100 to 102, each named name plus its number, with a
// location address in ort and one person P<nr> of its own: the person's lines
// follow its keys.
inline QStringList threeBusinesses(const QString &name = QStringLiteral("Gärtnerei "),
                                   const QString &ort = QStringLiteral("Kiel"),
                                   const QStringList &person = item(QStringLiteral("staatsangehoerigkeiten"),
                                       item(QStringLiteral("staatsangehoerigkeit"),
                                            {element(QStringLiteral("staat-text"), QStringLiteral("deutsch")),
                                             element(QStringLiteral("staat-schl"), QStringLiteral("000"))})))
{
    QStringList out;
    for (const QString nr : {"100", "101", "102"})
        out << business(nr, "0",
                        QStringList{element("b-eintr-name", name + nr)} +
                            item("adressen", item("adresse art=\"1\"", {element("b-adr-art", "1"), element("b-ort", ort)})) +
                            item("personen", item("person", QStringList{element("p-funktion", "4"),
                                                                       element("pers-nr", "P" + nr),
                                                                       element("p-art", "NP")} + person)));
    return out;
}

// Transfer-file text as the export writes it, joined with "\n"; three businesses
// unless set.
struct TransferText
{
    QString struktur = QStringLiteral("BETRIEBSBEZOGEN");
    QString version = QStringLiteral("1.5.1");
    QString total;
    bool withStruktur = true, withVersion = true;
    QStringList businesses = threeBusinesses();

    QString text() const
    {
        QStringList l{QStringLiteral("<gewerbedatei xmlns:ploxaML='http://ploxa.de/rml'>"),
                      QStringLiteral("<verwaltungsblock>"),
                      QStringLiteral("<verarbeitungsart>MIGRATION</verarbeitungsart>")};
        if (withStruktur)
            l << QStringLiteral("<struktur>") + struktur + QStringLiteral("</struktur>");
        if (withVersion)
            l << QStringLiteral("<rml-version>") + version + QStringLiteral("</rml-version>");
        l << QStringLiteral("<zahl-betriebe-gesamt>") + (total.isNull() ? QString::number(businesses.size()) : total) +
                 QStringLiteral("</zahl-betriebe-gesamt>");
        l << QStringLiteral("</verwaltungsblock>") << QStringLiteral("<datenblock>");
        QString out = l.join(QLatin1Char('\n')) + QLatin1Char('\n');
        for (const QString &b : businesses)
            out += b;
        return out + QStringLiteral("</datenblock>\n</gewerbedatei>\n");
    }
};

inline void ImportFixture::importBusinesses(const QStringList &businesses)
{
    TransferText t;
    t.businesses = businesses;
    import(t.text());
}
