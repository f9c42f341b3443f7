#pragma once

#include "engine/Database.h"
#include "engine/JetSql.h"
#include "platform/MessageService.h"
#include "record/Frm_Start.h"
#include "select/Frm_Auswahl_Betr.h"
#include "select/Frm_Auswahl_Pers.h"
#include "select/ViewTableModel.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using platform::MessageService;

// What of a list window the clerk cannot see at its size; empty when the
// window holds its size inside a normal sub-window, every grid column lies
// inside the grid, every key column and every key search box (at most 12
// characters) has room for its longest value, and every button is on screen.
inline QString hiddenParts(QMdiArea *area, QWidget *list, QTableView *grid, const QMap<int, int> &keyColumns)
{
    QCoreApplication::processEvents();
    auto *sub = qobject_cast<QMdiSubWindow *>(list->parentWidget());
    if (!sub || sub->isMaximized() || list->size() != QSize(platform::twips(12120), platform::twips(8850))
        || !sub->contentsRect().contains(list->geometry()))
        return QStringLiteral("window not at its size");
    const auto digits = [](const QWidget *w, int n) {
        return w->fontMetrics().horizontalAdvance(QString(n, QLatin1Char('0')));
    };
    QHeaderView *header = grid->horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
        if (header->sectionViewportPosition(c) < 0
            || header->sectionViewportPosition(c) + header->sectionSize(c) > grid->viewport()->width())
            return QStringLiteral("column %1 outside the grid").arg(c);
        if (keyColumns.contains(c) && header->sectionSize(c) < digits(grid, keyColumns[c]))
            return QStringLiteral("column %1 too narrow").arg(c);
    }
    for (QLineEdit *field : list->findChildren<QLineEdit *>()) {
        if (field->isVisibleTo(list) && field->maxLength() <= 12 && field->width() < digits(field, field->maxLength()) + 4)
            return field->objectName() + QStringLiteral(" too narrow");
    }
    for (QPushButton *button : list->findChildren<QPushButton *>()) {
        const QRect r(button->mapTo(area->viewport(), QPoint(0, 0)), button->size());
        if (button->isVisibleTo(list) && !area->viewport()->rect().contains(r))
            return button->objectName() + QStringLiteral(" off screen");
    }
    return {};
}

// A program directory with fresh copies of the shipped databases, opened the
// way the start-up opens them, and writers of fixture rows.
struct SelectFixture
{
    QTemporaryDir dir;
    QString orgPath = dir.filePath(QStringLiteral("PX_Org.mdb"));
    QString workPath = dir.filePath(QStringLiteral("px_4x_b.mdb"));

    bool setUp()
    {
        QLocale::setDefault(QLocale(QLocale::German));
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

    // One row of (column, value) pairs into a table of the work database.
    static void insert(const char *table, std::initializer_list<std::pair<const char *, QVariant>> row)
    {
        QStringList names, values;
        for (const auto &[name, value] : row) {
            names << engine::sqlName(QString::fromLatin1(name));
            values << lit(value);
        }
        G().Datenbank_Daten->execute(QStringLiteral("INSERT INTO [%1] (%2) VALUES (%3)")
                                         .arg(QString::fromLatin1(table), names.join(u','), values.join(u',')));
    }

    void business(const QString &gemKz, const QString &nr, const QVariant &name,
                  const QString &meldArt = QStringLiteral("100"), const QVariant &ende = {})
    {
        insert("betrieb", {{"gem-kz", gemKz}, {"betr-nr", nr}, {"betr-hist-nr", "1"}, {"b-eintr-name", name},
                           {"meld-art", meldArt}, {"betr-ende", ende}});
    }

    void address(const QString &nr, const QString &art, const QString &ort, const QString &strasse)
    {
        insert("betrieb_adresse",
               {{"betr-nr", nr}, {"betr-hist-nr", "1"}, {"b-adr-art", art}, {"b-ort", ort}, {"b-strasse", strasse}});
    }

    void municipality(const QString &gemKz, const QVariant &marked)
    {
        G().Datenbank_Org->execute(
            QStringLiteral("INSERT INTO aktuelleGemeinde ([gem-kz], [markiert]) VALUES (%1, %2)")
                .arg(lit(gemKz), engine::isNull(marked) ? QStringLiteral("NULL") : marked.toBool() ? "-1" : "0"));
    }

    // Two marked municipalities, an unmarked and a Null-marked one.
    void standardMunicipalities()
    {
        municipality("01001000", true);
        municipality("02002000", true);
        municipality("03003000", false);
        municipality("04004000", QVariant());
    }
};

// The main window holding the record window and a second child, with the
// menu marks and the child-window hooks recorded instead of acted on.
struct ListFixture : SelectFixture
{
    QMainWindow *main = nullptr;
    QMdiArea *area = nullptr;
    QMdiSubWindow *other = nullptr;
    Frm_Start *start = nullptr;
    QMap<QString, bool> marks;
    int answer = platform::vbOK;
    int closeChildCalls = 0;

