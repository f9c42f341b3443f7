#include "SelectFixture.h"

#include "record/LoadBusiness.h"
#include "select/PersonList.h"

#include <QGroupBox>
#include <QStyle>
#include <QTabWidget>

namespace {
const QString kItem = QStringLiteral("menue_suchen_person");
const QString kPersonsHeader = QStringLiteral("Anzeige: Personendaten (nat. und jur. Person)");

QVariant text(const char *s)
{
    return s ? QVariant(QString::fromUtf8(s)) : QVariant();
}
} // namespace

class TestPersonList : public QObject
{
    Q_OBJECT
    ListFixture m_fx;

    static void person(const char *nr, const char *art, const char *jpName, const char *famName)
    {
        SelectFixture::insert(
            "person", {{"pers-nr", nr}, {"p-art", art}, {"p-eintr-name", text(jpName)}, {"fam-name", text(famName)}});
    }

    static void link(const char *betrNr, const char *persNr, const char *jp = nullptr)
    {
        SelectFixture::insert("beziehung_betrieb_person", {{"bez-betr-nr", betrNr}, {"bez-betr-hist-nr", "1"},
                                                           {"bez-pers-nr", persNr}, {"pers-nr-jp", text(jp)}});
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
        const char *natural[][2] = {{"P001", "Müller"}, {"P003", "Schmidt"}, {"P004", "o'Neill"},
                                    {"P005", "Zander"}, {"P006", "Meier"}};
        for (const auto &p : natural)
            person(p[0], "NP", nullptr, p[1]);
        person("P002", "JP", "Adler GmbH", nullptr);
        person("P008", "JP", "Leer AG", nullptr);
        const char *links[][3] = {{"1001", "P001", nullptr}, {"1002", "P001", nullptr}, {"1001", "P002", nullptr},
                                  {"1001", "P003", "P002"},  {"1003", "P004", nullptr}, {"1004", "P005", nullptr},
                                  {"1001", "P006", "P002"},  {"1002", "P006", "P002"},  {"1003", "P008", nullptr},
                                  {"1002", "P999", nullptr}, {"9999", "P001", nullptr}};
        for (const auto &l : links)
            link(l[0], l[1], l[2]);
        m_fx.standardMunicipalities();
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

    QString shown(const char *column) const
    {
        const BoundView *view = QByteArray(column).contains("pers") ? m_fx.start->DATA_PERS : m_fx.start->DATA_BETR;
        return view->currentValue(QString::fromLatin1(column)).toString();
    }

    // The record window on business 1001 with its juridical person current.
    void showJuridicalPerson(int tab)
    {
        DB_Load_DATA(QStringLiteral("01001000"), QStringLiteral("1001"), QStringLiteral("1"));
        m_fx.start->showRecordView();
        m_fx.start->SSTab1->setCurrentIndex(tab);
        m_fx.start->DATA_PERS->navigateNext();
        QCOMPARE(shown("pers-nr"), QStringLiteral("P002"));
    }

private slots:
    void init() { QVERIFY(m_fx.setUpWindows()); }

    void cleanup() { m_fx.tearDownWindows(); }

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
        QCOMPARE(m_fx.marks.value(kItem), true);
        QVERIFY(!list->representativesMode());
        QStringList got = rows(list);
        got.sort(); // the order is checked against a large data set in tst_listrows
        QCOMPARE(got, listed);
        // The last column names the juridical person a representative acts for.
        const int p003 = int(rows(list).indexOf(QStringLiteral("P003/1001")));
        if (p003 >= 0)
            QCOMPARE(list->gridModel->cellText(p003, 7), QStringLiteral("P002"));
        // A sort by the person number, clicked twice (so ascending again; the
        // direction rule is the shared frame's, checked in tst_businesslist),
        // keeps the rows the filter let through.
        QTest::mouseClick(list->Text1[0], Qt::LeftButton);
        QTest::mouseClick(list->Text1[0], Qt::LeftButton);
        QCOMPARE(rows(list), listed);
        QCOMPARE(list->Label1->text(), QStringLiteral("Person Nr. 1 von %1").arg(listed.size()));
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
            m_fx.start->Command1->click();
        } else {
            m_fx.start->DATA_BETR->setRecordSource(QStringLiteral("betrieb"));
            QVERIFY(!open());
            QCOMPARE(m_fx.closeChildCalls, 1);
            QCOMPARE(m_fx.start->DATA_BETR->RecordSource(), QStringLiteral("betrieb"));
        }
        QCOMPARE(ListFixture::onlyBox(),
                 QStringLiteral("Auswahlliste Personen!|64|Es wurden in der Datenbank keine Sätze gefunden!"));
        QCOMPARE(m_fx.marks.value(kItem), false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_fx.area->findChildren<Frm_Auswahl_Pers *>().isEmpty());
    }

    void switchingChildrenEmptiesTheFields()
    {
        standardData();
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        auto *own = qobject_cast<QMdiSubWindow *>(list->parentWidget());
        ListFixture::type(list->Text1[2], QStringLiteral("sch"));
        QCOMPARE(open(), list); // the busy flag keeps the open list as it is
        QCOMPARE(m_fx.closeChildCalls, 1);
        m_fx.area->setActiveSubWindow(m_fx.other);
        m_fx.area->setActiveSubWindow(own);
        QCOMPARE(list->Text1[2]->text(), QString());
        QCOMPARE(current(list), QStringLiteral("P001"));
        QCOMPARE(list->Label1->text(), QStringLiteral("Person Nr. 1 von 9"));
    }

    // A double-click is the shared frame's OK, checked in tst_businesslist.
    void leavingTheList_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("OK") << false;
        QTest::newRow("Abbrechen changes nothing") << true;
    }

    void leavingTheList()
    {
        QFETCH(bool, cancel);
        standardData();
        m_fx.start->showStartPicture();
        m_fx.start->Command3->setVisible(true);
        m_fx.start->Label2->setText(QStringLiteral("vorher"));
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        ListFixture::type(list->Text1[5], QStringLiteral("malerei"));
        QCOMPARE(current(list, "betr-nr"), QStringLiteral("1002"));
        QTest::mouseClick(list->Command1[cancel ? 1 : 0], Qt::LeftButton);
        QVERIFY(!Frm_Auswahl_Pers::loaded());
        QCOMPARE(m_fx.marks.value(kItem), false);
        if (cancel) {
            QCOMPARE(m_fx.start->Label2->text(), QStringLiteral("vorher"));
            QVERIFY(m_fx.start->DATA_BETR->RecordSource().isEmpty());
            return;
        }
        QCOMPARE(m_fx.start->SSTab1->currentIndex(), 3);
        QVERIFY(m_fx.start->SSTab1->isVisible() && m_fx.start->Frame_Ueberschrift->isVisible());
        QVERIFY(m_fx.start->Frame_Anzahl->isVisible() && !m_fx.start->Image2->isVisible());
        QVERIFY(!m_fx.start->Command3->isVisible());
        QCOMPARE(m_fx.start->Label2->text(), kPersonsHeader);
        QCOMPARE(shown("betr-nr"), QStringLiteral("1002"));
        QCOMPARE(shown("pers-nr"), QStringLiteral("P001"));
    }

    void showsAllItHolds_data() { ListFixture::addRecordWindowRows(); }

    void showsAllItHolds()
    {
        QFETCH(bool, recordWindowMaximized);
        standardData();
        m_fx.layOutAsStarted(recordWindowMaximized);
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        QCOMPARE(hiddenParts(m_fx.area, list, list->DBGrid1, {{0, 12}, {3, 12}, {4, 4}, {6, 8}, {7, 12}}), QString());
    }

    // Every column caption is shown whole, at the list's size and with the
    // record window maximized behind it.
    void captionsShowWhole_data() { ListFixture::addRecordWindowRows(); }
    void captionsShowWhole()
    {
        QFETCH(bool, recordWindowMaximized);
        standardData();
        m_fx.layOutAsStarted(recordWindowMaximized);
        Frm_Auswahl_Pers *list = open();
        QVERIFY(list);
        QCoreApplication::processEvents();
        QHeaderView *header = list->DBGrid1->horizontalHeader();
        // The header keeps a margin around its text; a caption may be broken
        // between its words where the header is high enough for it.
        const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        QStringList cut;
        for (int c = 0; c < header->count(); ++c) {
            const QString caption = list->gridModel->headerData(c, Qt::Horizontal).toString();
            const QRect room(0, 0, header->sectionSize(c) - margin, header->height() - margin);
            const QRect need = header->fontMetrics().boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, caption);
            if (need.width() > room.width() || need.height() > room.height())
                cut << QStringLiteral("\"%1\" needs %2x%3, has %4x%5")
                           .arg(caption).arg(need.width()).arg(need.height()).arg(room.width()).arg(room.height());
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
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
        Frm_Start *start = m_fx.start;
        start->Command1->click();
        Frm_Auswahl_Pers *list = Frm_Auswahl_Pers::loaded();
        QVERIFY(list && list->isVisible());
        QVERIFY(list->representativesMode());
        QCOMPARE(m_fx.marks.value(kItem), true);
        QCOMPARE(rows(list), (QStringList{"P003/1001", "P006/1001"}));
        QCOMPARE(open(), list); // the menu item does nothing while the list is open
        QCOMPARE(m_fx.closeChildCalls, 0);

        list->DBGrid1->selectRow(1);
        QTest::mouseClick(list->Command1[0], Qt::LeftButton);
        QVERIFY(!Frm_Auswahl_Pers::loaded());
        QCOMPARE(m_fx.marks.value(kItem), false);
        QCOMPARE(start->SSTab1->currentIndex(), 4);
        QCOMPARE(start->Label2->text(), QStringLiteral("Anzeige: Personendaten (Vertreter einer jur. Person)"));
        QVERIFY(start->Command3->isVisible());
        QCOMPARE(shown("betr-nr"), QStringLiteral("1001"));
        QCOMPARE(start->DATA_PERS->Recordset()->recordCount(), 1L);
        QCOMPARE(shown("pers-nr"), QStringLiteral("P006"));
        QCOMPARE(start->DATA_PERS->currentValue(QStringLiteral("bez-betr-nr")).toString(), QStringLiteral("1001"));

        // "zurück": the business again, with its own persons only.
        start->Command3->click();
        QVERIFY(!start->Command3->isVisible());
        QCOMPARE(start->SSTab1->currentIndex(), 3);
        QCOMPARE(start->Label2->text(), kPersonsHeader);
        QCOMPARE(start->DATA_PERS->Recordset()->recordCount(), 2L);
        QCOMPARE(shown("pers-nr"), QStringLiteral("P001"));
        QVERIFY(MessageService::recorded().empty());
    }

    void personenAnzeigenDoesNothing_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("busy"); // menu item marked as running
        QTest::newRow("natural person") << "NP" << "";
        QTest::newRow("empty person view") << "empty" << "";
        QTest::newRow("import running") << "" << "menue_import_datenbank";
        QTest::newRow("business list open") << "" << "menue_suchen_betrieb";
    }

    void personenAnzeigenDoesNothing()
    {
        QFETCH(QString, situation);
        QFETCH(QString, busy);
        standardData();
        showJuridicalPerson(3);
        if (situation == QLatin1String("NP"))
            m_fx.start->DATA_PERS->navigateFirst();
        if (situation == QLatin1String("empty")) {
            G().Datenbank_Daten->execute(
                QStringLiteral("DELETE FROM beziehung_betrieb_person WHERE [bez-betr-nr] = '1004'"));
            DB_Load_DATA(QStringLiteral(""), QStringLiteral("1004"), QStringLiteral("1"));
        }
        if (!busy.isEmpty())
            m_fx.marks[busy] = true;
        m_fx.start->Command1->click();
        QVERIFY(!Frm_Auswahl_Pers::loaded());
        QCOMPARE(m_fx.marks.value(kItem), false);
        if (!busy.isEmpty())
            QCOMPARE(m_fx.marks.value(busy), true);
        QVERIFY(MessageService::recorded().empty());
    }
};

QTEST_MAIN(TestPersonList)
#include "tst_personlist.moc"
