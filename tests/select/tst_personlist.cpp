#include "SelectFixture.h"

#include "platform/MessageService.h"
#include "record/Frm_Start.h"
#include "record/LoadBusiness.h"
#include "select/Frm_Auswahl_Pers.h"
#include "select/PersonList.h"
#include "select/ViewTableModel.h"
#include "storage/BoundView.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

using platform::MessageService;

namespace {
const QString kItem = QStringLiteral("menue_suchen_person");
const QString kEmpty = QStringLiteral("Es wurden in der Datenbank keine Sätze gefunden!");
const QString kPersonsHeader = QStringLiteral("Anzeige: Personendaten (nat. und jur. Person)");
} // namespace

class TestPersonList : public QObject
{
    Q_OBJECT
    SelectFixture m_fx;
    QMainWindow *m_main = nullptr;
    QMdiArea *m_area = nullptr;
    QMdiSubWindow *m_other = nullptr;
    Frm_Start *m_start = nullptr;
    QMap<QString, bool> m_marks;
    int m_closeChildCalls = 0;

    void person(const char *nr, const char *art, const char *jpName, const char *famName)
    {
        G().Datenbank_Daten->execute(
            QStringLiteral("INSERT INTO person ([pers-nr], [p-art], [p-eintr-name], [fam-name]) "
                           "VALUES (%1, %2, %3, %4)")
                .arg(SelectFixture::lit(nr), SelectFixture::lit(art),
                     SelectFixture::lit(jpName ? QVariant(QString::fromUtf8(jpName)) : QVariant()),
                     SelectFixture::lit(famName ? QVariant(QString::fromUtf8(famName)) : QVariant())));
    }

    void link(const char *betrNr, const char *persNr, const char *jp = nullptr)
    {
        G().Datenbank_Daten->execute(QStringLiteral("INSERT INTO beziehung_betrieb_person ([bez-betr-nr], "
                                                    "[bez-betr-hist-nr], [bez-pers-nr], [pers-nr-jp]) "
                                                    "VALUES (%1, '1', %2, %3)")
                                         .arg(SelectFixture::lit(betrNr), SelectFixture::lit(persNr),
                                              SelectFixture::lit(jp ? QVariant(jp) : QVariant())));
    }

    // P001 in two businesses; P002 a juridical person in 1001 with the
    // representatives P003 and P006 (P006 represents it in 1002 as well);
    // P008 a juridical person without representatives; a link without its
    // person and one without its business.
    void standardData()
    {
        m_fx.business("01001000", "1001", QStringLiteral("Bäckerei Adler"));
        m_fx.business("02002000", "1002", QStringLiteral("Malerei Berg"));
        m_fx.business("03003000", "1003", QStringLiteral("Fremd GmbH"));
        m_fx.business("", "1004", QStringLiteral("Ohne Gemeinde"));
        person("P001", "NP", nullptr, "Müller");
        person("P002", "JP", "Adler GmbH", nullptr);
        person("P003", "NP", nullptr, "Schmidt");
        person("P004", "NP", nullptr, "o'Neill");
        person("P005", "NP", nullptr, "Zander");
        person("P006", "NP", nullptr, "Meier");
        person("P008", "JP", "Leer AG", nullptr);
        link("1001", "P001");
        link("1002", "P001");
        link("1001", "P002");
        link("1001", "P003", "P002");
        link("1003", "P004");
        link("1004", "P005");
        link("1001", "P006", "P002");
        link("1002", "P006", "P002");
        link("1003", "P008");
        link("1002", "P999");
        link("9999", "P001");
        m_fx.municipality("01001000", true);
        m_fx.municipality("02002000", true);
        m_fx.municipality("03003000", false);
        m_fx.municipality("04004000", QVariant());
    }

    Frm_Auswahl_Pers *open()
    {
        MDIForm1_menue_suchen_person_Click();
        return Frm_Auswahl_Pers::loaded();
    }

    // "pers-nr/betr-nr" of every row, in list order.
    static QStringList rows(Frm_Auswahl_Pers *list)
    {
        QStringList out;
        for (int r = 0; r < list->gridModel->rowCount(); ++r)
            out << list->gridModel->cellText(r, 0) + QLatin1Char('/') + list->gridModel->cellText(r, 3);
        return out;
    }

