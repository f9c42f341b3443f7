#pragma once

#include "../storage/StorageFixture.h"

#include "engine/EngineError.h"
#include "engine/JetSql.h"
#include "print/Printer.h"
#include "print/RecordingPrinter.h"
#include "storage/DatabaseHandling.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

// The two list queries the selection windows open, as the list prints get them.
inline QString businessListQuery(const QString &order = u"betrieb.[betr-nr]"_s)
{
    return QStringLiteral("SELECT betrieb.*, betrieb_adresse.* FROM betrieb INNER JOIN betrieb_adresse ON "
                          "(betrieb.[betr-hist-nr] = betrieb_adresse.[betr-hist-nr]) AND (betrieb.[betr-nr] = "
                          "betrieb_adresse.[betr-nr]) WHERE betrieb_adresse.[b-adr-art] = '1' ORDER BY ")
           + order;
}

inline const QString kPersonListQuery = QStringLiteral(
    "SELECT person.[pers-nr], person.[p-eintr-name], person.[fam-name], betrieb.[betr-nr], betrieb.[betr-hist-nr], "
    "betrieb.[gem-kz], betrieb.[b-eintr-name],beziehung_betrieb_person.[pers-nr-jp]  FROM (betrieb  INNER JOIN "
    "beziehung_betrieb_person  ON (beziehung_betrieb_person.[bez-betr-hist-nr] = betrieb.[betr-hist-nr])  AND "
    "(betrieb.[betr-nr] = beziehung_betrieb_person.[bez-betr-nr])) INNER JOIN person ON "
    "beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr]  ORDER BY person.[pers-nr];");

// The storage fixture with both databases loaded, a recording printer in
// place of the system's, a printer dialog that answers as told and keeps its
// titles, and the menu marks, the start picture and the pointer of the
// windows kept here.
class PrintFixture : public StorageFixture
{
public:
    PrintFixture()
    {
        auto recording = std::make_unique<RecordingPrinter>(11000, 15000);
        paper = recording.get();
        print::setPrinter(std::move(recording));
        print::setPrinterDialog([this](const QString &title) {
            dialogs << title;
            if (dialogError)
                throw engine::EngineError(dialogError, u"CommonDialog"_s);
            return dialogAnswer;
        });
        DB_Load();
        FormHooks &f = G().forms;
        f.menuChecked = [this](const QString &item) { return marks.value(item); };
        f.setMenuChecked = [this](const QString &item, bool on) { marks[item] = on; };
        f.setBusyCursor = [this](bool on) { pointer << on; };
        f.startPictureShown = [this] { return startPicture; };
    }
    ~PrintFixture()
    {
        print::setPrinter(nullptr);
        print::setPrinterDialog(nullptr);
    }

    using Row = std::vector<std::pair<const char *, QVariant>>;

    static QString sql(const QVariant &v) { return engine::isNull(v) ? u"NULL"_s : engine::sqlQuote(v.toString()); }

    static void insert(const char *table, const Row &row)
    {
        QStringList names, values;
        for (const auto &[name, value] : row) {
            names << engine::sqlName(QString::fromLatin1(name));
            values << sql(value);
        }
        G().Datenbank_Daten->execute(u"INSERT INTO [%1] (%2) VALUES (%3)"_s.arg(
            QString::fromLatin1(table), names.join(u','), values.join(u',')));
    }

    // The message boxes shown so far as "title|text|style", those with this title alone when one is given.
    static QStringList boxes(const QString &title = {})
    {
        QStringList out;
        for (const auto &box : platform::MessageService::recorded())
            if (title.isEmpty() || box.title == title)
                out << box.title + u'|' + box.text + u'|' + QString::number(box.style);
        return out;
    }

    // The one box a failing printer shows, however many lines fail after it.
    static inline const QString failureBox = u"Druckerfehler!|Testdrucker\nDer Ausdruck wurde abgebrochen und der "
                                             u"Fehler in die Log-Datei geschrieben.|64"_s;

    // Index of the first printed line with this text, -1 when none.
    int find(const QString &text) const { return int(paper->texts().indexOf(text)); }
    const RecordingPrinter::Line &line(int i) const { return paper->lines().at(size_t(i)); }
    // A printed line's text, size and emphasis in one string ("Seite: 1|12 BU"), so a
    // line's whole look is checked at once.
    QString look(int i) const
    {
        const auto &f = line(i).font;
        return line(i).text + u'|' + QString::number(f.size) + u' ' + (f.bold ? u"B"_s : u""_s)
               + (f.underline ? u"U"_s : u""_s);
    }
    QStringList titles() const { return startingWith(u"    Tabellenname:"_s); }
    QStringList startingWith(const QString &prefix) const
    {
        return paper->texts().filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix)));
    }

    RecordingPrinter *paper = nullptr;
    QStringList dialogs; // the titles of the printer dialogs shown
    int dialogAnswer = 0, dialogError = 0;
    QMap<QString, bool> marks;
    QList<bool> pointer;
    bool startPicture = false;
};
