// The dynaset behaviours the import, the export, the lists and the record
// window rely on, against real copies of the working and organisation
// templates.
#include "DamagedIndex.h"
#include "EngineFixture.h"

#include "engine/JetSql.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>

#include <random>

using namespace engine;
using namespace fixture;

namespace {

const QString kBusinessJoin = businessList("WHERE betrieb_adresse.[b-adr-art] = '1' ORDER BY betrieb.[betr-nr]");

void addBusiness(Recordset &rs, const QString &nr, const QString &hist)
{
    addRow(rs, {{"betr-nr", nr}, {"betr-hist-nr", hist}, {"gem-kz", QStringLiteral("01001000")}});
}

// Businesses written as "nr/hist"; "nr/" leaves the history number Null.
void addBusinesses(Recordset &rs, const char *keys)
{
    for (const QString &k : QString::fromUtf8(keys).split(QLatin1Char(' '))) {
        const QStringList p = k.split(QLatin1Char('/'));
        if (p[1].isEmpty())
            addRow(rs, {{"betr-nr", p[0]}, {"gem-kz", QStringLiteral("01001000")}});
        else
            addBusiness(rs, p[0], p[1]);
    }
}

QString keyOf(Recordset &rs)
{
    return str(rs, "betr-nr") + QLatin1Char('/') + str(rs, "betr-hist-nr");
}

// The "nr/hist" of every row of betrieb, in the order they were written.
QString businessKeys(Database &db)
{
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM betrieb ORDER BY rowid"));
    QStringList rows;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext())
        rows << keyOf(*rs);
    return rows.join(QLatin1Char(' '));
}

// Another program holding the file locked for writing, with a delete of its
// own pending, for as long as the guard lives.
auto lockedByAnother(const QString &path)
{
    sqlite3 *other = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &other);
    const int rc = sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM betrieb;", nullptr,
                                nullptr, nullptr);
    if (rc != SQLITE_OK)
        qFatal("could not lock %s", qPrintable(path));
    return qScopeGuard([other] {
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    });
}

const char *const kKeyedRows = "100/0 100/1 O'1/0 MÜ/0 mü/1 x/";

// The person list: businesses, the persons tied to them, then the filter
// and the order.
QString personList(const QString &filter, const QString &order)
{
    return QStringLiteral("SELECT person.[pers-nr], person.[p-eintr-name], person.[fam-name], betrieb.[betr-nr], "
                          "betrieb.[betr-hist-nr], betrieb.[gem-kz], "
                          "betrieb.[b-eintr-name],beziehung_betrieb_person.[pers-nr-jp] "
                          " FROM (betrieb  INNER JOIN beziehung_betrieb_person "
                          " ON (beziehung_betrieb_person.[bez-betr-hist-nr] = betrieb.[betr-hist-nr]) "
                          " AND (betrieb.[betr-nr] = beziehung_betrieb_person.[bez-betr-nr])) "
                          "INNER JOIN person ON beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] "
                          "%1 ORDER BY %2;")
        .arg(filter, order);
}

