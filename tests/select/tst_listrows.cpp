#include "SelectFixture.h"

#include "engine/Recordset.h"
#include "engine/SqlFunctions.h"
#include "select/BusinessList.h"
#include "select/PersonList.h"

#include <QRadioButton>
#include <algorithm>
#include <optional>

namespace {

// The lists on a database of 1,000 businesses, each compared with what the
// rows themselves say: which rows belong in the list, in which order, at
// which position a search lands. Enough rows that the grid reads them in
// several windows and a search has to look past its nearest rows.
constexpr int kBusinesses = 1000;

using Text = std::optional<QString>;

struct Business
{
    QString gemKz, nr, hist;
    Text name, meldArt, ende;
};

struct Address
{
    int business;
    QString art, ort, strasse;
};

struct Person
{
    QString nr;
    Text jpName, famName;
};

struct Link
{
    int business;
    QString persNr;
};

// One row of a list: its cells in grid order (Null kept apart from empty).
using Row = std::vector<Text>;

const char *const kNames[] = {"Müller", "müller", "Mueller", "Äpfel", "apfel", "Zander", "O'Brien", "straße",
                              "Strasse", "Bäcker", "backer", "Ölmühle"};
const char *const kPlaces[] = {"Kiel", "kiel", "Eutin", "Lübeck", "Plön", "Ahrensburg", "Österby"};
const char *const kFamilies[] = {"Schulz", "schulz", "Özdemir", "Meier", "Maier", "Groß", "gross"};

QString text(const Text &t)
{
    return t ? *t : QString();
}

int jetOrder(const Text &a, const Text &b)
{
    if (!a || !b) // Null first
        return a ? 1 : (b ? -1 : 0);
    return engine::jetCompare(*a, *b);
}

class Data
{
public:
    std::vector<Business> businesses;
    std::vector<Address> addresses;
    std::vector<Person> persons;
    std::vector<Link> links;

    Data()
    {
        for (int i = 0; i < kBusinesses; ++i) {
            Business b;
            b.gemKz = i % 11 == 0 ? QString() : QStringLiteral("0%1001000").arg(i % 7);
            b.nr = QStringLiteral("%1").arg(100000 + (i * 379) % 1000); // a permutation: stored order is not number order
            b.hist = i % 17 == 0 ? QStringLiteral("2") : QStringLiteral("1");
            if (i % 97 != 0)
                b.name = QStringLiteral("%1 %2").arg(QString::fromUtf8(kNames[i % 12])).arg(i % 13);
            b.meldArt = i % 31 == 0 ? Text(QStringLiteral("999")) : i % 43 == 0 ? Text() : Text(QStringLiteral("100"));
            if (i % 5 == 0)
                b.ende = QStringLiteral("31.12.2020");
            else if (i % 41 == 0)
                b.ende = QString(); // an empty end date counts as ended
            businesses.push_back(b);
            // Most have one location; some none, some two.
            const QString place = QString::fromUtf8(kPlaces[i % 7]);
            if (i % 23 != 0)
                addresses.push_back({i, QStringLiteral("1"), place, QStringLiteral("Weg %1").arg(i % 19)});
            addresses.push_back({i, QStringLiteral("2"), QStringLiteral("Postfach"), QStringLiteral("Postfach")});
            if (i % 29 == 0)
                addresses.push_back({i, QStringLiteral("1"), QStringLiteral("Eutin"), QStringLiteral("Zweitweg")});
            // A juridical and a natural person each; some links lack their person.
            const QString jp = QStringLiteral("J%1").arg(i, 4, 10, QLatin1Char('0'));
            const QString np = QStringLiteral("N%1").arg((i * 7) % kBusinesses, 4, 10, QLatin1Char('0'));
            persons.push_back({jp, QStringLiteral("Holding %1").arg(QString::fromUtf8(kNames[i % 12])), {}});
            if (i % 37 != 0)
                persons.push_back({np, {}, QStringLiteral("%1 %2").arg(QString::fromUtf8(kFamilies[i % 7])).arg(i % 5)});
            links.push_back({i, jp});
            links.push_back({i, np});
        }
    }

