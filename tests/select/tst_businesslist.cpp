#include "SelectFixture.h"

#include "select/BusinessList.h"

#include <QRadioButton>

namespace {
const QString kItem = QStringLiteral("menue_suchen_betrieb");
const QStringList kAll{"1001", "1002", "1003", "2004", "2006", "2006", "2009", "3007", "3008"};
} // namespace

class TestBusinessList : public QObject
{
    Q_OBJECT
    ListFixture m_fx;
    int m_optionsShown = 0;
    QStringList m_recordWindow;

    // A business without a key, '999' notifications, an empty end date (counts
    // as ended), no location address, two location addresses, a business
    // ended in an unmarked municipality.
    void standardBusinesses()
    {
        const struct
        {
            const char *kz, *nr, *name, *meldArt;
            QVariant ende;
        } rows[] = {{"01001000", "1001", "äpfel und Birnen", "100", {}},
                    {"01001000", "1002", "Abgemeldet 999", "999", {}},
                    {"02002000", "1003", "Beendet GmbH", "100", "01.01.2020"},
                    {"03003000", "2004", "Fremde Gemeinde", "100", {}},
                    {"01001000", "2005", "Nur Postanschrift", "100", {}},
                    {"02002000", "2006", "Müller Bau", "100", {}},
                    {"03003000", "2009", "Erloschen Nord", "100", "30.06.2021"},
                    {"02002000", "3007", "Leeres Ende", "999", ""},
                    {"", "3008", "O'Brien Zander", "100", {}}};
        for (const auto &r : rows)
            m_fx.business(r.kz, r.nr, QString::fromUtf8(r.name), r.meldArt, r.ende);
        for (const char *nr : {"1001", "1002", "1003", "2004", "2009", "3007", "3008"})
            m_fx.address(nr, "1", QStringLiteral("Kiel"), QStringLiteral("Hauptstraße"));
        m_fx.address("2005", "2", QStringLiteral("Kiel"), QStringLiteral("Postfach"));
        m_fx.address("2006", "1", QStringLiteral("Lübeck"), QStringLiteral("Am Markt"));
        m_fx.address("2006", "1", QStringLiteral("Eutin"), QStringLiteral("Bahnhofstraße"));
        m_fx.address("3007", "3", QStringLiteral("Plön"), QStringLiteral("Seeweg"));
        m_fx.standardMunicipalities();
    }

    void oneBusiness()
    {
        m_fx.business("01001000", "1001", QStringLiteral("Eins"));
        m_fx.address("1001", "1", QStringLiteral("Kiel"), QStringLiteral("Hauptstraße"));
    }

    Frm_Auswahl_Betr *open()
    {
        MDIForm1_menue_suchen_betrieb_Click();
        return Frm_Auswahl_Betr::loaded();
    }

    static QStringList listed(Frm_Auswahl_Betr *list)
    {
        QStringList numbers;
        for (int r = 0; r < list->gridModel->rowCount(); ++r)
            numbers << list->gridModel->cellText(r, 1);
        return numbers;
    }

    static QString current(Frm_Auswahl_Betr *list)
    {
        return list->data->currentValue(QStringLiteral("betrieb.betr-nr")).toString();
    }

    // On the option's circle: its text may end left of its middle.
    static void choose(QRadioButton *option)
    {
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    }

private slots:
    void init()
    {
        QVERIFY(m_fx.setUpWindows());
        m_optionsShown = 0;
        m_recordWindow.clear();
        FormHooks &f = G().forms;
        f.showOptionen = [this] { ++m_optionsShown; };
        f.showRecordView = [this] { m_recordWindow << QStringLiteral("record view"); };
        f.setTab = [this](int tab) { m_recordWindow << QStringLiteral("tab %1").arg(tab); };
        f.setStatusText = [this](const QString &t) { m_recordWindow << t; };
    }

    void cleanup() { m_fx.tearDownWindows(); }

