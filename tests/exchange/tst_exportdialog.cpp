// The export header dialog and its menu item: what the dialog shows on load,
// the busy flag, "OK" and "Abbrechen", and the dialog inside the main window.

#include "tst_exportfixture.h"

#include "../app/AppFixture.h"

#include "app/MDIForm1.h"
#include "exchange/Export.h"
#include "exchange/Frm_Verwaltungsblock.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>

namespace {

const QString kMark = QStringLiteral("mark:menue_export_textdatei=");

QColor background(const QLineEdit *field)
{
    return field->palette().color(QPalette::Base);
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestExportDialog : public QObject
{
    Q_OBJECT
    ExportFixture fx;

    Frm_Verwaltungsblock *open()
    {
        MDIForm1_menue_export_textdatei_Click();
        return Frm_Verwaltungsblock::loaded();
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }
    void init() { fx.setUp(); }
    void cleanup()
    {
        if (Frm_Verwaltungsblock *d = Frm_Verwaltungsblock::loaded())
            d->unload();
        flushDeletes();
        fx.tearDown();
    }

    // The fields the program fills are locked and greyed; the user types the rest.
    void lockedFields()
    {
        fx.business("100", "1");
        Frm_Verwaltungsblock *d = open();
        QStringList locked;
        for (int i = 0; i < 15; ++i)
            if (d->Text1[size_t(i)]->isReadOnly() && background(d->Text1[size_t(i)]) == QColor(224, 224, 224))
                locked << QString::number(i);
        QCOMPARE(locked, (QStringList{"0", "1", "2", "3", "6", "9", "10", "14"}));
        QCOMPARE(d->Text1[2]->text(), QStringLiteral("08.12.2026"));
        QCOMPARE(d->Text1[14]->text(), QStringLiteral("1.5.1"));
        QVERIFY(d->Check1[3]->isChecked() && !d->Check1[3]->isEnabled());
    }

    void load_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("datenart");
        QTest::addColumn<QString>("count");
        QTest::addColumn<bool>("keyOption");
        QTest::addColumn<QString>("struktur");
        QTest::newRow("no rows") << QStringList{} << "BETRIEBSBEZOGEN" << "keine Sätze vorhanden!" << false
                                 << "BETRIEBSBEZOGEN";
        QTest::newRow("rows without keys") << QStringList{"", ""} << "BETRIEBSBEZOGEN" << "2" << false << "BETRIEBSBEZOGEN";
        QTest::newRow("a key") << QStringList{"", "A1"} << "BETRIEBSBEZOGEN" << "2" << true << "BETRIEBSBEZOGEN";
        QTest::newRow("report-related") << QStringList{"A1"} << "MELDUNGSBEZOGEN" << "1" << true << "MELDUNGSBEZOGEN";
        QTest::newRow("other text opens the report-related database")
            << QStringList{"A1"} << "betriebsbezogen" << "1" << true << "MELDUNGSBEZOGEN";
    }
    void load()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, datenart);
        for (int i = 0; i < keys.size(); ++i)
            fx.business(QString::number(100 + i), "1", {{"schluesselfeld", keys.at(i)}});
        G().Datenart_aktuell = datenart;
        Frm_Verwaltungsblock *d = open();
        QTEST(d->Text1[10]->text(), "count");
        QCOMPARE(background(d->Text1[10]), keys.isEmpty() ? QColor(255, 0, 0) : QColor(224, 224, 224));
        QFETCH(bool, keyOption);
        QCOMPARE(!d->Check1[0]->isHidden(), keyOption);
        QTEST(d->Text1[1]->text(), "struktur");
    }

    void busyFlag()
    {
        QPointer<Frm_Verwaltungsblock> first = open();
        QVERIFY(first);
        QCOMPARE(fx.events, (QStringList{"closeChildWindows", kMark + "1"}));
        // While the mark is set the item does nothing.
        QCOMPARE(open(), first.data());
        QCOMPARE(fx.events.size(), 2);

        first->Command1_Click(1);
        flushDeletes();
        QVERIFY(!first);
        QCOMPARE(fx.events.last(), kMark + "0");
        // "Abbrechen" leaves the item usable at once.
        QPointer<Frm_Verwaltungsblock> second = open();
        QVERIFY(second);
        QCOMPARE(fx.events.last(), kMark + "1");
        // So does the window's close box.
        second->show();
        second->close();
        flushDeletes();
        QVERIFY(!second);
        QCOMPARE(fx.events.last(), kMark + "0");
        QCOMPARE(fx.datFiles(), QStringList());
    }

    void okExports_data()
    {
        QTest::addColumn<bool>("perKey");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("all rows") << false << QStringList{"08-12-2026_14-05-33.rml"};
        QTest::newRow("per key") << true << QStringList{"A1_08-12-2026_14-05-33.rml", "B2_08-12-2026_14-05-33.rml"};
    }
    void okExports()
    {
        QFETCH(bool, perKey);
        QFETCH(QStringList, files);
        fx.business("100", "1", {{"schluesselfeld", "A1"}});
        fx.business("101", "1", {{"schluesselfeld", "B2"}});
        QPointer<Frm_Verwaltungsblock> d = open();
        QTest::keyClicks(d->Text1[4], "Frau Meier");
        QTest::keyClicks(d->Text1[8], "01.07.2026");
        QTest::keyClicks(d->Text1[12], "01002000");
        d->Check1[0]->setChecked(perKey);
        fx.events.clear();
        QTest::mouseClick(d->Command1[0], Qt::LeftButton);
        flushDeletes();
        QVERIFY(!d);
        QCOMPARE(fx.datFiles(), files);
        for (const QString &f : files)
            for (const char *typed : {"<ersteller>Frau Meier</ersteller>", "<gem-kz>01002000</gem-kz>",
                                      "<berichts-zeitraum-von>20260701</berichts-zeitraum-von>", "<erstellzeit>140533</erstellzeit>"})
                QVERIFY2(fx.lines(f).contains(typed), typed);
        // The start picture first, the main window off while the export runs,
        // and the mark is the export's until it ends.
        const QStringList order = fx.events.filter(QRegularExpression("^(startPicture|enabled:|mark:)"));
        QCOMPARE(order, (QStringList{"startPicture", "enabled:0", kMark + "1", kMark + "0", "enabled:1"}));
    }

    void insideTheMainWindow()
    {
        fx.tearDown();
        AppFixture app;
        MDIForm1::setEndProgram([] {});
        {
            MDIForm1 main;
            main.loadStartWindow();
            const auto sub = [&main]() -> QMdiSubWindow * {
                for (QMdiSubWindow *s : main.mdiArea()->subWindowList())
                    if (s->widget() && s->widget()->objectName() == "Frm_Verwaltungsblock")
                        return s;
                return nullptr;
            };
            main.menuItem("menue_export_textdatei")->trigger();
            QVERIFY(sub());
            // The dialog has its whole size inside the sub-window's frame, and
            // its buttons are on screen.
            QCOMPARE(sub()->pos(), QPoint(0, 0));
            QCOMPARE(sub()->widget()->size(), QSize(platform::twips(12120), platform::twips(8850)));
            QVERIFY(sub()->contentsRect().contains(sub()->widget()->geometry()));
            QWidget *viewport = main.mdiArea()->viewport();
            for (QPushButton *button : Frm_Verwaltungsblock::loaded()->Command1) {
                const QRect r(button->mapTo(viewport, QPoint(0, 0)), button->size());
                QVERIFY2(button->isVisible() && viewport->rect().contains(r), qPrintable(button->text()));
            }
            QVERIFY(main.menuChecked("menue_export_textdatei"));

            // Another window's item closes the dialog and clears its mark.
            main.menuItem("menue_extras_optionen")->trigger();
            flushDeletes();
            QVERIFY(!sub());
            QVERIFY(!main.menuChecked("menue_export_textdatei"));
            main.Menue_Fenster_schliessen();

            main.menuItem("menue_export_textdatei")->trigger();
            QPointer<Frm_Verwaltungsblock> d = Frm_Verwaltungsblock::loaded();
            QVERIFY(d);
            d->Command1_Click(0);
            flushDeletes();
            QVERIFY(!d);
            QVERIFY(!sub());
            QVERIFY(!main.menuChecked("menue_export_textdatei"));
            QVERIFY(main.menuBar()->isEnabled());
            QVERIFY(!main.jobRunning());
        }
        MDIForm1::setEndProgram(nullptr);
    }
};

QTEST_MAIN(TestExportDialog)
#include "tst_exportdialog.moc"