    void write() const
    {
        const auto v = [](const Text &t) { return t ? QVariant(*t) : QVariant(); };
        G().Datenbank_Daten->beginTrans();
        for (const Business &b : businesses)
            SelectFixture::insert("betrieb", {{"gem-kz", b.gemKz}, {"betr-nr", b.nr}, {"betr-hist-nr", b.hist},
                                              {"b-eintr-name", v(b.name)}, {"meld-art", v(b.meldArt)},
                                              {"betr-ende", v(b.ende)}});
        for (const Address &a : addresses) {
            const Business &b = businesses[size_t(a.business)];
            SelectFixture::insert("betrieb_adresse", {{"betr-nr", b.nr}, {"betr-hist-nr", b.hist}, {"b-adr-art", a.art},
                                                      {"b-ort", a.ort}, {"b-strasse", a.strasse}});
        }
        for (const Person &p : persons)
            SelectFixture::insert("person", {{"pers-nr", p.nr}, {"p-eintr-name", v(p.jpName)}, {"fam-name", v(p.famName)}});
        for (const Link &l : links) {
            const Business &b = businesses[size_t(l.business)];
            SelectFixture::insert("beziehung_betrieb_person",
                                  {{"bez-betr-nr", b.nr}, {"bez-betr-hist-nr", b.hist}, {"bez-pers-nr", l.persNr}});
        }
        G().Datenbank_Daten->commitTrans();
    }

    // Business list rows (gem-kz, betr-nr, betr-hist-nr, name, ort, strasse)
    // in stored order: business first, then its location address.
    std::vector<Row> businessRows(int option) const
    {
        std::vector<Row> rows;
        for (int i = 0; i < kBusinesses; ++i) {
            const Business &b = businesses[size_t(i)];
            const bool ended = b.ende.has_value();
            if ((option == -1 && (!b.meldArt || *b.meldArt == QLatin1String("999"))) || (option == 1 && ended)
                || (option == 2 && !ended))
                continue;
            for (size_t a = 0; a < addresses.size(); ++a)
                if (addresses[a].business == i && addresses[a].art == QLatin1String("1"))
                    rows.push_back({b.gemKz, b.nr, b.hist, b.name, addresses[a].ort, addresses[a].strasse});
        }
        return rows;
    }

    // Person list rows (pers-nr, p-eintr-name, fam-name, betr-nr, hist, name, gem-kz) in stored order.
    std::vector<Row> personRows() const
    {
        std::vector<Row> rows;
        for (const Link &l : links) {
            const auto p = std::find_if(persons.begin(), persons.end(), [&](const Person &x) { return x.nr == l.persNr; });
            if (p == persons.end())
                continue;
            const Business &b = businesses[size_t(l.business)];
            rows.push_back({p->nr, p->jpName, p->famName, b.nr, b.hist, b.name, b.gemKz});
        }
        return rows;
    }

    // Sorted by one column as the engine sorts, rows with equal values in
    // stored order.
    static std::vector<Row> sorted(std::vector<Row> rows, int column, bool descending)
    {
        std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
            const int c = jetOrder(a.at(size_t(column)), b.at(size_t(column)));
            return descending ? c > 0 : c < 0;
        });
        return rows;
    }

    // A second click reverses a column that the first left ascending: the
    // direction after a click on column c of rows in their current order.
    static bool descendingAfterClick(const std::vector<Row> &current, int c)
    {
        return jetOrder(current.back().at(size_t(c)), current.front().at(size_t(c))) > 0;
    }
};

QStringList column(const std::vector<Row> &rows, int c)
{
    QStringList out;
    for (const Row &r : rows)
        out << text(r.at(size_t(c)));
    return out;
}

template <typename List> QStringList shown(List *list, int c)
{
    QStringList out;
    for (int r = 0; r < list->gridModel->rowCount(); ++r)
        out << list->gridModel->cellText(r, c);
    return out;
}

// The position a search lands on: the first row whose field matches the
// typed prefix (a Null never does), else the first row.
int searchHit(const std::vector<Row> &rows, int c, const QString &typed)
{
    for (size_t r = 0; r < rows.size(); ++r) {
        const Text &v = rows[r].at(size_t(c));
        if (v && engine::jetLike(typed + QLatin1Char('*'), *v))
            return int(r);
    }
    return 0;
}

} // namespace

