#pragma once

#include "../storage/StorageFixture.h"

#include "engine/EngineError.h"
#include "engine/JetSql.h"
#include "print/Printer.h"
#include "print/RecordingPrinter.h"
#include "storage/DatabaseHandling.h"

#include <QMap>
#include <QStringList>
#include <utility>
#include <vector>

// The storage fixture with both databases loaded, a recording printer in
// place of the system's, a printer dialog that answers as told, and the
// menu marks, the start picture and the pointer of the windows kept here.
class PrintFixture : public StorageFixture
{
public:
    explicit PrintFixture(double pageWidth = 11000, double pageHeight = 15000)
    {
        auto recording = std::make_unique<RecordingPrinter>(pageWidth, pageHeight);
        paper = recording.get();
        print::setPrinter(std::move(recording));
        print::setPrinterDialog([this] {
            ++dialogs;
            if (dialogError)
                throw engine::EngineError(dialogError, QStringLiteral("CommonDialog"));
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

    static void insert(const char *table, const Row &row)
    {
        QStringList names, values;
        for (const auto &[name, value] : row) {
            names << engine::sqlName(QString::fromLatin1(name));
            values << (engine::isNull(value) ? QStringLiteral("NULL") : engine::sqlQuote(value.toString()));
        }
        G().Datenbank_Daten->execute(QStringLiteral("INSERT INTO [%1] (%2) VALUES (%3)")
                                         .arg(QString::fromLatin1(table), names.join(QLatin1Char(',')),
                                              values.join(QLatin1Char(','))));
    }

    static std::vector<platform::MessageRecord> boxes(const QString &title)
    {
        std::vector<platform::MessageRecord> out;
        for (const auto &box : platform::MessageService::recorded()) {
            if (box.title == title)
                out.push_back(box);
        }
        return out;
    }

    // Index of the first printed line with this text, -1 when none.
    int find(const QString &text, int from = 0) const
    {
        const auto &lines = paper->lines();
        for (int i = from; i < int(lines.size()); ++i) {
            if (lines[size_t(i)].text == text)
                return i;
        }
        return -1;
    }

    const RecordingPrinter::Line &line(int i) const { return paper->lines().at(size_t(i)); }

    QStringList startingWith(const QString &prefix) const
    {
        QStringList out;
        for (const QString &t : paper->texts()) {
            if (t.startsWith(prefix))
                out << t;
        }
        return out;
    }

    RecordingPrinter *paper = nullptr;
    int dialogs = 0;
    int dialogAnswer = 0;
    int dialogError = 0;
    QMap<QString, bool> marks;
    QList<bool> pointer;
    bool startPicture = false;
};