// Rows as text, one line each, so that a difference shows where it lies.
QStringList lines(const std::vector<std::vector<QVariant>> &rows)
{
    QStringList out;
    for (const auto &row : rows) {
        QStringList cells;
        for (const QVariant &v : row)
            cells << (isNull(v) ? QStringLiteral("<null>") : v.toString());
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

// A criteria text finding the rows whose column holds the value.
QString equalTo(const QString &column, const QVariant &value)
{
    return column + (isNull(value) ? QStringLiteral(" Is Null") : QStringLiteral(" = ") + sqlQuote(value.toString()));
}

// A fixed shuffle of 0..n-1 (mt19937 gives the same numbers everywhere), so
// that the order rows are stored in follows neither their names nor their keys.
std::vector<int> shuffled(int n, unsigned seed)
{
    std::vector<int> order(size_t(n), 0);
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = i;
    std::mt19937 random(seed);
    for (int i = n - 1; i > 0; --i)
        std::swap(order[size_t(i)], order[size_t(random() % unsigned(i + 1))]);
    return order;
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;
    std::shared_ptr<Database> m_db;

    // A business for each key and its business-site address "Ort n", n
    // counted from 1; history numbers all 0, or alternating 0 and 1.
    void fill(const QStringList &keys, bool alternate = false)
    {
        auto b = m_db->openRecordset(QStringLiteral("betrieb"));
        auto a = m_db->openRecordset(QStringLiteral("betrieb_adresse"));
        for (int i = 0; i < keys.size(); ++i) {
            const QString hist = QString::number(alternate ? i % 2 : 0);
            addBusiness(*b, keys[i], hist);
            addRow(*a, {{"betr-nr", keys[i]}, {"betr-hist-nr", hist}, {"b-adr-art", QStringLiteral("1")},
                        {"b-ort", QStringLiteral("Ort %1").arg(i + 1)}});
        }
    }
    void fillFive() { fill({"101", "102", "103", "104", "105"}); }

    // Businesses with their addresses, persons and the ties between them,
    // written in an order that follows neither their names nor their keys:
    // names equal in German order ("Müller", "MÜLLER"), Nulls for more than
    // an eighth of the rows, persons tied to two businesses or to none, and
    // businesses with two persons of one name. The names stay plain ASCII
    // unless `beyondAscii`.
    void fillPeople(bool beyondAscii)
    {
        const QVariant null;
        const QVariantList firms = beyondAscii
            ? QVariantList{"Bäckerei Groß", null, "BÄCKEREI GROß", "Zimmerei Öhler", "Apotheke", "bäckerei groß",
                           null, "Ärztehaus", "Zimmerei Ohler", "Éclair", "O'Neill Bau", "BÄCKEREI GROSS", "Ωmega Bau"}
            : QVariantList{"Baeckerei", null, "BAECKEREI", "Zimmerei Oehler", "Apotheke", "baeckerei", null,
                           "Aerztehaus", "Zimmerei Ohler", "Eclair", "O'Neill Bau", "Baeckerei Gross", "Omega Bau"};
        const QVariantList places = beyondAscii
            ? QVariantList{"München", null, "MÜNCHEN", "Münster", "münchen", "Munster", "Überlingen", "Ulm", null,
                           "Zürich", "Aachen", "Ärzen"}
            : QVariantList{"Muenchen", null, "MUENCHEN", "Muenster", "muenchen", "Munster", "Ueberlingen", "Ulm", null,
                           "Zuerich", "Aachen", "Aerzen"};
        const QVariantList names = beyondAscii
            ? QVariantList{"Müller", null, "MÜLLER", "Öztürk", "müller", "Mueller", null, "Strauß", "Muller",
                           "Strauss", "Zöllner", null, "Ärmel", "Abel", "O'Brien", "Åberg", "Ørsted"}
            : QVariantList{"Mueller", null, "MUELLER", "Oeztuerk", "mueller", "Muller", null, "Strauss", "Miller",
                           "STRAUSS", "Zoellner", null, "Aermel", "Abel", "O'Brien", "Aberg", "Oersted"};
        const QVariantList entries = beyondAscii
            ? QVariantList{null, "Ämter GmbH", "ämter gmbh", "Zeta AG", null, "Beta", "Éta"}
            : QVariantList{null, "Aemter GmbH", "aemter gmbh", "Zeta AG", null, "Beta", "Eta"};
        const auto pick = [](const QVariantList &list, int i) { return list.at(i % list.size()); };

        m_db->beginTrans();
        auto b = m_db->openRecordset(QStringLiteral("betrieb"));
        auto a = m_db->openRecordset(QStringLiteral("betrieb_adresse"));
        auto p = m_db->openRecordset(QStringLiteral("person"));
        auto t = m_db->openRecordset(QStringLiteral("beziehung_betrieb_person"));
        // Thirty businesses, every sixth with a later history row.
        std::vector<std::pair<QString, QString>> businesses;
        for (int nr : shuffled(30, 1))
            businesses.emplace_back(QString::number(100 + nr), QStringLiteral("0"));
        for (int nr = 0; nr < 30; nr += 6)
            businesses.emplace_back(QString::number(100 + nr), QStringLiteral("1"));
        const int count = int(businesses.size());
        const QString municipalities[] = {QStringLiteral("01001000"), QStringLiteral("01002000"), QString()};
        for (int r = 0; r < count; ++r)
            addRow(*b, {{"betr-nr", businesses[size_t(r)].first}, {"betr-hist-nr", businesses[size_t(r)].second},
                        {"gem-kz", municipalities[r % 3]}, {"b-eintr-name", pick(firms, r * 7)}});
        // A business-site address each, a second one for some, and other kinds
        // of address the list leaves out.
        std::vector<std::pair<int, QString>> addresses;
        for (int r = 0; r < count; ++r) {
            addresses.emplace_back(r, QStringLiteral("1"));
            if (r % 9 == 0)
                addresses.emplace_back(r, QStringLiteral("1"));
            if (r % 4 == 0)
                addresses.emplace_back(r, QStringLiteral("2"));
        }
        for (int k : shuffled(int(addresses.size()), 2)) {
            const auto &[r, kind] = addresses[size_t(k)];
            addRow(*a, {{"betr-nr", businesses[size_t(r)].first}, {"betr-hist-nr", businesses[size_t(r)].second},
                        {"b-adr-art", kind}, {"b-ort", pick(places, k * 5)},
                        {"b-strasse", QStringLiteral("Weg %1").arg(k)}});
        }
        // A hundred and twenty persons, numbered apart from the order they are stored in.
        const std::vector<int> numbers = shuffled(120, 3);
        for (int i = 0; i < 120; ++i)
            addRow(*p, {{"pers-nr", QStringLiteral("P%1").arg(numbers[size_t(i)])},
                        {"p-art", i % 3 ? QStringLiteral("NP") : QStringLiteral("JP")},
                        {"fam-name", pick(names, i * 7)}, {"p-eintr-name", pick(entries, i * 3)}});
        // Each person tied to a business but every eleventh; every fifth to a
        // second one; every fourth also to the business of the person
        // sixteen before, who bears the same name.
        const auto businessOf = [count](int i) { return (i * 13 + 5) % count; };
        std::vector<std::pair<int, int>> ties;
        const auto tie = [&ties](int r, int i) {
            if (std::find(ties.begin(), ties.end(), std::pair{r, i}) == ties.end())
                ties.emplace_back(r, i);
        };
        for (int i = 0; i < 120; ++i) {
            if (i % 11 != 10)
                tie(businessOf(i), i);
            if (i % 5 == 0)
                tie((businessOf(i) + 7) % count, i);
            if (i >= 16 && i % 4 == 0)
                tie(businessOf(i - 16), i);
        }
        // Representatives of a juridical person: some, in any case, and many none.
        const QVariantList represented = beyondAscii ? QVariantList{"PÄ7", null, "pä7", "PA7", null}
                                                     : QVariantList{"P7", null, "p7", "P12", null};
        for (int k : shuffled(int(ties.size()), 4)) {
            const auto &[r, i] = ties[size_t(k)];
            addRow(*t, {{"bez-betr-nr", businesses[size_t(r)].first},
                        {"bez-betr-hist-nr", businesses[size_t(r)].second},
                        {"bez-pers-nr", QStringLiteral("P%1").arg(numbers[size_t(i)])},
                        {"pers-nr-jp", pick(represented, k)}});
        }
        m_db->commitTrans();
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        m_db.reset();
        m_path = copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb"));
        m_db = Database::open(m_path);
    }

    void cleanup()
    {
        m_db.reset();
        releaseFile(m_path);
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("critKey");
        QTest::newRow("table") << QStringLiteral("betrieb") << QStringLiteral("betr-nr") << QStringLiteral("[betr-nr]");
        // clang-format off
        QTest::newRow("one-table query") << QStringLiteral("SELECT ALL * FROM betrieb ORDER BY [betr-nr];") << QStringLiteral("betr-nr") << QStringLiteral("betrieb.[betr-nr]");
        QTest::newRow("join") << kBusinessJoin << QStringLiteral("betrieb.betr-nr") << QStringLiteral("betrieb.[betr-nr]");
        // clang-format on
    }
    void navigation()
    {
        QFETCH(QString, source);
        QFETCH(QString, key);
        QFETCH(QString, critKey);
        auto rs = m_db->openRecordset(source);
        // Empty: both ends at once, and nothing to move to, read or delete.
        QCOMPARE(rs->recordCount(), 0L);
        QVERIFY(rs->eof() && rs->bof());
        QCOMPARE(rs->absolutePosition(), -1L);
        for (const auto &touch : std::initializer_list<std::function<void()>>{
                 [&] { rs->moveFirst(); }, [&] { rs->moveNext(); }, [&] { rs->value(0); }, [&] { rs->deleteRow(); }})
            QCOMPARE(errorOf(touch), err::NoCurrentRecord);
        QVERIFY(found(*rs, critKey + QStringLiteral(" = '1'"), key).isEmpty());
        fillFive();
        rs = m_db->openRecordset(source);
        QCOMPARE(rs->absolutePosition(), 0L);
        QCOMPARE(rs->value(key).toString(), QStringLiteral("101"));
        rs->moveLast();
        QCOMPARE(rs->recordCount(), 5L);
        QCOMPARE(rs->absolutePosition(), 4L);
        QCOMPARE(rs->value(key).toString(), QStringLiteral("105"));
        rs->moveNext();
        QVERIFY(rs->eof() && !rs->bof());
        QCOMPARE(errorOf([&] { rs->moveNext(); }), err::NoCurrentRecord);
        QCOMPARE(errorOf([&] { rs->value(key); }), err::NoCurrentRecord);
        rs->movePrevious();
        QCOMPARE(rs->value(key).toString(), QStringLiteral("105"));
        rs->setAbsolutePosition(1);
        QCOMPARE(rs->value(key).toString(), QStringLiteral("102"));
        rs->movePrevious();
        QCOMPARE(rs->absolutePosition(), 0L);
        rs->movePrevious();
        QVERIFY(rs->bof());
        QCOMPARE(errorOf([&] { rs->movePrevious(); }), err::NoCurrentRecord);
        rs->moveNext();
        QCOMPARE(rs->value(key).toString(), QStringLiteral("101"));
        QCOMPARE(errorOf([&] { rs->setAbsolutePosition(5); }), err::InvalidArgument);
        QCOMPARE(errorOf([&] { rs->setAbsolutePosition(-1); }), err::InvalidArgument);
        // A find tells its position, which the list's "Nr. x von y" shows.
        rs->findFirst(critKey + QStringLiteral(" = '104'"));
        QVERIFY(!rs->noMatch());
        QCOMPARE(rs->absolutePosition(), 3L);
        // A failed find leaves the current row where it was.
        rs->findNext(critKey + QStringLiteral(" = '101'"));
        QVERIFY(rs->noMatch());
        QCOMPARE(rs->value(key).toString(), QStringLiteral("104"));
        // Every move reports itself, so bound views can follow.
        int moves = 0;
        rs->setMoveListener([&] { ++moves; });
        rs->moveFirst();
        rs->moveNext();
        rs->setAbsolutePosition(4);
        rs->findFirst(critKey + QStringLiteral(" = '102'"));
        QCOMPARE(moves, 4);
    }

    void deleteLoop_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QString>("left");
        const QString betrieb = QStringLiteral("betrieb");
        QTest::newRow("all history rows") << betrieb << QStringLiteral("[betr-nr] = '100'") << QStringLiteral("200/0 300/0 200/1");
        QTest::newRow("one history row") << betrieb << QStringLiteral("[betr-nr] = '100' AND [betr-hist-nr] = '1'") << QStringLiteral("100/0 200/0 100/2 300/0 200/1");
        QTest::newRow("query set") << QStringLiteral("SELECT * FROM betrieb WHERE [gem-kz] = '01001000'") << QStringLiteral("[betr-nr] = '100'") << QStringLiteral("200/0 300/0 200/1");
        QTest::newRow("nothing matches") << betrieb << QStringLiteral("[betr-nr] = '999'") << QStringLiteral("100/0 200/0 100/1 100/2 300/0 200/1");
    }
    void deleteLoop()
    {
        QFETCH(QString, source);
        QFETCH(QString, criteria);
        QFETCH(QString, left);
        addBusinesses(*m_db->openRecordset(QStringLiteral("betrieb")), "100/0 200/0 100/1 100/2 300/0 200/1");
        auto rs = m_db->openRecordset(source);
        // The import's loop: FindFirst, then Delete and FindNext until nothing is left.
        rs->findFirst(criteria);
        while (!rs->noMatch()) {
            rs->deleteRow();
            QCOMPARE(errorOf([&] { rs->value(0); }), err::RecordDeleted);
            rs->findNext(criteria);
        }
        QCOMPARE(rs->recordCount(), long(left.count(QLatin1Char('/'))));
        QCOMPARE(businessKeys(*m_db), left);
    }

    // The import's finds and deletes bind their keys: the same rows must be
    // found and go as by the criteria text with the keys quoted in, whatever
    // the keys hold.
    void keyedFindsAndDeletes_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("left");
        const QString byNr = QStringLiteral("[betr-nr] = ?");
        const QString byNrAndHist = QStringLiteral("[betr-nr] = ? AND ([betr-hist-nr] = ? OR [betr-hist-nr] Is Null)");
        QTest::newRow("plain key") << byNr << QStringList{QStringLiteral("100")} << QStringLiteral("O'1/0 MÜ/0 mü/1 x/");
        QTest::newRow("apostrophe") << byNr << QStringList{QStringLiteral("O'1")} << QStringLiteral("100/0 100/1 MÜ/0 mü/1 x/");
        QTest::newRow("beyond ASCII, any case") << byNr << QStringList{QStringLiteral("Mü")} << QStringLiteral("100/0 100/1 O'1/0 x/");
        QTest::newRow("empty history and Null") << byNrAndHist << QStringList{QStringLiteral("x"), QString()} << QStringLiteral("100/0 100/1 O'1/0 MÜ/0 mü/1");
        QTest::newRow("question mark in a value") << byNr << QStringList{QStringLiteral("?")} << QStringLiteral("100/0 100/1 O'1/0 MÜ/0 mü/1 x/");
    }
    void keyedFindsAndDeletes()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, values);
        QFETCH(QString, left);
        const std::vector<QString> keys(values.cbegin(), values.cend());
        auto b = m_db->openRecordset(QStringLiteral("betrieb"));
        addBusinesses(*b, kKeyedRows);
        // A FindNext after the bound search goes on as after the text's search.
        const QString criteria = criteriaWithValues(pattern, keys);
        const auto found = [&](const std::function<void()> &first) {
            QStringList rows;
            for (first(); !b->noMatch(); b->findNext(criteria))
                rows << keyOf(*b);
            return rows.join(QLatin1Char(' '));
        };
        const QString rows = found([&] { b->findFirst(criteria); });
        QCOMPARE(found([&] { b->findFirst(pattern, keys); }), rows);
        // The existence check answers the same without moving the current row.
        b->moveLast();
        const QString last = str(*b, "betr-nr");
        QCOMPARE(b->anyMatching(pattern, keys), !rows.isEmpty());
        QCOMPARE(b->noMatch(), rows.isEmpty());
        QCOMPARE(str(*b, "betr-nr"), last);
        const auto leftAfter = [&](const std::function<void()> &deleting) {
            m_db->execute(QStringLiteral("DELETE FROM betrieb"));
            addBusinesses(*b, kKeyedRows);
            deleting();
            return businessKeys(*m_db);
        };
        QCOMPARE(leftAfter([&] { b->deleteMatching(pattern, keys); }), left);
        QCOMPARE(leftAfter([&] { b->deleteMatching(criteria); }), left);
    }

    void ownAdditionsAndPendingRow()
    {
        auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
        addBusiness(*rs, QStringLiteral("1"), QStringLiteral("0"));
        addBusiness(*rs, QStringLiteral("2"), QStringLiteral("0"));
        // The set sees the rows it added itself, by moves and by finds.
        QCOMPARE(rs->recordCount(), 2L);
        rs->moveFirst();
        rs->moveNext();
        QCOMPARE(str(*rs, "betr-nr"), QStringLiteral("2"));
        addBusiness(*rs, QStringLiteral("3"), QStringLiteral("0"));
        // After Update the current row is still the one before AddNew.
        QCOMPARE(str(*rs, "betr-nr"), QStringLiteral("2"));
        rs->moveNext();
        QVERIFY(!rs->eof());
        QCOMPARE(str(*rs, "betr-nr"), QStringLiteral("3"));
        rs->findFirst(QStringLiteral("[betr-nr] = '3'"));
        QVERIFY(!rs->noMatch());
        // A pending new row can be read before it is stored; unset fields are Null.
        rs->addNew();
        rs->setValue(QStringLiteral("BETR-NR"), QStringLiteral("4"));
        QCOMPARE(str(*rs, "betr-nr"), QStringLiteral("4"));
        QVERIFY(isNull(rs->value(QStringLiteral("b-eintr-name"))));
        rs->cancelUpdate();
        QCOMPARE(rs->recordCount(), 3L);
        QCOMPARE(errorOf([&] { rs->update(); }), err::UpdateWithoutAddNew);
        QCOMPARE(errorOf([&] { rs->setValue(QStringLiteral("betr-nr"), QStringLiteral("x")); }),
                 err::UpdateWithoutAddNew);
        // Edit writes through; the moved-away row keeps its old value if not stored.
        rs->findFirst(QStringLiteral("[betr-nr] = '1'"));
        change(*rs, "b-eintr-name", QStringLiteral("Bäckerei Groß"));
        rs->edit();
        rs->setValue(QStringLiteral("b-eintr-name"), QStringLiteral("verworfen"));
        rs->moveNext();
        rs->movePrevious();
        QCOMPARE(str(*rs, "b-eintr-name"), QStringLiteral("Bäckerei Groß"));
    }

    void closing()
    {
        auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
        rs->close();
        QVERIFY(!rs->isOpen());
        // The database handling's failure cases count on a second Close failing.
        QCOMPARE(errorOf([&] { rs->close(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { rs->recordCount(); }), err::ObjectClosed);
        // Closing a database closes its sets; another handle on the file stays usable.
        auto other = Database::open(m_path);
        auto a = m_db->openRecordset(QStringLiteral("SELECT * FROM betrieb"));
        auto b = other->openRecordset(QStringLiteral("betrieb"));
        m_db->close();
        QCOMPARE(errorOf([&] { a->recordCount(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { m_db->close(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { m_db->openRecordset(QStringLiteral("betrieb")); }), err::ObjectClosed);
        QCOMPARE(b->recordCount(), 0L);
    }

    void booleans()
    {
        const QString org = copyOrg(m_dir);
        auto db = openOrg(org);
        auto rs = db->openRecordset(QStringLiteral("aktuelleGemeinde"));
        // A new row starts with the column's default, not Null.
        rs->addNew();
        QCOMPARE(rs->value(QStringLiteral("markiert")), QVariant(false));
        rs->cancelUpdate();
        addRow(*rs, {{"gem-kz", QStringLiteral("1")}, {"markiert", true}});
        addRow(*rs, {{"gem-kz", QStringLiteral("2")}, {"markiert", false}});
        addRow(*rs, {{"gem-kz", QStringLiteral("3")}, {"markiert", -1}});
        QCOMPARE(rs->field(QStringLiteral("markiert")).type(), int(ftype::Boolean));
        rs->moveFirst();
        QCOMPARE(rs->value(QStringLiteral("markiert")).typeId(), int(QMetaType::Bool));
        QCOMPARE(rs->value(QStringLiteral("markiert")).toBool(), true);
        // Stored as -1/0, so criteria with either spelling find the same rows.
        const auto marked = [&](const char *c) { return found(*rs, QString::fromLatin1(c), QStringLiteral("gem-kz")).join(QLatin1Char(' ')); };
        QCOMPARE(marked("[markiert] = -1"), QStringLiteral("1 3"));
        QCOMPARE(marked("[markiert] = 0"), QStringLiteral("2"));
        // A required Boolean refuses Null and leaves no row behind.
        auto opt = db->openRecordset(QStringLiteral("Optionen"));
        const long rows = opt->recordCount();
        opt->addNew();
        opt->setValue(QStringLiteral("datenart"), QStringLiteral("BETRIEBSBEZOGEN"));
        opt->setValue(QStringLiteral("filter_aktiv"), QVariant());
        QCOMPARE(errorOf([&] { opt->update(); }), err::NullNotAllowed);
        QCOMPARE(opt->recordCount(), rows);
        QCOMPARE(db->openRecordset(QStringLiteral("Optionen"))->recordCount(), rows);
        db->close();
        releaseFile(org);
    }

    void fieldSizes_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("error");
        QTest::newRow("fits") << QStringLiteral("123456789012") << 0;
        QTest::newRow("umlauts count as one") << QStringLiteral("ÄÖÜäöüßÄÖÜäö") << 0;
        QTest::newRow("one too many") << QStringLiteral("1234567890123") << int(err::FieldTooSmall);
    }
    void fieldSizes()
    {
        QFETCH(QString, value);
        QFETCH(int, error);
        auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
        rs->addNew();
        rs->setValue(QStringLiteral("gem-kz"), QStringLiteral("01001000"));
        QCOMPARE(errorOf([&] { rs->setValue(QStringLiteral("betr-nr"), value); }), error);
        if (error) {
            // The refused value never reaches the pending row.
            QVERIFY(isNull(rs->value(QStringLiteral("betr-nr"))));
            rs->cancelUpdate();
            QCOMPARE(rs->recordCount(), 0L);
            return;
        }
        rs->update();
        rs->moveFirst();
        QCOMPARE(str(*rs, "betr-nr"), value);
        QCOMPARE(str(*rs, "gem-kz"), QStringLiteral("01001000"));
    }

    void fieldsAndJoins()
    {
        fillFive();
        auto person = m_db->openRecordset(QStringLiteral("person"));
        QCOMPARE(person->field(0).name(), QStringLiteral("pers-nr"));
        QCOMPARE(person->fieldIndex(QStringLiteral("[Fam-Name]")), person->fieldIndex(QStringLiteral("fam-name")));
        QCOMPARE(errorOf([&] { person->field(QStringLiteral("gibt-es-nicht")); }), err::ItemNotFound);
        QCOMPARE(errorOf([&] { person->field(person->fieldCount()); }), err::ItemNotFound);
        QCOMPARE(errorOf([&] { person->value(-1); }), err::ItemNotFound);
        auto rs = m_db->openRecordset(kBusinessJoin);
        QCOMPARE(rs->recordCount(), 5L);
        // Columns present in both tables answer to their qualified name only.
        QCOMPARE(str(*rs, "betrieb.betr-nr"), QStringLiteral("101"));
        QCOMPARE(str(*rs, "betrieb_adresse.betr-nr"), QStringLiteral("101"));
        QCOMPARE(str(*rs, "Betrieb.[Betr-Nr]"), QStringLiteral("101"));
        QCOMPARE(errorOf([&] { rs->value(QStringLiteral("betr-nr")); }), err::ItemNotFound);
        QCOMPARE(rs->field(rs->fieldIndex(QStringLiteral("betrieb.betr-nr"))).name(), QStringLiteral("betrieb.betr-nr"));
        // Unique columns answer to their plain name, also in criteria.
        QCOMPARE(str(*rs, "b-ort"), QStringLiteral("Ort 1"));
        rs->findFirst(QStringLiteral("[b-ort] = 'ORT 4' AND betrieb_adresse.[betr-hist-nr] = '0'"));
        QCOMPARE(str(*rs, "betrieb.betr-nr"), QStringLiteral("104"));
        QCOMPARE(errorOf([&] { rs->findFirst(QStringLiteral("[gibt-es-nicht] = '1'")); }), err::UnknownFieldName);
        // A join is read-only: nothing is written anywhere.
        QCOMPARE(errorOf([&] { rs->edit(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { rs->addNew(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { rs->deleteRow(); }), err::ReadOnly);
        // Table names ignore case and may come bracketed.
        QCOMPARE(m_db->openRecordset(QStringLiteral("BETRIEB"))->recordCount(), 5L);
        QCOMPARE(m_db->openRecordset(QStringLiteral("[betrieb_adresse]"))->recordCount(), 5L);
        // The grids read a block of rows without moving the current one.
        rs->setAbsolutePosition(1);
        const auto rows = rs->readRows(2, 10);
        QCOMPARE(rows.size(), size_t(3));
        const size_t nr = size_t(rs->fieldIndex(QStringLiteral("betrieb.betr-nr")));
        QCOMPARE(rows[0][nr].toString(), QStringLiteral("103"));
        QCOMPARE(rows[2][nr].toString(), QStringLiteral("105"));
        QCOMPARE(rs->absolutePosition(), 1L);
        QVERIFY(rs->readRows(7, 3).empty());
    }

    // Rowids beyond 32 bits (a file whose rows were once numbered so) keep
    // their rows, also when the first rows of a list had small ones.
    void joinsWithLargeRowids_data()
    {
        QTest::addColumn<bool>("readOn");
        QTest::newRow("read at once") << false;
        QTest::newRow("read on between events") << true;
    }

    void joinsWithLargeRowids()
    {
        QFETCH(bool, readOn);
        fillFive();
        const auto small = m_db->openRecordset(kBusinessJoin)->readRows(0, 10);
        m_db->execute(QStringLiteral("UPDATE betrieb_adresse SET rowid = rowid + 5000000000 WHERE [betr-nr] >= '103'"));
        m_db->execute(QStringLiteral("UPDATE betrieb SET rowid = rowid + 9000000000 WHERE [betr-nr] = '105'"));
        if (readOn)
            Recordset::setReadAtOnce(1, 0, 1);
        const auto restore = qScopeGuard([] { Recordset::setReadAtOnce(256, 40'000'000); });
        const auto rs = readOn ? m_db->openRecordsetReadingOn(kBusinessJoin) : m_db->openRecordset(kBusinessJoin);
        QCOMPARE(rs->recordCount(), 5L);
        QCOMPARE(rs->readRows(0, 10), small);
        rs->moveLast();
        QCOMPARE(str(*rs, "b-ort"), QStringLiteral("Ort 5"));
    }

    // A join read on between events gives the rows, in the order, of one read
    // at once. Anything the connection writes or drops reads it to its end
    // first (SQLite refuses a drop while a statement reads); a closed file
    // ends it. Plain ASCII keys let the index of the sort column hand the rows
    // out in order; other orders, and finds and moves that read on, are
    // compared in sortedJoinsReadOn, the number order of a long list in
    // tst_listrows.
    void joinsReadOn()
    {
        fill({"205", "b9", "104", "B9", "104", "a8", "300", "Zz", "1", "0815"}, true);
        Recordset::setReadAtOnce(2, 0, 2);
        const auto restore = qScopeGuard([] { Recordset::setReadAtOnce(256, 40'000'000); });
        const auto all = m_db->openRecordset(kBusinessJoin)->readRows(0, 100);
        const long n = long(all.size());
        QVERIFY(n >= 10); // twins in one history join twice

        // A set that copies its rows into a temporary table opens and goes
        // beside it (a record window loading while a list is still read);
        // the table is dropped once the reading has ended, here between
        // events, which tell of the rows as they arrive.
        const auto temporaryTables = [this] {
            return m_db->openRecordset(QStringLiteral("SELECT count(*) FROM sqlite_temp_master WHERE type = 'table'"))
                ->value(0)
                .toInt();
        };
        const int before = temporaryTables();
        auto rs = m_db->openRecordsetReadingOn(kBusinessJoin);
        QCOMPARE(rs->rowsKnown(), 2L);
        int told = 0;
        rs->setRowsListener([&] { ++told; });
        auto copied = m_db->openRecordset(QStringLiteral("SELECT * FROM betrieb WHERE [betr-nr] = '104'"));
        QCOMPARE(copied->recordCount(), 2L);
        copied.reset();
        QVERIFY(!rs->countKnown());
        QCOMPARE(temporaryTables(), before + 1);
        QTRY_VERIFY(rs->countKnown());
        QVERIFY(told > 0);
        QCOMPARE(temporaryTables(), before);
        QCOMPARE(rs->readRows(0, 100), all);
        QCOMPARE(rs->recordCount(), n);

        // A write reads it to its end first.
        rs = m_db->openRecordsetReadingOn(kBusinessJoin);
        m_db->execute(QStringLiteral("UPDATE betrieb_adresse SET [b-adr-art] = '2'"));
        QVERIFY(rs->countKnown());
        QCOMPARE(rs->recordCount(), n);
        QCOMPARE(m_db->openRecordset(kBusinessJoin)->recordCount(), 0L);
        m_db->execute(QStringLiteral("UPDATE betrieb_adresse SET [b-adr-art] = '1'"));

        rs = m_db->openRecordsetReadingOn(kBusinessJoin);
        m_db->close();
        QCOMPARE(errorOf([&] { rs->moveLast(); }), err::ObjectClosed);
        QTest::qWait(20); // a slice still queued finds the set ended
    }

    void sortedJoinsReadOn_data()
    {
        QTest::addColumn<bool>("persons"); // the person list, else the business list
        QTest::addColumn<bool>("beyondAscii");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("order");
        const QString none;
        const QString location = QStringLiteral("WHERE betrieb_adresse.[b-adr-art] = '1'");
        // clang-format off
        QTest::newRow("last table") << true << true << none << QStringLiteral("person.[fam-name]");
        QTest::newRow("last table, descending") << true << true << none << QStringLiteral("person.[fam-name] DESC");
        QTest::newRow("last table, other column") << true << true << none << QStringLiteral("person.[p-eintr-name] ASC");
        QTest::newRow("first table") << true << true << none << QStringLiteral("betrieb.[b-eintr-name]");
        QTest::newRow("first table, descending") << true << true << none << QStringLiteral("betrieb.[b-eintr-name] DESC");
        QTest::newRow("first table, municipality filter") << true << true << QStringLiteral(" where betrieb.[gem-kz] = '' or [gem-kz] = '01002000'") << QStringLiteral("betrieb.[b-eintr-name]");
        QTest::newRow("middle table") << true << true << none << QStringLiteral("beziehung_betrieb_person.[pers-nr-jp] DESC");
        QTest::newRow("two terms, first descending") << true << true << none << QStringLiteral("person.[fam-name] DESC, person.[p-eintr-name]");
        QTest::newRow("two terms, second descending") << true << true << none << QStringLiteral("person.[p-eintr-name], person.[fam-name] DESC");
        QTest::newRow("filter on the sorted table") << true << true << QStringLiteral("WHERE person.[p-art] = 'NP'") << QStringLiteral("person.[fam-name]");
        QTest::newRow("filter leaving out the last name") << true << true << QStringLiteral("WHERE person.[fam-name] <> 'Zöllner' OR person.[fam-name] Is Null") << QStringLiteral("person.[fam-name]");
        QTest::newRow("filter leaving out the Nulls") << true << true << QStringLiteral("WHERE person.[fam-name] Is Not Null") << QStringLiteral("person.[fam-name] DESC");
        QTest::newRow("municipality filter") << true << true << QStringLiteral(" where betrieb.[gem-kz] = '' or [gem-kz] = '01001000'") << QStringLiteral("person.[fam-name] DESC");
        QTest::newRow("terms of two tables") << true << true << none << QStringLiteral("betrieb.[b-eintr-name], person.[fam-name] DESC");
        QTest::newRow("terms of two tables, last first") << true << true << none << QStringLiteral("person.[fam-name] DESC, betrieb.[b-eintr-name]");
        QTest::newRow("businesses by place") << false << true << location << QStringLiteral("betrieb_adresse.[b-ort]");
        QTest::newRow("businesses by place, descending") << false << true << location << QStringLiteral("betrieb_adresse.[b-ort] DESC");
        QTest::newRow("businesses by name, descending") << false << true << location << QStringLiteral("betrieb.[b-eintr-name] DESC");
        QTest::newRow("ASCII, last table") << true << false << none << QStringLiteral("person.[fam-name]");
        QTest::newRow("ASCII, last table, descending") << true << false << none << QStringLiteral("person.[fam-name] DESC, person.[p-eintr-name]");
        QTest::newRow("ASCII, businesses by place") << false << false << location << QStringLiteral("betrieb_adresse.[b-ort]");
        QTest::newRow("ASCII, businesses by place, descending") << false << false << location << QStringLiteral("betrieb_adresse.[b-ort] DESC");
        // clang-format on
    }

    // Every place starts with a plain letter, one holds an umlaut further in.
    // The statistics say many businesses share a place, so the check for
    // text beyond ASCII looks at each place once: it must still find it,
    // or the list would come in the index's order ("Lucka" before "Lübeck").
    void placeWithUmlautInside()
    {
        auto b = m_db->openRecordset(QStringLiteral("betrieb"));
        auto a = m_db->openRecordset(QStringLiteral("betrieb_adresse"));
        const QStringList places{QStringLiteral("Lucka"), QStringLiteral("Lübeck"), QStringLiteral("Kiel")};
        for (int i = 0; i < 12; ++i) {
            const QString key = QString::number(200 + i);
            addBusiness(*b, key, QStringLiteral("0"));
            addRow(*a, {{"betr-nr", key}, {"betr-hist-nr", QStringLiteral("0")}, {"b-adr-art", QStringLiteral("1")},
                        {"b-ort", places.at(i % 3)}});
        }
        Recordset::setReadAtOnce(2, 0, 2);
        const auto restore = qScopeGuard([] { Recordset::setReadAtOnce(256, 40'000'000); });
        const auto rs = m_db->openRecordsetReadingOn(
            businessList("WHERE betrieb_adresse.[b-adr-art] = '1' ORDER BY betrieb_adresse.[b-ort]"));
        const auto rows = rs->readRows(0, 13);
        QCOMPARE(long(rows.size()), 12L);
        const size_t place = size_t(rs->fieldIndex(QStringLiteral("b-ort")));
        QStringList order;
        for (const auto &row : rows)
            if (order.isEmpty() || order.last() != row[place].toString())
                order << row[place].toString();
        QCOMPARE(order, (QStringList{QStringLiteral("Kiel"), QStringLiteral("Lübeck"), QStringLiteral("Lucka")}));
    }

    // A sorted join read on between events gives the rows of the query read
    // at once, in the query's order; rows equal in every sort term follow
    // the stored order of the joined tables' rows, the first table's first,
    // also under a descending sort. Its last row, its count and its finds
    // agree with the complete set whatever was read before.
    void sortedJoinsReadOn()
    {
        QFETCH(bool, persons);
        QFETCH(bool, beyondAscii);
        QFETCH(QString, filter);
        QFETCH(QString, order);
        fillPeople(beyondAscii);
        const auto query = [&](const QString &by) {
            return persons ? personList(filter, by)
                           : businessList(qPrintable(filter + QStringLiteral(" ORDER BY ") + by));
        };
        const QString sql = query(order);
        Recordset::setReadAtOnce(2, 0, 2);
        const auto restore = qScopeGuard([] { Recordset::setReadAtOnce(256, 40'000'000); });

        const auto atOnce = m_db->openRecordset(sql);
        const long n = atOnce->recordCount();
        const auto all = atOnce->readRows(0, n + 1);
        QCOMPARE(long(all.size()), n);
        QVERIFY(n > 30);
        // The order spelled out: the rowids after the query's terms.
        const QString rowids =
            persons ? QStringLiteral(", betrieb.rowid + 0, beziehung_betrieb_person.rowid + 0, person.rowid + 0")
                    : QStringLiteral(", betrieb.rowid + 0, betrieb_adresse.rowid + 0");
        QCOMPARE(lines(m_db->openRecordset(query(order + rowids))->readRows(0, n + 1)), lines(all));

        // What is searched for and read at the end: each sort column, and a
        // column that tells the rows apart.
        QStringList columns;
        for (const QString &term : order.split(QLatin1Char(',')))
            columns << term.trimmed().section(QLatin1Char(' '), 0, 0);
        columns << (persons ? QStringLiteral("person.[pers-nr]") : QStringLiteral("betrieb_adresse.[b-strasse]"));
        const auto fieldOf = [](const QString &column) {
            return column.section(QLatin1Char('.'), 1).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
        };
        // Unless filtered out, many rows share a Null in the first sort
        // column: there the tie-break decides.
        const size_t first = size_t(atOnce->fieldIndex(fieldOf(columns.first())));
        const auto nulls = std::count_if(all.begin(), all.end(), [first](const auto &row) { return isNull(row[first]); });
        QVERIFY(nulls * 8 > n || filter.contains(QLatin1String("Null")));
        const auto readOn = [&] { return m_db->openRecordsetReadingOn(sql); };

        // The last row's values, asked before anything else is read.
        for (const QString &column : std::as_const(columns)) {
            const QString field = fieldOf(column);
            const auto fresh = readOn();
            QVERIFY(!fresh->countKnown());
            QCOMPARE(fresh->lastValue(field), all.back()[size_t(atOnce->fieldIndex(field))]);
        }

        // Finds of a row near the end, after the first rows were read.
        auto rs = readOn();
        QVERIFY(!rs->countKnown());
        QCOMPARE(lines(rs->readRows(0, 3)), lines({all.begin(), all.begin() + 3}));
        for (const QString &column : std::as_const(columns)) {
            const QString criteria = equalTo(column, all[size_t(n - 3)][size_t(atOnce->fieldIndex(fieldOf(column)))]);
            atOnce->findFirst(criteria);
            rs->findFirst(criteria);
            QVERIFY2(!rs->noMatch(), qPrintable(criteria));
            QVERIFY2(rs->absolutePosition() == atOnce->absolutePosition(), qPrintable(criteria));
        }
        QCOMPARE(lines(rs->readRows(0, n + 1)), lines(all));
        QCOMPARE(rs->recordCount(), n);

        // The last row by a move.
        rs = readOn();
        rs->moveLast();
        QCOMPARE(rs->absolutePosition(), n - 1);
        QCOMPARE(rs->recordCount(), n);
        QCOMPARE(lines(rs->readRows(n - 1, 1)), lines({all.back()}));

        // Every row read between events.
        rs = readOn();
        QTRY_VERIFY(rs->countKnown());
        QCOMPARE(rs->recordCount(), n);
        QVERIFY(rs->readRows(0, n + 1) == all);
    }

    void oneTableQueriesWriteThrough_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("updatable");
        // clang-format off
        QTest::newRow("export selection") << QStringLiteral("SELECT distinctrow * FROM betrieb ORDER BY betrieb.[betr-nr], betrieb.[betr-hist-nr];") << true;
        QTest::newRow("export key selection") << QStringLiteral("SELECT distinctrow * FROM betrieb WHERE betrieb.schluesselfeld = 'K, 1'ORDER BY betrieb.[betr-nr], betrieb.[betr-hist-nr];") << true;
        QTest::newRow("record window") << QStringLiteral("SELECT DISTINCTROW * FROM betrieb WHERE betrieb.[gem-kz] = '01001000' AND betrieb.[betr-nr] = '102' ;") << true;
        QTest::newRow("SELECT ALL") << QStringLiteral("SELECT ALL * From betrieb ORDER BY [betr-nr];") << true;
        QTest::newRow("some columns") << QStringLiteral("SELECT [betr-nr], [bearb-status] FROM betrieb") << true;
        QTest::newRow("GROUP BY") << QStringLiteral("SELECT betrieb.schluesselfeld From betrieb GROUP BY betrieb.schluesselfeld HAVING (betrieb.schluesselfeld<>'')") << false;
        QTest::newRow("DISTINCT") << QStringLiteral("SELECT DISTINCT [betr-nr], [bearb-status] FROM betrieb") << false;
        QTest::newRow("two tables") << QStringLiteral("SELECT betrieb.[betr-nr], betrieb.[bearb-status] FROM betrieb, betrieb_adresse WHERE betrieb.[betr-nr] = betrieb_adresse.[betr-nr]") << false;
        // clang-format on
    }
    void oneTableQueriesWriteThrough()
    {
        QFETCH(QString, sql);
        QFETCH(bool, updatable);
        fillFive();
        {
            auto b = m_db->openRecordset(QStringLiteral("betrieb"));
            b->findFirst(QStringLiteral("[betr-nr] = '102'"));
            change(*b, "schluesselfeld", QStringLiteral("K, 1"));
        }
        auto rs = m_db->openRecordset(sql);
        QVERIFY(rs->recordCount() > 0);
        QCOMPARE(rs->updatable(), updatable);
        if (!updatable) {
            QCOMPARE(errorOf([&] { rs->edit(); }), err::ReadOnly);
            return;
        }
        // The export's status pass: edit from the last row back to the first.
        rs->moveLast();
        while (!rs->bof()) {
            change(*rs, "bearb-status", QStringLiteral("A"));
            QCOMPARE(str(*rs, "bearb-status"), QStringLiteral("A"));
            rs->movePrevious();
        }
        const long marked = rs->recordCount();
        auto check = Database::open(m_path)->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(found(*check, QStringLiteral("[bearb-status] = 'A'"), QStringLiteral("betr-nr")).size(),
                 qsizetype(marked));
        // A delete goes to the table too; the set walks on past the gap.
        rs->moveFirst();
        const QString gone = str(*rs, "betr-nr");
        rs->deleteRow();
        if (marked > 1) {
            rs->moveNext();
            QVERIFY(!rs->eof());
            QVERIFY(str(*rs, "betr-nr") != gone);
        }
        QCOMPARE(rs->recordCount(), marked - 1);
        check->findFirst(QStringLiteral("[betr-nr] = ") + sqlQuote(gone));
        QVERIFY(check->noMatch());
    }

    void sharedConnection()
    {
        fillFive();
        auto second = Database::open(m_path);
        auto reader = m_db->openRecordset(QStringLiteral("betrieb"));
        reader->setAbsolutePosition(1);
        QCOMPARE(reader->recordCount(), 5L);
        // Writing through another handle while a set stands mid-way never waits or fails.
        auto writer = second->openRecordset(QStringLiteral("betrieb"));
        addBusiness(*writer, QStringLiteral("106"), QStringLiteral("0"));
        writer->findFirst(QStringLiteral("[betr-nr] = '103'"));
        change(*writer, "b-eintr-name", QStringLiteral("geändert"));
        second->execute(QStringLiteral("UPDATE betrieb SET [meld-art] = '1'"));
        // The first handle sees it at once.
        reader->moveNext();
        QCOMPARE(str(*reader, "b-eintr-name"), QStringLiteral("geändert"));
        QCOMPARE(str(*reader, "meld-art"), QStringLiteral("1"));
        reader->moveLast();
        QCOMPARE(str(*reader, "betr-nr"), QStringLiteral("106"));
        // MoveLast completes the count, also for rows another handle added.
        QCOMPARE(reader->recordCount(), 6L);
        QCOMPARE(reader->absolutePosition(), 5L);
        QCOMPARE(rowCount(m_path), 6L);
    }

    void passwords_data()
    {
        QTest::addColumn<QString>("connect");
        QTest::addColumn<bool>("heldOpen");
        QTest::addColumn<int>("error");
        const int refused = err::InvalidPassword;
        QTest::newRow("right password") << QStringLiteral("; pwd=wexor") << false << 0;
        QTest::newRow("no password") << QString() << false << refused;
        QTest::newRow("wrong password") << QStringLiteral("; pwd=Wexor") << false << refused;
        QTest::newRow("by path while held open") << QString() << true << 0;
        QTest::newRow("again with password while held open") << QStringLiteral("; pwd=wexor") << true << 0;
        QTest::newRow("wrong password while held open") << QStringLiteral("; pwd=xyz") << true << refused;
    }
    void passwords()
    {
        QFETCH(QString, connect);
        QFETCH(bool, heldOpen);
        QFETCH(int, error);
        const QString org = copyOrg(m_dir);
        std::shared_ptr<Database> holder;
        if (heldOpen)
            holder = openOrg(org);
        std::shared_ptr<Database> db;
        QCOMPARE(errorOf([&] { db = Database::open(org, false, false, connect); }), error);
        if (!error)
            QVERIFY(db->openRecordset(QStringLiteral("gemeindekennzahlen"))->recordCount() > 0);
        db.reset();
        holder.reset();
        releaseFile(org);
        // Once nobody holds it, the path alone is refused again.
        QCOMPARE(errorOf([&] { Database::open(org); }), int(err::InvalidPassword));
    }

    void openFailures()
    {
        QCOMPARE(errorOf([&] { Database::open(m_dir.filePath(QStringLiteral("fehlt.mdb"))); }), err::FileNotFound);
        QCOMPARE(errorOf([&] { Database::open(m_dir.filePath(QStringLiteral("fehlt/px_4x_b.mdb"))); }),
                 err::PathNotFound);
        QCOMPARE(errorOf([&] { Database::open(QString()); }), err::FileNotFound);
        QFile text(m_dir.filePath(QStringLiteral("kein.mdb")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(4096, 'x'));
        text.close();
        QCOMPARE(errorOf([&] { Database::open(text.fileName()); }), err::UnrecognizedFormat);
        // File names are matched without regard to case.
        QVERIFY(Database::open(m_dir.filePath(QStringLiteral("PX_4X_B.MDB")))->isOpen());
        for (const auto &[sql, error] :
             {std::pair{"SELECT * FORM betrieb", err::SyntaxError},
              {"SELECT * FROM betrieb WHERE ([betr-nr] = '1'", err::SyntaxError},
              {"gibtesnicht", err::TableNotFound}, {"SELECT * FROM gibtesnicht", err::TableNotFound}})
            QVERIFY2(errorOf([&] { m_db->openRecordset(QString::fromLatin1(sql)); }) == error, sql);
        auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(errorOf([&] { rs->findFirst(QStringLiteral("[betr-nr] = '1")); }), err::SyntaxError);
        // Every number the engine raises has a text of its own in the log's table.
        for (int n : {err::SubscriptOutOfRange, err::FieldTooSmall, err::NoCurrentRecord, err::FileNotFound,
                      err::PathNotFound, err::InvalidPassword, err::DuplicateKey, err::SyntaxError, err::ItemNotFound,
                      err::ObjectClosed, err::NullNotAllowed, err::FileInUse, err::DatabaseExists})
            QVERIFY2(standardErrorText(n) != standardErrorText(1), qPrintable(QString::number(n)));
    }

    void compaction()
    {
        fillFive();
        auto open = m_db->openRecordset(QStringLiteral("betrieb"));
        open->findFirst(QStringLiteral("[betr-nr] = '103'"));
        change(*open, "b-eintr-name", QStringLiteral("Größe & Söhne"));
        open->findFirst(QStringLiteral("[betr-nr] = '105'"));
        open->deleteRow();
        QVERIFY(QFileInfo::exists(m_path + QStringLiteral("-wal")));
        const QString target = m_dir.filePath(QStringLiteral("DATENBANK.NEU"));
        QFile::remove(target);
        // Compacting the program's own open file: its handles are cut off rather than left on a stale file.
        compactDatabase(m_path, target);
        QCOMPARE(errorOf([&] { open->moveNext(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { m_db->openRecordset(QStringLiteral("betrieb")); }), err::ObjectClosed);
        for (const QString &f : {target + QStringLiteral("-wal"), target + QStringLiteral("-shm"), m_path + QStringLiteral("-wal")})
            QVERIFY2(!QFileInfo::exists(f), qPrintable(f));
        auto copy = Database::open(target);
        auto rs = copy->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(rs->recordCount(), 4L);
        rs->findFirst(QStringLiteral("[betr-nr] = '103'"));
        QCOMPARE(str(*rs, "b-eintr-name"), QStringLiteral("Größe & Söhne"));
        QCOMPARE(copy->openRecordset(QStringLiteral("betrieb_adresse"))->recordCount(), 5L);
        copy->close();
        releaseFile(target);
        // A target that exists is never overwritten.
        QCOMPARE(errorOf([&] { compactDatabase(m_path, target); }), err::DatabaseExists);
        QVERIFY(rowCount(target) == 4);
        releaseFile(target);
        QFile::remove(target);
        QCOMPARE(errorOf([&] { compactDatabase(m_dir.filePath(QStringLiteral("fehlt.mdb")), target); }),
                 err::FileNotFound);
        QCOMPARE(errorOf([&] { compactDatabase(m_path, m_dir.filePath(QStringLiteral("fehlt/DATENBANK.NEU"))); }),
                 err::PathNotFound);
        QVERIFY(!QFileInfo::exists(target));
    }

    void compactionOfProtectedDatabase()
    {
        const QString org = copyOrg(m_dir);
        const QString target = m_dir.filePath(QStringLiteral("org.neu"));
        QFile::remove(target);
        QCOMPARE(errorOf([&] { compactDatabase(org, target); }), err::InvalidPassword);
        QVERIFY(!QFileInfo::exists(target));
        compactDatabase(org, target, QStringLiteral("wexor"));
        // The copy keeps its protection and its rows.
        QCOMPARE(errorOf([&] { Database::open(target); }), err::InvalidPassword);
        QVERIFY(openOrg(target)->openRecordset(QStringLiteral("Rechtsformen"))->recordCount() > 0);
    }

    // A file with nothing to give back is read through under the
    // compaction's lock, not copied: it stays the same file, and damage and
    // a busy file fail as a compaction would. A file with free pages is left
    // to the compaction.
    void checkInsteadOfCompacting()
    {
        fillFive();
        m_db->close();
        releaseFile(m_path);
        const auto fileId = [this] { return QFileInfo(m_path).fileTime(QFileDevice::FileModificationTime); };
        const QDateTime before = fileId();
        QVERIFY(engine::checkInsteadOfCompacting(m_path));
        QCOMPARE(fileId(), before);
        QCOMPARE(rowCount(m_path), 5L);

        // Another program holds the file: both fail, and nothing is lost.
        const QString target = m_dir.filePath(QStringLiteral("DATENBANK.NEU"));
        QFile::remove(target);
        {
            const auto lock = lockedByAnother(m_path);
            QCOMPARE(errorOf([&] { engine::checkInsteadOfCompacting(m_path); }), err::FileInUse);
            QCOMPARE(errorOf([&] { compactDatabase(m_path, target); }), err::FileInUse);
            QVERIFY(!QFileInfo::exists(target));
        }
        QCOMPARE(rowCount(m_path), 5L);
        compactDatabase(m_path, target);
        QCOMPARE(rowCount(target), 5L);
        releaseFile(target);

        // An index page overwritten: the tables still open, the check finds it.
        const QString damaged = m_dir.filePath(QStringLiteral("damaged.mdb"));
        QFile::remove(damaged);
        QVERIFY(QFile::copy(m_path, damaged));
        damageIndex(damaged, "ix_betrieb_b_eintr_name");
        QCOMPARE(errorOf([&] { engine::checkInsteadOfCompacting(damaged); }), err::UnrecognizedFormat);

        // Rows deleted by the hundred leave free pages worth a compaction.
        {
            auto db = Database::open(m_path);
            auto b = db->openRecordset(QStringLiteral("betrieb"));
            for (int i = 0; i < 400; ++i)
                addRow(*b, {{"betr-nr", QStringLiteral("9%1").arg(i)}, {"b-eintr-name", QString(140, QLatin1Char('x'))}});
            db->execute(QStringLiteral("DELETE FROM betrieb WHERE [betr-nr] LIKE '9*'"));
            db->close();
            releaseFile(m_path);
        }
        QVERIFY(!engine::checkInsteadOfCompacting(m_path));
        QCOMPARE(rowCount(m_path), 5L);
    }

    void replacingAFile()
    {
        fillFive();
        auto old = m_db->openRecordset(QStringLiteral("betrieb"));
        QVERIFY(QFileInfo::exists(m_path + QStringLiteral("-wal")));
        // The protocol: let go of the file, replace it, open it again.
        releaseFile(m_path);
        QVERIFY(!QFileInfo::exists(m_path + QStringLiteral("-wal")));
        QVERIFY(!QFileInfo::exists(m_path + QStringLiteral("-shm")));
        QCOMPARE(errorOf([&] { old->moveFirst(); }), err::ObjectClosed);
        copyTemplate(m_dir, QStringLiteral("px_4x_m.mdb"), QStringLiteral("px_4x_b.mdb"));
        auto fresh = Database::open(m_path);
        QCOMPARE(fresh->openRecordset(QStringLiteral("betrieb"))->recordCount(), 0L);
        addBusiness(*fresh->openRecordset(QStringLiteral("betrieb")), QStringLiteral("1"), QStringLiteral("0"));
        fresh->close();
        releaseFile(m_path);
        // Even without the release, a file replaced behind the program's back is not mixed up.
        auto held = Database::open(m_path);
        QVERIFY(QFile::remove(m_path));
        QVERIFY(QFile::copy(templatePath(QStringLiteral("px_4x_b.mdb")), m_path));
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(rowCount(m_path), 0L);
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