class TestListRows : public QObject
{
    Q_OBJECT
    ListFixture m_fx;
    Data m_data;

    template <typename List> QString label(List *list) { return list->Label1->text(); }

    // Types `typed` into `field`: its match, beyond the rows read so far,
    // shows at once under "<kind> Nr. ...", with the list's own rows after
    // it. `more` narrows the search from that row on, and the number of the
    // narrowed match follows between events. `key` (column) and `keyField`
    // tell the rows apart.
    template <typename List>
    void farMatchShown(List *list, const std::vector<Row> &expected, int field, int key, const QString &keyField,
                       const QString &kind, const QString &typed, const QString &more, int &narrowed)
    {
        const int hit = searchHit(expected, field, typed);
        QVERIFY(hit > 600); // beyond the rows a search reads near its start
        ListFixture::type(list->Text1[size_t(field)], typed);
        QVERIFY2(label(list).startsWith(kind + QStringLiteral(" Nr. ... von ")), qPrintable(label(list) + typed));
        const RS rs = list->data->Recordset();
        QCOMPARE(rs->value(keyField).toString(), text(expected[size_t(hit)].at(key)));
        const int at = list->DBGrid1->currentIndex().row();
        for (int r = at; r < list->gridModel->rowCount(); ++r)
            QCOMPARE(list->gridModel->cellText(r, key), text(expected[size_t(hit + r - at)].at(key)));
        ListFixture::type(list->Text1[size_t(field)], more);
        narrowed = searchHit(expected, field, typed + more);
        QCOMPARE(rs->value(keyField).toString(), text(expected[size_t(narrowed)].at(key)));
        QTRY_COMPARE(label(list), QStringLiteral("%1 Nr. %2 von %3").arg(kind).arg(narrowed + 1).arg(expected.size()));
        QCOMPARE(list->DBGrid1->currentIndex().row(), narrowed);
    }

private slots:
    // Every case twice: with the list complete when it opens, and with only
    // its first rows known, the rest read between events, so that searches,
    // moves and sorts meet a list still being read.
    void initTestCase_data()
    {
        QTest::addColumn<bool>("readOn");
        QTest::newRow("complete at once") << false;
        QTest::newRow("read on between events") << true;
    }

    void init()
    {
        QFETCH_GLOBAL(bool, readOn);
        if (readOn)
            engine::Recordset::setReadAtOnce(16, 0, 16);
        QVERIFY(m_fx.setUpWindows());
        m_data.write();
    }

    void cleanup()
    {
        m_fx.tearDownWindows();
        engine::Recordset::setReadAtOnce(256, 40'000'000);
    }

    void businessViews_data()
    {
        QTest::addColumn<int>("option"); // -1: as opened
        QTest::newRow("opened") << -1;
        QTest::newRow("Alle") << 0;
        QTest::newRow("Aktuelle") << 1;
        QTest::newRow("Abgemeldete") << 2;
    }

    // Count, order (by number, ties in stored order) and the last row.
    void businessViews()
    {
        QFETCH(int, option);
        MDIForm1_menue_suchen_betrieb_Click();
        Frm_Auswahl_Betr *list = Frm_Auswahl_Betr::loaded();
        QVERIFY(list);
        if (option >= 0)
            list->Option1_Click(option);
        const auto expected = Data::sorted(m_data.businessRows(option), 1, false);
        const int n = int(expected.size());
        // Walked row by row, as the list printing does, also while rows are still to come.
        QStringList walked;
        const RS rs = list->data->Recordset();
        for (rs->moveFirst(); !rs->eof(); rs->moveNext())
            walked << rs->value(QStringLiteral("betrieb.betr-nr")).toString();
        QCOMPARE(walked, column(expected, 1));
        rs->moveFirst();
        QTRY_COMPARE(label(list), QStringLiteral("Betrieb Nr. 1 von %1").arg(n));
        QCOMPARE(list->gridModel->rowCount(), n);
        QCOMPARE(list->data->Recordset()->recordCount(), long(n));
        QCOMPARE(shown(list, 1), column(expected, 1));
        QCOMPARE(shown(list, 4), column(expected, 4));
        list->data->navigateLast();
        QCOMPARE(label(list), QStringLiteral("Betrieb Nr. %1 von %1").arg(n));
        QCOMPARE(list->DBGrid1->currentIndex().row(), n - 1);
        QCOMPARE(list->data->currentValue(QStringLiteral("b-strasse")).toString(), text(expected.back().at(5)));
    }