    static QString current(Frm_Auswahl_Pers *list, const char *column = "pers-nr")
    {
        return list->data->currentValue(QString::fromLatin1(column)).toString();
    }

    static void type(QLineEdit *field, const QString &typed)
    {
        field->setFocus();
        for (QChar c : typed)
            field->insert(QString(c));
    }

    // The record window on business 1001 with its juridical person current.
    void showJuridicalPerson(int tab)
    {
        DB_Load_DATA(QStringLiteral("01001000"), QStringLiteral("1001"), QStringLiteral("1"));
        m_start->showRecordView();
        m_start->SSTab1->setCurrentIndex(tab);
        m_start->DATA_PERS->navigateNext();
        QCOMPARE(m_start->DATA_PERS->currentValue(QStringLiteral("pers-nr")).toString(), QStringLiteral("P002"));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void init()
    {
        QVERIFY(m_fx.setUp());
        m_marks.clear();
        m_closeChildCalls = 0;
        MessageService::clearRecorded();
        MessageService::setScript([](const platform::MessageRecord &) { return platform::vbOK; });

        m_main = new QMainWindow;
        m_area = new QMdiArea(m_main);
        m_main->setCentralWidget(m_area);
        m_main->resize(1000, 800);
        m_start = new Frm_Start;
        m_start->installHooks();
        for (BoundView *v : m_start->findChildren<BoundView *>())
            v->setDatabaseName(m_fx.workPath);
        m_start->DATA_ORG->setDatabaseName(m_fx.orgPath);
        m_area->addSubWindow(m_start)->show();
        m_other = m_area->addSubWindow(new QWidget);
        m_other->show();
        auto *gemeinde = new BoundView(QStringLiteral("DATA_GEMEINDE"), m_main);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));

