#include "AppFixture.h"
#include "../exchange/ImportFixture.h"

#include "app/Frm_Info.h"
#include "app/Frm_Optionen.h"
#include "exchange/Import.h"
#include "platform/FileDialog.h"
#include "record/Frm_Start.h"
#include "storage/ErrorLog.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {

// The widget lies wholly inside the part of the area that is on screen.
bool seenWhole(const QMdiArea *area, const QWidget *w)
{
    const QRect r(w->mapTo(area->viewport(), QPoint(0, 0)), w->size());
    return w->isVisible() && area->viewport()->rect().contains(r);
}

void collect(const QMenu *menu, int level, QStringList &out)
{
    for (QAction *a : menu->actions()) {
        const QString text = a->isSeparator() ? QStringLiteral("-") : a->text();
        out << QStringLiteral("%1 %2 %3").arg(level).arg(a->objectName(), text);
        if (a->menu())
            collect(a->menu(), level + 1, out);
    }
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;

private slots:
    void initTestCase() { isolateInstanceLock(m_tmp); }

    // Runs first: this process takes the lock at its first start without a
    // warning and keeps it, so later starts never warn.
    void warnsOnlyWhileAnotherInstanceHoldsTheLock_data()
    {
        QTest::addColumn<QString>("lockDir");
        QTest::addColumn<bool>("otherHolds");
        QTest::addColumn<bool>("warned");
        // The lock's name is taken by a directory: no lock can be made there.
        QTest::newRow("lock cannot be made") << QStringLiteral("blocked") << false << false;
        QTest::newRow("another instance holds it") << QString() << true << true;
    }

    void warnsOnlyWhileAnotherInstanceHoldsTheLock()
    {
        QFETCH(QString, lockDir);
        QFETCH(bool, otherHolds);
        QFETCH(bool, warned);
        QVERIFY(QDir(m_tmp.path()).mkpath(QStringLiteral("blocked/PLOXA_4x_Access.lock")));
        QLockFile other(QDir(m_tmp.path()).filePath(QStringLiteral("PLOXA_4x_Access.lock")));
        if (otherHolds)
            QVERIFY(other.tryLock(0));
        AppFixture fx;
        const QByteArray oldTmp = qgetenv("TMPDIR");
        if (!lockDir.isEmpty())
            qputenv("TMPDIR", QDir(m_tmp.path()).filePath(lockDir).toLocal8Bit());
        MDIForm1::setEndProgram([] {});
        {
            MDIForm1 main;
            main.loadStartWindow();
            QVERIFY(G().RS_betrieb && G().RS_betrieb->isOpen());
        }
        MDIForm1::setEndProgram(nullptr);
        qputenv("TMPDIR", oldTmp);
        const QStringList expected{QStringLiteral("Programmstart!|16|Eine Instanz dieses Programmes läuft "
                                                  "bereits,\nbitte beenden Sie alle Instanzen im Hintergrund "
                                                  "bevor Sie ''OK'' klicken!\n\n")};
        QCOMPARE(Running::boxes(), warned ? expected : QStringList());
    }

    void startShowsTheStartPicture()
    {
        Running app;
        QVERIFY(platform::MessageService::recorded().empty());
        QVERIFY(app.fx.log().isEmpty());
        QVERIFY(app.main->isVisible());
        QCOMPARE(app.main->windowTitle(), QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)"));
        QMdiSubWindow *start = app.subWindowOf(QStringLiteral("Frm_Start"));
        QVERIFY(start && start->isVisible());
        QCOMPARE(start->pos(), QPoint(0, 0));
        Frm_Start *f = app.main->frmStart();
        // The record window has its whole size inside the sub-window's frame,
        // and the frame opens large enough to show all of it.
        QCOMPARE(f->size(), QSize(platform::twips(12120), platform::twips(8850)));
        QVERIFY(start->contentsRect().contains(f->geometry()));
        QVERIFY(app.main->width() >= platform::twips(12165) && app.main->height() >= platform::twips(8940));
        for (const QWidget *w : std::initializer_list<const QWidget *>{f->Frame8, f->Label2, f->ProgressBar1})
            QVERIFY2(seenWhole(app.main->mdiArea(), w), qPrintable(w->objectName()));
        QVERIFY(f->Image2->isVisible() && f->Image1->isVisible());
        QVERIFY(!f->SSTab1->isVisible() && !f->Frame_Ueberschrift->isVisible() && !f->Frame_Anzahl->isVisible());
        // DATA_GEMEINDE loaded its window hidden and is bound.
        QVERIFY(app.main->optionenLoaded() && !app.main->frmOptionen()->isVisible());
        QCOMPARE(app.main->frmOptionen()->DATA_GEMEINDE->RecordSource(), QStringLiteral("aktuelleGemeinde"));
        QVERIFY(app.main->frmOptionen()->DATA_GEMEINDE->Recordset());
        QCOMPARE(f->DATA_BETR->DatabaseName(), G().Datei_DB_offen);
    }

    void menuTree()
    {
        Running app;
        QStringList tree;
        for (QAction *top : app.main->menuBar()->actions()) {
            tree << QStringLiteral("1 %1 %2").arg(top->objectName(), top->text());
            collect(top->menu(), 2, tree);
        }
        QCOMPARE(tree.join(QLatin1Char('/')),
                 QStringLiteral("1 menue_datei &Datei/"
                                "2 menue_suchen_betrieb öffnen (&Betrieb)/"
                                "2 menue_suchen_person öffnen (&Person)/"
                                "2 menue_drucken &drucken.../"
                                "3 menue_druck_betrieb aktueller &Betrieb/"
                                "3 menue_druck_Person aktuelle &Person/"
                                "2 menue_trenn1 -/"
                                "2 menue_beenden b&eenden/"
                                "1 menue_bearbeiten &Bearbeiten/"
                                "2 menue_import_datenbank Daten-&Import (RML --> Access)/"
                                "2 menue_trenn2 -/"
                                "2 menue_export_textdatei Daten-E&xport (Access --> RML)/"
                                "1 menue_extras &Extras/"
                                "2 menue_extras_optionen &Optionen/"
                                "1 menue_hilfe &Hilfe/"
                                "2 menue_hilfe_suchen &suchen in der Hilfe/"
                                "2 menue_hilfe_linie -/"
                                "2 menue_info I&nfo..."));
        for (QAction *a : app.main->menuBar()->findChildren<QAction *>())
            QVERIFY2(!a->isChecked(), qPrintable(a->objectName()));
    }

    void endingAsksOnceAboutTheLog_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("logged");
        QTest::newRow("b&eenden, nothing logged") << "menu" << false;
        QTest::newRow("b&eenden after an error") << "menu" << true;
        QTest::newRow("close box of the frame") << "frame" << true;
        QTest::newRow("close box of the record window") << "record" << true;
    }

    void endingAsksOnceAboutTheLog()
    {
        QFETCH(QString, how);
        QFETCH(bool, logged);
        Running app;
        if (logged)
            Error_Log(QStringLiteral("DB_Load"), QStringLiteral("x"), 5, QStringLiteral("y"), QStringLiteral("z"), 0);
        if (how == QLatin1String("menu"))
            app.trigger("menue_beenden");
        else if (how == QLatin1String("frame"))
            app.main->close();
        else
            app.subWindowOf(QStringLiteral("Frm_Start"))->close();
        QCOMPARE(app.ended, 1);
        QVERIFY(app.main->programEnded());
        QCOMPARE(app.boxes().size(), logged ? 1 : 0);
        QVERIFY(!logged || app.boxes()[0].startsWith(QStringLiteral("Achtung!|")));
        QVERIFY(app.fx.opened.isEmpty()); // answered No
    }

    void closingChildWindowsClearsTheMarks()
    {
        Running app;
        // A selection list stands in for the windows of later parts.
        const QPointer<QWidget> guard = app.addChild("Frm_Auswahl_Betr");
        G().forms.setMenuChecked(QStringLiteral("menue_suchen_betrieb"), true);
        G().forms.setMenuChecked(QStringLiteral("menue_import_datenbank"), true);
        G().forms.setMenuChecked(QStringLiteral("menue_druck_betrieb"), true);

        G().forms.closeChildWindows();

        // Print marks belong to the record window and survive.
        QVERIFY(!app.checked("menue_suchen_betrieb") && !app.checked("menue_import_datenbank"));
        QVERIFY(app.checked("menue_druck_betrieb"));
        QTRY_VERIFY(guard.isNull());
        // The record window and the hidden options window stay.
        QVERIFY(app.subWindowOf(QStringLiteral("Frm_Start"))->isVisible());
        QVERIFY(app.main->optionenLoaded());
    }

    void optionsFollowTheBusyFlag()
    {
        Running app;
        const QPointer<QWidget> guard = app.addChild("Frm_Auswahl_Pers");
        G().forms.setMenuChecked(QStringLiteral("menue_suchen_person"), true);

        app.trigger("menue_extras_optionen");
        QTRY_VERIFY(guard.isNull());
        QVERIFY(!app.checked("menue_suchen_person"));
        QVERIFY(app.checked("menue_extras_optionen"));
        QMdiSubWindow *sub = app.subWindowOf(QStringLiteral("Frm_Optionen"));
        QVERIFY(sub && sub->isVisible());
        QCOMPARE(qobject_cast<Frm_Optionen *>(sub->widget())->Text6[1]->text(),
                 G().Verz_DB + QStringLiteral("px_4x_m.mdb"));

        // A second click while it is open does nothing, and keeps the mark.
        app.trigger("menue_extras_optionen");
        QVERIFY(app.checked("menue_extras_optionen"));
        QCOMPARE(app.main->mdiArea()->subWindowList().size(), 2);

        sub->close();
        QVERIFY(!app.checked("menue_extras_optionen"));
        QTRY_VERIFY(!app.main->optionenLoaded());
        // Touching it again loads it hidden.
        QCOMPARE(G().forms.optionenPathText(0), QString());
        QVERIFY(app.main->optionenLoaded() && !app.main->frmOptionen()->isVisible());

        // A list's offer to pick a municipality shows it without the busy flag.
        G().forms.showOptionen();
        QVERIFY(app.subWindowOf(QStringLiteral("Frm_Optionen"))->isVisible());
        QVERIFY(!app.checked("menue_extras_optionen"));
    }

    void infoWindow()
    {
        const QStringList lines = Frm_Info::infoText().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5); // four lines, each ended by CR LF
        QCOMPARE(lines[2], QStringLiteral("Version:  420. 151. 3"));
        QVERIFY(lines[3].contains(QStringLiteral("© Statistisches Bundesamt (Destatis)")));

        Running app;
        QString shown;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            auto *info = qobject_cast<Frm_Info *>(QApplication::activeModalWidget());
            if (!info)
                return;
            modal = info->isModal();
            shown = info->RichTextBox1->toPlainText();
            info->Command1->click();
        });
        app.trigger("menue_info");
        QVERIFY(modal);
        QVERIFY(shown.startsWith(QStringLiteral("PLOXA_4x_Access\nPLOXA Gewerbedaten\nVersion:  420. 151. 3\n")));
        QVERIFY(!app.checked("menue_info"));
    }

    void helpPage_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("page present") << true;
        QTest::newRow("page missing") << false;
    }

    void helpPage()
    {
        QFETCH(bool, present);
        Running app(present);
        app.trigger("menue_hilfe_suchen");
        QCOMPARE(app.fx.opened.size(), present ? 1 : 0);
        if (present)
            QCOMPARE(QFileInfo(app.fx.opened[0]).fileName(), QStringLiteral("hilfe.htm"));
        QVERIFY(platform::MessageService::recorded().empty());
    }

    void escOnTheMainWindowStopsAnImport_data()
    {
        QTest::addColumn<bool>("focusNowhere");
        QTest::newRow("focus as the import leaves it") << false;
        QTest::newRow("no widget has the focus") << true;
    }

    // The clerk presses ESC while the status line asks for it; the key goes
    // through the window system to whatever has the focus in the frame.
    void escOnTheMainWindowStopsAnImport()
    {
        QFETCH(bool, focusNowhere);
        Running app;
        app.fx.answer = platform::vbYes;
        const int total = 300;
        TransferText file;
        for (int i = 0; i < total; ++i)
            file.businesses << business(QString::number(100000 + i), QStringLiteral("1"));
        const QString rml = G().Verz_Dat + QStringLiteral("gross.rml");
        QVERIFY(StorageFixture::writeFile(rml, file.text().toLatin1()));
        platform::setOpenFileDialog([rml](const platform::OpenFileRequest &) { return rml; });
        QVERIFY(QTest::qWaitForWindowActive(app.main.get()));

        Frm_Start *f = app.main->frmStart();
        bool sent = false, pictureShown = false, readable = false;
        QTimer press;
        connect(&press, &QTimer::timeout, this, [&] {
            if (sent || !f->Label2->text().endsWith(QStringLiteral("(ESC = Abbrechen)")))
                return;
            sent = true;
            pictureShown = f->Image2->isVisible() && !f->SSTab1->isVisible();
            readable = seenWhole(app.main->mdiArea(), f->Label2)
                       && f->Label2->width() >= f->Label2->fontMetrics().horizontalAdvance(f->Label2->text());
            if (focusNowhere && QApplication::focusWidget())
                QApplication::focusWidget()->clearFocus();
            QTest::keyClick(app.main->windowHandle(), Qt::Key_Escape);
        });
        press.start(0);
        app.trigger("menue_import_datenbank");
        press.stop();

        QVERIFY(sent && pictureShown && readable);
        const long imported = G().Datenbank_Daten->openRecordset(QStringLiteral("betrieb"))->recordCount();
        QVERIFY2(imported > 0 && imported < total, qPrintable(QString::number(imported)));
        QVERIFY(app.boxes().last().endsWith(QStringLiteral("Der Vorgang wurde abgebrochen!")));
        QCOMPARE(G().Letzte_Taste, qint16(0));
        QVERIFY(app.main->menuBar()->isEnabled());
    }

    void aRunningJobLocksTheMenusAndClosingCancelsIt()
    {
        Running app;
        app.addChild("Frm_Verwaltungsblock");
        G().forms.setMainEnabled(false);
        QMdiSubWindow *job = app.subWindowOf(QStringLiteral("Frm_Verwaltungsblock"));
        QVERIFY(!app.main->menuBar()->isEnabled() && !job->isEnabled());
        QMdiSubWindow *start = app.subWindowOf(QStringLiteral("Frm_Start"));
        QVERIFY(start->isEnabled() && app.main->isEnabled());
        // Closing under a running job cancels it like ESC and waits for its end.
        G().Letzte_Taste = 0;
        app.main->close();
        start->close();
        QCOMPARE(app.ended, 0);
        QVERIFY(start->isVisible());
        QCOMPARE(G().Letzte_Taste, qint16(27));

        G().forms.setMainEnabled(true);
        QVERIFY(app.main->menuBar()->isEnabled() && job->isEnabled());
        QTRY_VERIFY(app.ended > 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