    bool setUpWindows()
    {
        if (!setUp())
            return false;
        marks.clear();
        answer = platform::vbOK;
        closeChildCalls = 0;
        MessageService::clearRecorded();
        MessageService::setScript([this](const platform::MessageRecord &) { return answer; });
        main = new QMainWindow;
        area = new QMdiArea(main);
        main->setCentralWidget(area);
        main->resize(1000, 800);
        start = new Frm_Start;
        start->installHooks();
        for (BoundView *v : start->findChildren<BoundView *>())
            v->setDatabaseName(workPath);
        start->DATA_ORG->setDatabaseName(orgPath);
        area->addSubWindow(start)->show();
        other = area->addSubWindow(new QWidget);
        other->show();
        auto *gemeinde = new BoundView(QStringLiteral("DATA_GEMEINDE"), main);
        main->show();
        if (!QTest::qWaitForWindowExposed(main))
            return false;
        FormHooks &f = G().forms;
        f.menuChecked = [this](const QString &item) { return marks.value(item); };
        f.setMenuChecked = [this](const QString &item, bool on) { marks[item] = on; };
        f.closeChildWindows = [this] {
            ++closeChildCalls;
            marks.clear();
        };
        f.addMdiChild = [this](QWidget *w) { area->addSubWindow(w)->show(); };
        f.optionenGemeinde = [gemeinde] { return gemeinde; };
        return true;
    }

    void tearDownWindows()
    {
        if (Frm_Auswahl_Betr::loaded())
            Frm_Auswahl_Betr::loaded()->unload();
        if (Frm_Auswahl_Pers::loaded())
            Frm_Auswahl_Pers::loaded()->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete main; // owns the lists through their sub-windows
        MessageService::clearScript();
        tearDown();
    }

    // The rows of a test that opens a list over the record window as the
    // clerk left it, normal or maximized.
    static void addRecordWindowRows()
    {
        QTest::addColumn<bool>("recordWindowMaximized");
        QTest::newRow("record window normal") << false;
        QTest::newRow("record window maximized") << true;
    }

    // The frame at the program's start size, the record window as the row says.
    void layOutAsStarted(bool recordWindowMaximized)
    {
        main->resize(platform::twips(12165) + 40, platform::twips(8940) + 80);
        if (recordWindowMaximized) {
            auto *sub = qobject_cast<QMdiSubWindow *>(start->parentWidget());
            area->setActiveSubWindow(sub);
            sub->showMaximized();
        }
    }

    // The one box shown, as "title|style|text".
    static QString onlyBox()
    {
        const auto &r = MessageService::recorded();
        return r.size() != 1 ? QStringLiteral("%1 boxes").arg(r.size())
                             : QStringLiteral("%1|%2|%3").arg(r[0].title).arg(r[0].style).arg(r[0].text);
    }

    // Character by character, as a clerk types (umlauts included).
    static void type(QLineEdit *field, const QString &typed)
    {
        field->setFocus();
        for (QChar c : typed)
            field->insert(QString(c));
    }
};