    // Ctrl+End in the grid lands on the list's last row, also while the
    // grid knows only the rows read so far.
    void endOfTheList()
    {
        MDIForm1_menue_suchen_betrieb_Click();
        Frm_Auswahl_Betr *list = Frm_Auswahl_Betr::loaded();
        QVERIFY(list);
        const auto expected = Data::sorted(m_data.businessRows(-1), 1, false);
        const int n = int(expected.size());
        list->DBGrid1->setFocus();
        QTest::keyClick(list->DBGrid1, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(list->DBGrid1->currentIndex().row(), n - 1);
        QCOMPARE(label(list), QStringLiteral("Betrieb Nr. %1 von %1").arg(n));
        QCOMPARE(list->data->currentValue(QStringLiteral("betrieb.betr-nr")).toString(), text(expected.back().at(1)));
    }

    void businessSearch_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::newRow("number prefix, near") << 1 << "1000";
        QTest::newRow("number prefix, far") << 1 << "1009";
        QTest::newRow("no match: first row") << 1 << "2";
        QTest::newRow("number with an asterisk") << 1 << "*99";
        QTest::newRow("history number") << 2 << "2";
        QTest::newRow("municipality") << 0 << "06";
        QTest::newRow("name, umlaut, either case") << 3 << "ölm";
        QTest::newRow("name with an apostrophe") << 3 << "o'brien 12";
        QTest::newRow("name, one character") << 3 << "?ander 1";
        QTest::newRow("place of a second location") << 4 << "eutin";
        QTest::newRow("street") << 5 << "zweit";
    }