        FormHooks &f = G().forms;
        f.menuChecked = [this](const QString &item) { return m_marks.value(item); };
        f.setMenuChecked = [this](const QString &item, bool on) { m_marks[item] = on; };
        f.closeChildWindows = [this] {
            ++m_closeChildCalls;
            m_marks.clear();
        };
        f.addMdiChild = [this](QWidget *w) { m_area->addSubWindow(w)->show(); };
        f.optionenGemeinde = [gemeinde] { return gemeinde; };
    }

    void cleanup()
    {
        if (Frm_Auswahl_Pers::loaded())
            Frm_Auswahl_Pers::loaded()->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete m_main;
        MessageService::clearScript();
        m_fx.tearDown();
    }

    void listedRows_data()
    {
        QTest::addColumn<bool>("filter");
        QTest::addColumn<QString>("marked"); // "" keeps the standard marks
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("unfiltered") << false << ""
                                    << QStringList{"P001/1001", "P001/1002", "P002/1001", "P003/1001", "P004/1003",
                                                   "P005/1004", "P006/1001", "P006/1002", "P008/1003"};
        QTest::newRow("two marked") << true << ""
                                    << QStringList{"P001/1001", "P001/1002", "P002/1001", "P003/1001", "P005/1004",
                                                   "P006/1001", "P006/1002"};
        QTest::newRow("none marked: only the empty key") << true << "none" << QStringList{"P005/1004"};
        QTest::newRow("key with an apostrophe") << true << "0'5" << QStringList{"P005/1004", "P007/1005"};
    }

    void listedRows()
    {
        QFETCH(bool, filter);
        QFETCH(QString, marked);
        QFETCH(QStringList, listed);
        standardData();
        if (!marked.isEmpty()) {
            G().Datenbank_Org->execute(QStringLiteral("UPDATE aktuelleGemeinde SET [markiert] = 0"));
            if (marked != QLatin1String("none")) {
                m_fx.business(marked, "1005", QStringLiteral("Apostroph KG"));
                person("P007", "NP", nullptr, "Kunz");
                link("1005", "P007");
                m_fx.municipality(marked, true);
            }
        }
        G().Gemeindefilter_aktiv = filter;
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list && list->isVisible());
        QCOMPARE(m_marks.value(kItem), true);
        QVERIFY(!list->representativesMode());
        QStringList got = rows(list);
        QStringList persons;
        for (const QString &r : got)
            persons << r.left(4);
        QVERIFY(std::is_sorted(persons.begin(), persons.end()));
        got.sort(); // links of one person come in the engine's order
        QCOMPARE(got, listed);
        // The last column names the juridical person a representative acts for.
        const int p003 = int(rows(list).indexOf(QStringLiteral("P003/1001")));
        if (p003 >= 0)
            QCOMPARE(list->gridModel->cellText(p003, 7), QStringLiteral("P002"));
        QVERIFY(MessageService::recorded().empty());
    }

    void openingWithoutList_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("no links") << "no links";
        QTest::newRow("filter matches nothing") << "filter";
        QTest::newRow("juridical person without representatives") << "representatives";
    }

    void openingWithoutList()
    {
        QFETCH(QString, situation);
        m_fx.business("03003000", "1003", QStringLiteral("Fremd GmbH"));
        person("P008", "JP", "Leer AG", nullptr);
        if (situation != QLatin1String("no links"))
            link("1003", "P008");
        m_fx.municipality("01001000", true);
        G().Gemeindefilter_aktiv = situation == QLatin1String("filter");
        if (situation == QLatin1String("representatives")) {
            DB_Load_DATA(QStringLiteral("03003000"), QStringLiteral("1003"), QStringLiteral("1"));
            m_start->Command1->click();
        } else {
            m_start->DATA_BETR->setRecordSource(QStringLiteral("betrieb"));
            QVERIFY(!open());
            QCOMPARE(m_closeChildCalls, 1);
            QCOMPARE(m_start->DATA_BETR->RecordSource(), QStringLiteral("betrieb"));
        }
        QCOMPARE(MessageService::recorded().size(), size_t(1));
        QCOMPARE(MessageService::recorded()[0].text, kEmpty);
        QCOMPARE(MessageService::recorded()[0].title, QStringLiteral("Auswahlliste Personen!"));
        QCOMPARE(MessageService::recorded()[0].style, 64);
        QCOMPARE(m_marks.value(kItem), false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_area->findChildren<Frm_Auswahl_Pers *>().isEmpty());
    }

    void search_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found"); // pers-nr, or pers-nr/betr-nr
        QTest::newRow("family name regardless of case") << 2 << "SCH" << "P003";
        QTest::newRow("no match stays on the first row") << 2 << "zz" << "P001";
        QTest::newRow("asterisk matches any run") << 2 << "*nei" << "P004";
        QTest::newRow("apostrophe") << 2 << "o'n" << "P004";
        QTest::newRow("name of the juridical person") << 1 << "adl" << "P002";
        QTest::newRow("business name: the second link") << 5 << "malerei" << "P001/1002";
        QTest::newRow("municipality key") << 6 << "03" << "P004";
    }

    void search()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, found);
        standardData();
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        for (QLineEdit *t : list->Text1) // the first activation emptied the sample texts
            QCOMPARE(t->text(), QString());
        type(list->Text1[size_t(field)], typed);
        QString got = current(list);
        if (found.contains(QLatin1Char('/')))
            got += QLatin1Char('/') + current(list, "betr-nr");
        QCOMPARE(got, found);
        const long pos = list->data->Recordset()->absolutePosition();
        QCOMPARE(list->DBGrid1->currentIndex().row(), int(pos));
        QCOMPARE(list->Label1->text(), QStringLiteral("Person Nr. %1 von 9").arg(pos + 1));
        QVERIFY(MessageService::recorded().empty());
    }

    void sortByClickedField_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("filter");
        QTest::addColumn<QString>("firstAfterOne"); // text of the sorted column in the first row
        QTest::addColumn<QString>("firstAfterTwo");
        QTest::addColumn<int>("count");
        QTest::newRow("number runs ascending: descending first") << 0 << false << "P008" << "P001" << 9;
        QTest::newRow("family name runs down: ascending first") << 2 << false << "" << "Zander" << 9;
        QTest::newRow("equal first and last: ascending") << 4 << false << "1" << "1" << 9;
        QTest::newRow("filter stays") << 0 << true << "P006" << "P001" << 7;
    }

    void sortByClickedField()
    {
        QFETCH(int, field);
        QFETCH(bool, filter);
        QFETCH(QString, firstAfterOne);
        QFETCH(QString, firstAfterTwo);
        QFETCH(int, count);
        standardData();
        G().Gemeindefilter_aktiv = filter;
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        type(list->Text1[2], QStringLiteral("sch"));
        QTest::mouseClick(list->Text1[size_t(field)], Qt::LeftButton);
        for (QLineEdit *t : list->Text1)
            QCOMPARE(t->text(), QString());
        QCOMPARE(list->gridModel->cellText(0, field), firstAfterOne);
        QCOMPARE(list->gridModel->rowCount(), count);
        QCOMPARE(list->Label1->text(), QStringLiteral("Person Nr. 1 von %1").arg(count));
        QTest::mouseClick(list->Text1[size_t(field)], Qt::LeftButton);
        QCOMPARE(list->gridModel->cellText(0, field), firstAfterTwo);
        QVERIFY(MessageService::recorded().empty());
    }

    void switchingChildrenEmptiesTheFields()
    {
        standardData();
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        auto *own = qobject_cast<QMdiSubWindow *>(list->parentWidget());
        type(list->Text1[2], QStringLiteral("sch"));
        QCOMPARE(open(), list); // the busy flag keeps the open list as it is
        QCOMPARE(m_closeChildCalls, 1);
        m_area->setActiveSubWindow(m_other);
        m_area->setActiveSubWindow(own);
        QCOMPARE(list->Text1[2]->text(), QString());
        QCOMPARE(current(list), QStringLiteral("P001"));
        QCOMPARE(list->Label1->text(), QStringLiteral("Person Nr. 1 von 9"));
    }

    void okShowsThePersonsBusiness_data()
    {
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("OK") << false;
        QTest::newRow("double-click") << true;
    }

    void okShowsThePersonsBusiness()
    {
        QFETCH(bool, doubleClick);
        standardData();
        m_start->showStartPicture();
        m_start->Command3->setVisible(true);
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        type(list->Text1[5], QStringLiteral("malerei"));
        QCOMPARE(current(list, "betr-nr"), QStringLiteral("1002"));
        if (doubleClick) {
            const QModelIndex cell = list->gridModel->index(list->DBGrid1->currentIndex().row(), 2);
            const QPoint at = list->DBGrid1->visualRect(cell).center();
            QTest::mouseClick(list->DBGrid1->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->DBGrid1->viewport(), Qt::LeftButton, {}, at);
        } else {
            QTest::mouseClick(list->Command1[0], Qt::LeftButton);
        }
        QVERIFY(!Frm_Auswahl_Pers::loaded());
        QCOMPARE(m_marks.value(kItem), false);
        QCOMPARE(m_start->SSTab1->currentIndex(), 3);
        QVERIFY(m_start->SSTab1->isVisible() && m_start->Frame_Ueberschrift->isVisible());
        QVERIFY(m_start->Frame_Anzahl->isVisible() && !m_start->Image2->isVisible());
        QVERIFY(!m_start->Command3->isVisible());
        QCOMPARE(m_start->Label2->text(), kPersonsHeader);
        QCOMPARE(m_start->DATA_BETR->currentValue(QStringLiteral("betr-nr")).toString(), QStringLiteral("1002"));
        QCOMPARE(m_start->DATA_PERS->currentValue(QStringLiteral("pers-nr")).toString(), QStringLiteral("P001"));
    }

    void abbrechenChangesNothing()
    {
        standardData();
        m_start->Label2->setText(QStringLiteral("vorher"));
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        QTest::mouseClick(list->Command1[1], Qt::LeftButton);
        QVERIFY(!Frm_Auswahl_Pers::loaded());
        QCOMPARE(m_marks.value(kItem), false);
        QCOMPARE(m_start->Label2->text(), QStringLiteral("vorher"));
        QVERIFY(m_start->DATA_BETR->RecordSource().isEmpty());
    }

    // With the filter on, the marks must not widen the list beyond the
    // juridical person's representatives in the business shown.
    void representatives_data()
    {
        QTest::addColumn<bool>("filter");
        QTest::addColumn<bool>("anyMarked");
        QTest::newRow("filter off") << false << true;
        QTest::newRow("filter on") << true << true;
        QTest::newRow("filter on, nothing marked") << true << false;
    }

    void representatives()
    {
        QFETCH(bool, filter);
        QFETCH(bool, anyMarked);
        standardData();
        if (!anyMarked)
            G().Datenbank_Org->execute(QStringLiteral("UPDATE aktuelleGemeinde SET [markiert] = 0"));
        G().Gemeindefilter_aktiv = filter;
        showJuridicalPerson(4);
        m_start->Command1->click();
        Frm_Auswahl_Pers *list = Frm_Auswahl_Pers::loaded();
        QVERIFY(list && list->isVisible());
        QVERIFY(list->representativesMode());
        QCOMPARE(m_marks.value(kItem), true);
        QCOMPARE(rows(list), (QStringList{"P003/1001", "P006/1001"}));
        QCOMPARE(open(), list); // the menu item does nothing while the list is open
        QCOMPARE(m_closeChildCalls, 0);

        list->DBGrid1->selectRow(1);
        QTest::mouseClick(list->Command1[0], Qt::LeftButton);
        QVERIFY(!Frm_Auswahl_Pers::loaded());
        QCOMPARE(m_marks.value(kItem), false);
        QCOMPARE(m_start->SSTab1->currentIndex(), 4);
        QCOMPARE(m_start->Label2->text(), QStringLiteral("Anzeige: Personendaten (Vertreter einer jur. Person)"));
        QVERIFY(m_start->Command3->isVisible());
        QCOMPARE(m_start->DATA_BETR->currentValue(QStringLiteral("betr-nr")).toString(), QStringLiteral("1001"));
        QCOMPARE(m_start->DATA_PERS->Recordset()->recordCount(), 1L);
        QCOMPARE(m_start->DATA_PERS->currentValue(QStringLiteral("pers-nr")).toString(), QStringLiteral("P006"));
        QCOMPARE(m_start->DATA_PERS->currentValue(QStringLiteral("bez-betr-nr")).toString(), QStringLiteral("1001"));

        // "zurück": the business again, with its own persons only.
        m_start->Command3->click();
        QVERIFY(!m_start->Command3->isVisible());
        QCOMPARE(m_start->SSTab1->currentIndex(), 3);
        QCOMPARE(m_start->Label2->text(), kPersonsHeader);
        QCOMPARE(m_start->DATA_PERS->Recordset()->recordCount(), 2L);
        QCOMPARE(m_start->DATA_PERS->currentValue(QStringLiteral("pers-nr")).toString(), QStringLiteral("P001"));
        QVERIFY(MessageService::recorded().empty());
    }

    void personenAnzeigenDoesNothing_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("natural person") << "NP";
        QTest::newRow("empty person view") << "empty";
        QTest::newRow("import running") << "import";
        QTest::newRow("business list open") << "list";
    }

    void personenAnzeigenDoesNothing()
    {
        QFETCH(QString, situation);
        standardData();
        showJuridicalPerson(3);
        if (situation == QLatin1String("NP"))
            m_start->DATA_PERS->navigateFirst();
        if (situation == QLatin1String("empty")) {
            G().Datenbank_Daten->execute(
                QStringLiteral("DELETE FROM beziehung_betrieb_person WHERE [bez-betr-nr] = '1004'"));
            DB_Load_DATA(QStringLiteral(""), QStringLiteral("1004"), QStringLiteral("1"));
        }
        const QString busy = situation == QLatin1String("import") ? QStringLiteral("menue_import_datenbank")
                             : situation == QLatin1String("list") ? QStringLiteral("menue_suchen_betrieb")
                                                                  : QString();
        if (!busy.isEmpty())
            m_marks[busy] = true;
        m_start->Command1->click();
        QVERIFY(!Frm_Auswahl_Pers::loaded());
        QCOMPARE(m_marks.value(kItem), false);
        if (!busy.isEmpty())
            QCOMPARE(m_marks.value(busy), true);
        QVERIFY(MessageService::recorded().empty());
    }

};

QTEST_MAIN(TestPersonList)
#include "tst_personlist.moc"