    void openingWithoutList_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("optionsShown");
        const QString title = QStringLiteral("Auswahlliste Betrieb!|");
        const QString question = title + QStringLiteral("36|Filter ist aktiviert, aber keine Gemeindekennzahl "
                                                        "festgelegt!\n\nWollen Sie eine auswählen?\n");
        QTest::newRow("empty table") << "empty" << 1 << title + "64|Es wurden in der Datenbank keine Sätze gefunden!"
                                     << 0;
        QTest::newRow("nothing marked, yes") << "unmarked" << 6 << question << 1;
        QTest::newRow("nothing marked, no") << "unmarked" << 7 << question << 0;
        QTest::newRow("marked without businesses")
            << "foreign" << 1
            << title + "64|Bitte wählen Sie im Menüpunkt ''Optionen'',\neine gültige Gemeindekennzahl aus!" << 0;
    }

    void openingWithoutList()
    {
        QFETCH(QString, setup);
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(int, optionsShown);
        if (setup != QLatin1String("empty")) {
            oneBusiness();
            G().Gemeindefilter_aktiv = true;
            m_fx.municipality("01001000", false);
            m_fx.municipality("05005000", setup == QLatin1String("foreign"));
        }
        m_fx.answer = answer;
        QVERIFY(!open());
        QCOMPARE(ListFixture::onlyBox(), box);
        QCOMPARE(m_optionsShown, optionsShown);
        QCOMPARE(m_fx.closeChildCalls, 1);
        QCOMPARE(m_fx.marks.value(kItem), false);
        QCOMPARE(m_fx.start->DATA_BETR->RecordSource(), QStringLiteral("betrieb"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_fx.area->findChildren<Frm_Auswahl_Betr *>().isEmpty());
    }

    // With the filter on; without it the views are checked against a large
    // data set in tst_listrows.
    void filteredViewsListTheRightBusinesses_data()
    {
        QTest::addColumn<int>("option"); // -1: as opened
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("opened") << -1 << QStringList{"1001", "1003", "2006", "2006", "3008"};
        QTest::newRow("Alle") << 0 << QStringList{"1001", "1002", "1003", "2006", "2006", "3007", "3008"};
        QTest::newRow("Aktuelle") << 1 << QStringList{"1001", "1002", "2006", "2006", "3008"};
        QTest::newRow("Abgemeldete") << 2 << QStringList{"1003", "3007"};
    }

    void filteredViewsListTheRightBusinesses()
    {
        QFETCH(int, option);
        QFETCH(QStringList, numbers);
        standardBusinesses();
        G().Gemeindefilter_aktiv = true;
        Frm_Auswahl_Betr *list = open();
        QVERIFY(list && list->isVisible());
        QCOMPARE(m_fx.marks.value(kItem), true);
        if (option >= 0)
            choose(list->Option1[size_t(option)]);
        QCOMPARE(listed(list), numbers);
        QVERIFY(MessageService::recorded().empty());
    }

    void sortByClickedField_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("firstAfterOne");
        QTest::addColumn<QString>("firstAfterTwo");
        // In number order the names run from "äpfel" to "O'Brien": the umlaut
        // must count as an a, or the first click never sorts descending.
        QTest::newRow("name") << 3 << "3008" << "1001";
        QTest::newRow("number") << 1 << "3008" << "1001";
        QTest::newRow("equal first and last sorts ascending") << 2 << "1001" << "1001";
    }

    void sortByClickedField()
    {
        QFETCH(int, field);
        QFETCH(QString, firstAfterOne);
        QFETCH(QString, firstAfterTwo);
        standardBusinesses();
        Frm_Auswahl_Betr *list = open();
        QVERIFY(list);
        ListFixture::type(list->Text1[0], QStringLiteral("0"));
        ListFixture::type(list->Text1[4], QStringLiteral("L"));
        QTest::mouseClick(list->Text1[size_t(field)], Qt::LeftButton);
        for (QLineEdit *t : list->Text1)
            QCOMPARE(t->text(), QString());
        QCOMPARE(current(list), firstAfterOne);
        QCOMPARE(list->gridModel->cellText(0, 1), firstAfterOne);
        QCOMPARE(list->Label1->text(), QStringLiteral("Betrieb Nr. 1 von 7")); // '999' stays out
        QTest::mouseClick(list->Text1[size_t(field)], Qt::LeftButton);
        QCOMPARE(list->gridModel->cellText(0, 1), firstAfterTwo);
        choose(list->Option1[0]); // rebuilds the whole query in number order
        QCOMPARE(listed(list), kAll);
        QVERIFY(MessageService::recorded().empty());
    }

    void switchingChildrenEmptiesTheFields()
    {
        standardBusinesses();
        Frm_Auswahl_Betr *list = open();
        QVERIFY(list);
        auto *own = qobject_cast<QMdiSubWindow *>(list->parentWidget());
        QCOMPARE(m_fx.area->activeSubWindow(), own);
        ListFixture::type(list->Text1[1], QStringLiteral("20"));
        QCOMPARE(open(), list); // the busy flag keeps the open list as it is
        QCOMPARE(m_fx.closeChildCalls, 1);
        // A top-level window (a message box) takes the activation and gives
        // it back: that is no new activation of the list.
        QWidget box;
        box.show();
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        m_fx.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_fx.main));
        m_fx.area->setActiveSubWindow(own);
        QCOMPARE(list->Text1[1]->text(), QStringLiteral("20"));
        QCOMPARE(current(list), QStringLiteral("2004"));

        m_fx.area->setActiveSubWindow(m_fx.other);
        m_fx.area->setActiveSubWindow(own);
        QCOMPARE(list->Text1[1]->text(), QString());
        QCOMPARE(current(list), QStringLiteral("1001"));
    }

    void okTakesTheChosenBusiness_data()
    {
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("OK") << false;
        QTest::newRow("double-click") << true;
    }

    void okTakesTheChosenBusiness()
    {
        QFETCH(bool, doubleClick);
        standardBusinesses();
        m_fx.start->Command3->setVisible(true);
        Frm_Auswahl_Betr *list = open();
        QVERIFY(list);
        QTableView *grid = list->DBGrid1;
        const QPoint cell = grid->visualRect(list->gridModel->index(3, 3)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(current(list), QStringLiteral("2006"));
        QCOMPARE(list->Label1->text(), QStringLiteral("Betrieb Nr. 4 von 7"));
        if (doubleClick)
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
        else
            QTest::mouseClick(list->Command1[0], Qt::LeftButton);
        QCOMPARE(m_recordWindow, (QStringList{"record view", "tab 0", "Anzeige: Meldedaten"}));
        QVERIFY(m_fx.start->Command3->isHidden()); // "zurück" belonged to a representative
        QCOMPARE(m_fx.start->DATA_BETR->currentValue(QStringLiteral("betr-nr")).toString(), QStringLiteral("2006"));
        QVERIFY(!Frm_Auswahl_Betr::loaded());
        QCOMPARE(m_fx.marks.value(kItem), false);
    }

    void showsAllItHolds_data() { ListFixture::addRecordWindowRows(); }

    void showsAllItHolds()
    {
        QFETCH(bool, recordWindowMaximized);
        standardBusinesses();
        m_fx.layOutAsStarted(recordWindowMaximized);
        Frm_Auswahl_Betr *list = open();
        QVERIFY(list);
        QCOMPARE(hiddenParts(m_fx.area, list, list->DBGrid1, {{0, 8}, {1, 12}, {2, 4}}), QString());
    }

    void buttonsOnAnEmptyList()
    {
        oneBusiness();
        Frm_Auswahl_Betr *list = open();
        QVERIFY(list);
        choose(list->Option1[2]);
        QCOMPARE(list->Label1->text(), QStringLiteral("Betrieb Nr. 0 von 0"));
        for (int i : {0, 3, 4})
            QTest::mouseClick(list->Command1[size_t(i)], Qt::LeftButton);
        ListFixture::type(list->Text1[3], QStringLiteral("x"));
        QTest::mouseClick(list->Text1[3], Qt::LeftButton);
        QCOMPARE(Frm_Auswahl_Betr::loaded(), list);
        QVERIFY(m_recordWindow.isEmpty());
        QVERIFY(MessageService::recorded().empty());
        QTest::mouseClick(list->Command1[1], Qt::LeftButton);
        QVERIFY(!Frm_Auswahl_Betr::loaded());
        QCOMPARE(m_fx.marks.value(kItem), false);
    }

    void failingSearchShowsABox()
    {
        standardBusinesses();
        Frm_Auswahl_Betr *list = open();
        QVERIFY(list);
        engine::releaseFile(m_fx.workPath); // the database goes away under the open list
        ListFixture::type(list->Text1[1], QStringLiteral("2"));
        QCOMPARE(MessageService::recorded().size(), size_t(1));
        QVERIFY(MessageService::recorded()[0].text.startsWith(QStringLiteral("Die Suche in der Auswahlliste")));
        QCOMPARE(Frm_Auswahl_Betr::loaded(), list);
    }
};

QTEST_MAIN(TestBusinessList)
#include "tst_businesslist.moc"