    void businessSearch()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        MDIForm1_menue_suchen_betrieb_Click();
        Frm_Auswahl_Betr *list = Frm_Auswahl_Betr::loaded();
        QVERIFY(list);
        const auto expected = Data::sorted(m_data.businessRows(-1), 1, false);
        for (QLineEdit *t : list->Text1) // the first activation emptied the sample texts
            QCOMPARE(t->text(), QString());
        ListFixture::type(list->Text1[size_t(field)], typed);
        const int hit = searchHit(expected, field, typed);
        QTRY_COMPARE(label(list), QStringLiteral("Betrieb Nr. %1 von %2").arg(hit + 1).arg(expected.size()));
        QCOMPARE(list->DBGrid1->currentIndex().row(), hit);
        QCOMPARE(list->data->currentValue(QStringLiteral("betrieb.betr-nr")).toString(),
                 text(expected[size_t(hit)].at(1)));
        QVERIFY(MessageService::recorded().empty());
    }

    void businessSort_data()
    {
        QTest::addColumn<int>("field");
        QTest::newRow("name") << 3;
        QTest::newRow("place") << 4;
        QTest::newRow("municipality") << 0;
    }

    // A click sorts by the column, ties in stored order; a second click on a
    // column left ascending reverses it; a search then lands in the new order.
    void businessSort()
    {
        QFETCH(int, field);
        MDIForm1_menue_suchen_betrieb_Click();
        Frm_Auswahl_Betr *list = Frm_Auswahl_Betr::loaded();
        QVERIFY(list);
        const auto rows = m_data.businessRows(-1);
        const auto byNumber = Data::sorted(rows, 1, false);
        const auto once = Data::sorted(rows, field, Data::descendingAfterClick(byNumber, field));
        list->Text1_Click(field);
        QTRY_COMPARE(label(list), QStringLiteral("Betrieb Nr. 1 von %1").arg(rows.size()));
        QCOMPARE(shown(list, field), column(once, field));
        QCOMPARE(shown(list, 1), column(once, 1));
        list->Text1_Click(field);
        const auto twice = Data::sorted(rows, field, Data::descendingAfterClick(once, field));
        QTRY_COMPARE(list->gridModel->rowCount(), int(rows.size()));
        QCOMPARE(shown(list, 1), column(twice, 1));
        const QString typed = field == 0 ? QStringLiteral("03") : field == 3 ? QStringLiteral("Müll") : QStringLiteral("pl");
        ListFixture::type(list->Text1[size_t(field)], typed);
        const int hit = searchHit(twice, field, typed);
        QTRY_COMPARE(label(list), QStringLiteral("Betrieb Nr. %1 von %2").arg(hit + 1).arg(rows.size()));
        QCOMPARE(list->data->currentValue(QStringLiteral("betrieb.betr-nr")).toString(),
                 text(twice[size_t(hit)].at(1)));
    }

    void farSearch_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("ascending");  // typed when the list runs ascending
        QTest::addColumn<QString>("descending"); // typed when it runs descending
        QTest::addColumn<QString>("more");       // typed after it
        QTest::newRow("by number, in its index's order") << 1 << 0 << "1009" << "1000" << "9";
        QTest::newRow("by number, reversed") << 1 << 1 << "1009" << "1000" << "1";
        QTest::newRow("by name, first click") << 3 << 1 << "zand" << "apf" << "*";
        QTest::newRow("by name, second click") << 3 << 2 << "zand" << "apf" << "*";
        QTest::newRow("by place, lead not the first table") << 4 << 1 << "pl" << "ahr" << "e";
        QTest::newRow("by name, an umlaut typed, first click") << 3 << 1 << "Zand" << "ÄPF" << "e";
        QTest::newRow("by name, an umlaut typed, second click") << 3 << 2 << "Zand" << "ÄPF" << "e";
        QTest::newRow("by place, an umlaut typed") << 4 << 1 << "öst" << "ahr" << "e";
    }

    // A search whose match lies beyond the rows read so far shows that row at
    // once, before its number is known; the rows shown after it are the
    // list's own, and its number follows between events.
    void farSearch()
    {
        QFETCH_GLOBAL(bool, readOn);
        QFETCH(int, field);
        QFETCH(int, clicks);
        QFETCH(QString, ascending);
        QFETCH(QString, descending);
        QFETCH(QString, more);
        if (!readOn)
            QSKIP("a list read whole at its opening has every row at hand");
        MDIForm1_menue_suchen_betrieb_Click();
        Frm_Auswahl_Betr *list = Frm_Auswahl_Betr::loaded();
        QVERIFY(list);
        const auto rows = m_data.businessRows(-1);
        auto expected = Data::sorted(rows, 1, false);
        bool down = false;
        for (int c = 0; c < clicks; ++c) {
            down = Data::descendingAfterClick(expected, field);
            expected = Data::sorted(rows, field, down);
            list->Text1_Click(field);
        }
        int narrowed = -1;
        farMatchShown(list, expected, field, 1, QStringLiteral("betrieb.betr-nr"), QStringLiteral("Betrieb"),
                      down ? descending : ascending, more, narrowed);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(shown(list, 1), column(expected, 1));
        const RS rs = list->data->Recordset();
        rs->moveNext();
        QCOMPARE(rs->value(QStringLiteral("betrieb.betr-nr")).toString(), text(expected[size_t(narrowed + 1)].at(1)));
        QCOMPARE(label(list), QStringLiteral("Betrieb Nr. %1 von %2").arg(narrowed + 2).arg(rows.size()));
    }

    // Off the far match before its number is known: the next row, and the
    // number of the row reached, are those of the whole list.
    void farSearchThenMove()
    {
        QFETCH_GLOBAL(bool, readOn);
        if (!readOn)
            QSKIP("a list read whole at its opening has every row at hand");
        MDIForm1_menue_suchen_betrieb_Click();
        Frm_Auswahl_Betr *list = Frm_Auswahl_Betr::loaded();
        QVERIFY(list);
        const auto rows = m_data.businessRows(-1);
        auto expected = Data::sorted(rows, 3, Data::descendingAfterClick(Data::sorted(rows, 1, false), 3));
        list->Text1_Click(3);
        const QString typed = expected.front().at(3)->startsWith(QStringLiteral("Z")) ? QStringLiteral("apf")
                                                                                     : QStringLiteral("zand");
        const int hit = searchHit(expected, 3, typed);
        ListFixture::type(list->Text1[3], typed);
        const RS rs = list->data->Recordset();
        QVERIFY(!rs->positionKnown());
        rs->moveNext();
        QCOMPARE(rs->value(QStringLiteral("betrieb.betr-nr")).toString(), text(expected[size_t(hit + 1)].at(1)));
        QCOMPARE(rs->absolutePosition(), long(hit + 1));
        rs->movePrevious();
        rs->movePrevious();
        QCOMPARE(rs->value(QStringLiteral("betrieb.betr-nr")).toString(), text(expected[size_t(hit - 1)].at(1)));
        QCOMPARE(list->DBGrid1->currentIndex().row(), hit - 1);
    }

    void personFarSearch_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("more");
        QTest::newRow("family name, plain") << 2 << "schulz" << " 3";
        QTest::newRow("family name, an umlaut") << 2 << "Özd" << "emir 4";
        QTest::newRow("family name, a wildcard") << 2 << "?ross" << " 2";
    }

    // In the opening order the juridical persons, without a family name,
    // come first: a family name found beyond the rows read so far shows at
    // once, with the rows that follow it in the list.
    void personFarSearch()
    {
        QFETCH_GLOBAL(bool, readOn);
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, more);
        if (!readOn)
            QSKIP("a list read whole at its opening has every row at hand");
        MDIForm1_menue_suchen_person_Click();
        Frm_Auswahl_Pers *list = Frm_Auswahl_Pers::loaded();
        QVERIFY(list);
        int narrowed = -1;
        farMatchShown(list, Data::sorted(m_data.personRows(), 0, false), field, 0, QStringLiteral("pers-nr"),
                      QStringLiteral("Person"), typed, more, narrowed);
    }

    void personList_data()
    {
        QTest::addColumn<int>("sortField"); // -1: as opened
        QTest::addColumn<int>("searchField");
        QTest::addColumn<QString>("typed");
        QTest::newRow("opened, family name") << -1 << 2 << "özd";
        QTest::newRow("opened, no match") << -1 << 2 << "zzz";
        QTest::newRow("opened, business name far") << -1 << 5 << "ölmühle 7";
        QTest::newRow("opened, family name with an asterisk") << -1 << 2 << "*zdemir";
        QTest::newRow("opened, juridical name with an apostrophe") << -1 << 1 << "holding o'b";
        QTest::newRow("opened, municipality") << -1 << 6 << "03";
        QTest::newRow("by family name, family name") << 2 << 2 << "gro";
        QTest::newRow("by business number, person") << 3 << 0 << "N09";
    }

    // One row per link whose person exists; count, order, positions, searches.
    void personList()
    {
        QFETCH(int, sortField);
        QFETCH(int, searchField);
        QFETCH(QString, typed);
        MDIForm1_menue_suchen_person_Click();
        Frm_Auswahl_Pers *list = Frm_Auswahl_Pers::loaded();
        QVERIFY(list);
        const auto rows = m_data.personRows();
        auto expected = Data::sorted(rows, 0, false);
        if (sortField >= 0) {
            expected = Data::sorted(rows, sortField, Data::descendingAfterClick(expected, sortField));
            list->Text1_Click(sortField);
        }
        const int n = int(expected.size());
        QTRY_COMPARE(label(list), QStringLiteral("Person Nr. 1 von %1").arg(n));
        QCOMPARE(shown(list, 0), column(expected, 0));
        QCOMPARE(shown(list, 3), column(expected, 3));
        ListFixture::type(list->Text1[size_t(searchField)], typed);
        const int hit = searchHit(expected, searchField, typed);
        QTRY_COMPARE(label(list), QStringLiteral("Person Nr. %1 von %2").arg(hit + 1).arg(n));
        QCOMPARE(list->data->currentValue(QStringLiteral("pers-nr")).toString(), text(expected[size_t(hit)].at(0)));
        QCOMPARE(list->DBGrid1->currentIndex().row(), hit);
    }
};

QTEST_MAIN(TestListRows)
#include "tst_listrows.moc"
