// The query and criteria texts the program sends, run unchanged against a
// small working database, must return the rows the program was written for.
// Values the program pastes between apostrophes are written as %1, %2, ...
// and filled in through sqlQuote.
#include "EngineFixture.h"

#include "engine/JetSql.h"
#include "engine/SqlFunctions.h"

#include <QLocale>
#include <sqlite3.h>
#include <cstring>
#include <algorithm>

using namespace engine;
using namespace fixture;

namespace {

using Strs = std::initializer_list<const char *>;

QStringList list(Strs items)
{
    QStringList out;
    for (const char *i : items)
        out << QString::fromUtf8(i);
    return out;
}

// Fills a query text: each %n becomes the quoted n-th value.
QString text(const char *sql, Strs values = {})
{
    QString s = QString::fromUtf8(sql);
    for (const char *v : values)
        s = s.arg(sqlQuote(QString::fromUtf8(v)));
    return s;
}

const char *const kPersonList =
    "SELECT person.[pers-nr], person.[p-eintr-name], person.[fam-name], betrieb.[betr-nr], betrieb.[betr-hist-nr], "
    "betrieb.[gem-kz], betrieb.[b-eintr-name],beziehung_betrieb_person.[pers-nr-jp]  FROM (betrieb  INNER JOIN "
    "beziehung_betrieb_person  ON (beziehung_betrieb_person.[bez-betr-hist-nr] = betrieb.[betr-hist-nr])  AND "
    "(betrieb.[betr-nr] = beziehung_betrieb_person.[bez-betr-nr])) INNER JOIN person ON "
    "beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] ";

const char *const kRepresentatives =
    "SELECT person.[pers-nr], person.[p-eintr-name], person.[fam-name], betrieb.[betr-nr], betrieb.[betr-hist-nr], "
    "betrieb.[gem-kz], betrieb.[b-eintr-name], beziehung_betrieb_person.[pers-nr-jp], "
    "beziehung_betrieb_person.[p-funktion] "
    "  FROM (betrieb  INNER JOIN beziehung_betrieb_person  ON (beziehung_betrieb_person.[bez-betr-hist-nr] = "
    "betrieb.[betr-hist-nr])  AND (beziehung_betrieb_person.[bez-betr-nr] = betrieb.[betr-nr])) INNER JOIN person ON "
    "beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] ";

const char *const kPersonJoin = "SELECT DISTINCTROW * FROM person INNER JOIN beziehung_betrieb_person ON ";

QString persons(const QString &rest) { return QString::fromUtf8(kPersonList) + rest; }
QString representatives(const QString &rest) { return QString::fromUtf8(kRepresentatives) + rest; }
QString personJoin(const char *rest, Strs values) { return QString::fromUtf8(kPersonJoin) + text(rest, values); }

void query(const char *name, bool org, const QString &sql, const char *key, Strs rows)
{
    QTest::newRow(name) << org << sql << QString::fromUtf8(key) << list(rows);
}

// A bare connection with the engine's SQL functions registered, asked one
// call at a time; the answer as its bytes.
struct FunctionsOnly {
    sqlite3 *db = nullptr;
    FunctionsOnly() { sqlite3_open(":memory:", &db), registerSqlFunctions(db); }
    ~FunctionsOnly() { sqlite3_close(db); }
    QByteArray call(const char *sql, const QStringList &args) const
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        for (int i = 0; i < args.size(); ++i)
            sqlite3_bind_text(st, i + 1, args[i].toUtf8().constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        const QByteArray out(static_cast<const char *>(sqlite3_column_blob(st, 0)), sqlite3_column_bytes(st, 0));
        sqlite3_finalize(st);
        return out;
    }
};

void crit(const char *name, const QString &source, const QString &criteria, const char *key, Strs rows)
{
    QTest::newRow(name) << source << criteria << QString::fromUtf8(key) << list(rows);
}

} // namespace

class TestJetDialect : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::shared_ptr<Database> m_work;
    std::shared_ptr<Database> m_org;

    // Rows of texts, nullptr standing for Null.
    void add(const char *table, Strs names, std::initializer_list<Strs> rows)
    {
        auto rs = m_work->openRecordset(QString::fromLatin1(table));
        for (const Strs &r : rows) {
            rs->addNew();
            auto v = r.begin();
            for (const char *n : names) {
                const char *value = *v++;
                rs->setValue(QString::fromLatin1(n), value ? QVariant(QString::fromUtf8(value)) : QVariant());
            }
            rs->update();
        }
    }

    void fillWork()
    {
        // clang-format off
        add("betrieb", {"gem-kz", "betr-nr", "betr-hist-nr", "b-eintr-name", "meld-art", "betr-ende", "schluesselfeld"},
            {{"01001000", "100", "0", "Müller GmbH", "1", nullptr, "K1"}, {"01001000", "100", "1", "MÜLLER GMBH", "2", "31.12.2020", "K1"},
             {"01002000", "200", "0", "Äpfel & Co", "999", "", "k2"}, {"01003000", "300", "0", "Özdemir Bau", "1", nullptr, ""},
             {"", "400", "0", "straße 5 KG", "1", nullptr, nullptr}, {"01002000", "500", "0", "O'Brien Ltd", "1", nullptr, "K1"}});
        add("betrieb_adresse", {"betr-nr", "betr-hist-nr", "b-adr-art", "b-ort", "b-strasse"},
            {{"100", "0", "1", "München", "Hauptstraße"}, {"100", "0", "2", "Kiel", "Postweg"}, {"100", "1", "1", "Köln", "Domplatz"},
             {"200", "0", "1", "mÜnster", "Ring"}, {"300", "0", "1", "Bad_Ort", "Allee"}, {"400", "0", "1", "Baden-Baden", "Zeile"},
             {"500", "0", "1", "50% Stadt", "Gasse"}});
        add("person", {"pers-nr", "p-art", "fam-name", "p-eintr-name"},
            {{"7", "NP", "Schulz", nullptr}, {"8", "JP", nullptr, "Holding AG"}, {"9", "NP", "schmidt", nullptr},
             {"10", "JP", nullptr, "Zwilling"}, {"10", "NP", "Zwilling", nullptr}, {"11", "NP", "Özdemir", nullptr},
             {"12", "NP", "meier", nullptr}, {"13", "NP", "Meyer", nullptr}});
        add("beziehung_betrieb_person", {"bez-betr-nr", "bez-betr-hist-nr", "bez-pers-nr", "bez-sort-nr", "p-funktion", "pers-nr-jp"},
            {{"100", "0", "7", "1", "1", ""}, {"100", "0", "8", "2", "3", ""}, {"100", "0", "9", "3", "1", "8"}, {"200", "0", "7", "1", "1", nullptr}});
        add("person_erlaubnis", {"pers-nr", "betr-nr", "p-erl-art"}, {{"7", "100", "E100"}, {"7", "", "Eleer"}, {"7", nullptr, "Enull"}, {"7", "200", "E200"}});
        add("person_handwerkskarte", {"pers-nr", "betr-nr", "p-hwk-art"}, {{"7", "100", "H100"}, {"7", "300", "H300"}});
        add("person_staatsang", {"pers-nr", "staat-text"}, {{"7", "deutsch"}});
        add("betrieb_taetigkeit", {"betr-nr", "betr-hist-nr", "tk-schl"}, {{"100", "0", "T1"}, {"100", "0", "T1"}});
        add("betrieb_meldgrundsonst", {"betr-nr", "betr-hist-nr", "meld-grund-sonst-text"}, {{"100", "0", "Umzug"}});
        // clang-format on
        auto g = m_org->openRecordset(QStringLiteral("aktuelleGemeinde"));
        addRow(*g, {{"gem-kz", QStringLiteral("01002000")}, {"markiert", true}});
        addRow(*g, {{"gem-kz", QStringLiteral("01001000")}, {"markiert", false}});
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        QVERIFY(m_dir.isValid());
        m_work = Database::open(copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb")));
        m_org = openOrg(copyOrg(m_dir));
        fillWork();
    }

    void queries_data()
    {
        QTest::addColumn<bool>("org");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("rows");
        // clang-format off
        // Options window and the municipality views.
        query("marked municipalities", true, text("SELECT ALL * From aktuelleGemeinde ORDER BY [gem-kz];"), "gem-kz", {"01001000", "01002000"});
        query("municipality by key", true, text("SELECT ALL * From gemeindekennzahlen WHERE [gem-kz] = %1 ;", {"01003000"}), "gem-name", {"Lübeck, Hansestadt"});
        query("municipality prefix search", true, text("SELECT DISTINCTROW * From gemeindekennzahlen where [gem-kz] like '0100*' ORDER BY [gem-kz];"), "gem-kz", {"01001000", "01002000", "01003000", "01004000"});
        query("legal form", true, text("SELECT ALL * From Rechtsformen WHERE [schluessel] = %1 ;", {"210"}), "typ", {"P"});
        // Record window.
        query("DATA_BETR", false, text("SELECT DISTINCTROW * FROM betrieb WHERE betrieb.[gem-kz] = %1 AND betrieb.[betr-nr] = %2 AND betrieb.[betr-hist-nr] = %3;", {"01001000", "100", "1"}), "b-eintr-name", {"MÜLLER GMBH"});
        query("DATA_ADR", false, text("SELECT DISTINCTROW * FROM betrieb_adresse WHERE betrieb_adresse.[betr-nr] = %1 AND betrieb_adresse.[betr-hist-nr] = %2 ;", {"100", "0"}), "b-adr-art", {"1", "2"});
        query("DATA_TAET keeps equal rows apart", false, text("SELECT DISTINCTROW * FROM betrieb_taetigkeit WHERE betrieb_taetigkeit.[betr-nr] = %1 AND betrieb_taetigkeit.[betr-hist-nr] = %2 ;", {"100", "0"}), "tk-schl", {"T1", "T1"});
        query("DATA_PERS, missing blanks", false, personJoin("person.[pers-nr] = beziehung_betrieb_person.[bez-pers-nr]WHERE beziehung_betrieb_person.[bez-betr-nr]= %1 AND beziehung_betrieb_person.[bez-betr-hist-nr]= %2 AND (len(beziehung_betrieb_person.[pers-nr-jp]) = 0 OR len(beziehung_betrieb_person.[pers-nr-jp]) is Null )ORDER BY person.[pers-nr];", {"100", "0"}), "pers-nr", {"7", "8"});
        query("DATA_Bez_Betr_Pers", false, text("SELECT DISTINCTROW * FROM beziehung_betrieb_person WHERE beziehung_betrieb_person.[bez-betr-nr] = %1 AND beziehung_betrieb_person.[bez-pers-nr] = %2 AND beziehung_betrieb_person.[bez-betr-hist-nr] = %3 ", {"100", "9", "0"}), "bez-sort-nr", {"3"});
        query("DATA_PERSStaat", false, text("SELECT DISTINCTROW * FROM person_staatsang WHERE person_staatsang.[pers-nr] = %1 ", {"7"}), "staat-text", {"deutsch"});
        query("DATA_PERSErl", false, text("SELECT DISTINCTROW * FROM person_erlaubnis WHERE person_erlaubnis.[pers-nr] = %1 AND person_erlaubnis.[betr-nr] = %2", {"7", "100"}), "p-erl-art", {"E100"});
        query("DATA_PERSHwk", false, text("SELECT DISTINCTROW * FROM person_handwerkskarte WHERE person_handwerkskarte.[pers-nr] = %1 AND person_handwerkskarte.[betr-nr] = %2", {"7", "300"}), "p-hwk-art", {"H300"});
        query("representatives, filter off", false, representatives(text(" where beziehung_betrieb_person.[pers-nr-jp] = %1 AND beziehung_betrieb_person.[bez-betr-nr] = %2 AND beziehung_betrieb_person.[pers-nr-jp] = %3 AND beziehung_betrieb_person.[bez-betr-hist-nr] = %4 ORDER BY person.[pers-nr];", {"8", "100", "8", "0"})), "pers-nr", {"9"});
        query("representatives, filter on", false, representatives(text(" where (betrieb.[gem-kz] = '' or [gem-kz] = %1 or beziehung_betrieb_person.[pers-nr-jp] = %2) AND beziehung_betrieb_person.[bez-betr-nr] = %3 AND beziehung_betrieb_person.[pers-nr-jp] = %4 AND beziehung_betrieb_person.[bez-betr-hist-nr] = %5 ORDER BY person.[pers-nr];", {"01002000", "8", "100", "8", "0"})), "pers-nr", {"9"});
        // Business list.
        query("business list, first fill", false, businessList("WHERE betrieb_adresse.[b-adr-art] = '1' AND [meld-art] <> '999' ORDER BY betrieb.[betr-nr]"), "betrieb.betr-nr", {"100", "100", "300", "400", "500"});
        query("business list, first fill with filter", false, businessList("WHERE betrieb_adresse.[b-adr-art] = '1' AND ([gem-kz] = '' or [gem-kz] = '01001000' )AND [meld-art] <> '999' ORDER BY betrieb.[betr-nr]"), "betrieb.betr-nr", {"100", "100", "400"});
        query("business list, Alle", false, businessList("WHERE betrieb_adresse.[b-adr-art] = '1' ORDER BY betrieb.[betr-nr]"), "betrieb.betr-nr", {"100", "100", "200", "300", "400", "500"});
        query("business list, Aktuelle", false, businessList("WHERE [betr-ende] Is Null AND betrieb_adresse.[b-adr-art] = '1' ORDER BY betrieb.[betr-nr]", "betrieb.[betr-nr] = betrieb_adresse.[betr-nr]"), "betrieb.betr-hist-nr", {"0", "0", "0", "0"});
        query("business list, Abgemeldete: an empty end date counts", false, businessList("WHERE [betr-ende] Is NOT Null AND betrieb_adresse.[b-adr-art] = '1' ORDER BY betrieb.[betr-nr]"), "betrieb.betr-nr", {"100", "200"});
        query("business list, Aktuelle with filter", false, businessList("WHERE betrieb_adresse.[b-adr-art] = '1' AND ([gem-kz] = '' or [gem-kz] = '01002000' )AND [betr-ende] Is Null ORDER BY betrieb.[betr-nr]"), "betrieb.betr-nr", {"400", "500"});
        query("business list sorted by place, German order", false, businessList("WHERE betrieb_adresse.[b-adr-art] = '1' ORDER BY betrieb_adresse.[b-ort]"), "b-ort", {"50% Stadt", "Bad_Ort", "Baden-Baden", "Köln", "München", "mÜnster"});
        query("business list sorted by name descending", false, businessList("WHERE betrieb_adresse.[b-adr-art] = '1' ORDER BY betrieb.[b-eintr-name] DESC"), "betrieb.betr-nr", {"400", "300", "500", "100", "100", "200"});
        // Person list.
        query("person list", false, persons(QStringLiteral(" ORDER BY person.[pers-nr];")), "pers-nr", {"7", "7", "8", "9"});
        query("person list with filter", false, persons(QStringLiteral(" where betrieb.[gem-kz] = '' or [gem-kz] = '01001000' ORDER BY person.[pers-nr];")), "betr-nr", {"100", "100", "100"});
        query("person list sorted, lower case among upper", false, persons(QStringLiteral(" ORDER BY person.[fam-name] DESC;")), "fam-name", {"Schulz", "Schulz", "schmidt", "<null>"});
        // Names of plain ASCII that differ in case where they first differ,
        // in a column that also holds an umlaut: the exact sort.
        query("persons in German order, case ignored on both sides", false, text("SELECT * FROM person WHERE [p-art] = 'NP' ORDER BY person.[fam-name];"), "fam-name", {"meier", "Meyer", "Özdemir", "schmidt", "Schulz", "Zwilling"});
        query("persons in German order, descending", false, text("SELECT * FROM person WHERE [p-art] = 'NP' ORDER BY person.[fam-name] DESC;"), "fam-name", {"Zwilling", "Schulz", "schmidt", "Özdemir", "Meyer", "meier"});
        query("person list by representative", false, persons(QStringLiteral(" ORDER BY beziehung_betrieb_person.[pers-nr-jp];")), "pers-nr-jp", {"<null>", "", "", "8"});
        query("person list OK, representatives mode", false, personJoin("person.[pers-nr] = beziehung_betrieb_person.[bez-pers-nr]WHERE beziehung_betrieb_person.[bez-betr-nr]= %1 AND beziehung_betrieb_person.[bez-betr-hist-nr]= %2 AND beziehung_betrieb_person.[bez-pers-nr]= %3 ;", {"100", "0", "9"}), "fam-name", {"schmidt"});
        // Export.
        query("export key list", false, text("SELECT betrieb.schluesselfeld From betrieb GROUP BY betrieb.schluesselfeld HAVING (betrieb.schluesselfeld<>'')"), "schluesselfeld", {"K1", "k2"});
        query("export selection by key, missing blank", false, text("SELECT distinctrow * FROM betrieb WHERE betrieb.schluesselfeld = %1ORDER BY betrieb.[betr-nr], betrieb.[betr-hist-nr];", {"k1"}), "betr-hist-nr", {"0", "1", "0"});
        query("export selection", false, text("SELECT distinctrow * FROM betrieb ORDER BY betrieb.[betr-nr], betrieb.[betr-hist-nr];"), "betr-nr", {"100", "100", "200", "300", "400", "500"});
        query("export sub-block", false, text("select distinctrow * from  betrieb_meldgrundsonst where [betr-nr] = %1 AND [betr-hist-nr] = %2", {"100", "0"}), "meld-grund-sonst-text", {"Umzug"});
        query("export persons of a business", false, text("SELECT beziehung_betrieb_person.* FROM beziehung_betrieb_person INNER JOIN person ON beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] Where beziehung_betrieb_person.[bez-betr-nr] = %1 AND [bez-betr-hist-nr] = %2 ORDER BY beziehung_betrieb_person.[bez-betr-nr], beziehung_betrieb_person.[bez-sort-nr]", {"100", "0"}), "bez-pers-nr", {"7", "8", "9"});
        query("export person, p-art descending", false, text("select distinctrow * from person where [pers-nr] = %1 ORDER BY person.[p-art] DESC;", {"10"}), "p-art", {"NP", "JP"});
        query("export person permits, Len compared numerically", false, text("select distinctrow * from person_erlaubnis WHERE [pers-nr] = %1 And Not (Len([betr-nr]) > '0' And person_erlaubnis.[betr-nr] <> %2) ", {"7", "100"}), "p-erl-art", {"E100", "Eleer"});
        query("export person cards", false, text("select distinctrow * from person_handwerkskarte WHERE [pers-nr] = %1 And Not (Len([betr-nr]) > '0' And person_handwerkskarte.[betr-nr] <> %2) ", {"7", "100"}), "p-hwk-art", {"H100"});
        // '10' compared as text would sort before '9'.
        query("Len against a two-digit text", false, text("SELECT * FROM betrieb WHERE Len([b-eintr-name]) > '9' AND Len([b-eintr-name]) <= '10'"), "betr-nr", {"200"});
        // Record print.
        query("print business", false, text("SELECT distinctrow * From betrieb WHERE betrieb.[betr-nr] = %1 AND betrieb.[betr-hist-nr] = %2", {"100", "0"}), "b-eintr-name", {"Müller GmbH"});
        query("print persons of a business", false, personJoin("beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] WHERE beziehung_betrieb_person.[bez-betr-nr] = %1 AND beziehung_betrieb_person.[bez-betr-hist-nr] = %2 ", {"100", "0"}), "pers-nr", {"7", "8", "9"});
        query("print one person", false, personJoin("beziehung_betrieb_person.[bez-pers-nr] = person.[pers-nr] WHERE beziehung_betrieb_person.[bez-betr-nr] = %1 AND beziehung_betrieb_person.[bez-betr-hist-nr] = %2 AND person.[pers-nr] = %3 ", {"100", "0", "8"}), "p-eintr-name", {"Holding AG"});
        // clang-format on
    }
    void queries()
    {
        QFETCH(bool, org);
        QFETCH(QString, sql);
        QFETCH(QString, key);
        QFETCH(QStringList, rows);
        auto rs = (org ? m_org : m_work)->openRecordset(sql);
        QStringList got = column(*rs, key);
        if (!sql.contains(QLatin1String("ORDER BY"), Qt::CaseInsensitive)) {
            // Without ORDER BY the order is the engine's choice.
            got.sort();
            rows.sort();
        }
        QCOMPARE(got, rows);
        QCOMPARE(rs->recordCount(), long(rows.size()));
        // The record window reads the person key from column 0 of a person join.
        if (sql.startsWith(QString::fromUtf8(kPersonJoin)))
            QCOMPARE(rs->field(0).name(), QStringLiteral("pers-nr"));
    }

    void criteria_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("rows");
        const QString betrieb = QStringLiteral("betrieb"), links = QStringLiteral("beziehung_betrieb_person");
        // The link-row test, its pieces joined without blanks before AND.
        const char *const linkRow = "[bez-pers-nr] = %1AND [p-funktion] = %2AND [bez-betr-nr] = %3AND "
                                    "[bez-betr-hist-nr] = %4AND [pers-nr-jp] = %5";
        const QString list1 = businessList("WHERE betrieb_adresse.[b-adr-art] = '1' ORDER BY betrieb.[betr-nr]");
        const QString persons1 = persons(QStringLiteral(" ORDER BY person.[pers-nr];"));
        // clang-format off
        // The import's deletions, per data kind.
        crit("K", betrieb, text("[betr-nr] = %1", {"100"}), "betr-hist-nr", {"0", "1"});
        crit("KH", QStringLiteral("betrieb_adresse"), text("[betr-nr] = %1 AND [betr-hist-nr] = %2", {"100", "1"}), "b-ort", {"Köln"});
        crit("link row with representative", links, text(linkRow, {"9", "1", "100", "0", "8"}), "bez-sort-nr", {"3"});
        crit("link row, empty representative", links, text(linkRow, {"7", "1", "100", "0", ""}), "bez-sort-nr", {"1"});
        crit("link row, Null representative is not ''", links, text(linkRow, {"7", "1", "200", "0", ""}), "bez-sort-nr", {});
        // "=" ignores case, umlauts included, but not the umlaut itself.
        crit("= ignores case", betrieb, QStringLiteral("[b-eintr-name] = 'müller gmbh'"), "betr-hist-nr", {"0", "1"});
        crit("= keeps umlauts apart", betrieb, QStringLiteral("[b-eintr-name] = 'Muller GmbH'"), "betr-nr", {});
        crit("<> ignores case", betrieb, QStringLiteral("[b-eintr-name] <> 'MÜLLER gmbh'"), "betr-nr", {"200", "300", "400", "500"});
        // The capital on the value's side and on the row's side.
        crit("< capital in the value", QStringLiteral("person"), QStringLiteral("[fam-name] < 'Schulz'"), "pers-nr", {"9", "11", "12", "13"});
        crit("> capital in the row", QStringLiteral("person"), QStringLiteral("[fam-name] > 'schmidt'"), "pers-nr", {"7", "10"});
        crit("<= equal but for case", QStringLiteral("person"), QStringLiteral("[fam-name] <= 'MEIER'"), "pers-nr", {"12"});
        crit(">= equal but for case", QStringLiteral("person"), QStringLiteral("[fam-name] >= 'MEYER'"), "pers-nr", {"7", "9", "10", "11", "13"});
        crit("pasted apostrophe", betrieb, text("[b-eintr-name] = %1", {"o'brien LTD"}), "betr-nr", {"500"});
        // An empty text is not Null, and Len of Null is Null.
        crit("= '' skips Null", links, QStringLiteral("[pers-nr-jp] = ''"), "pers-nr-jp", {"", ""});
        crit("Is Null", links, QStringLiteral("[pers-nr-jp] Is Null"), "pers-nr-jp", {"<null>"});
        crit("Is NOT Null keeps ''", links, QStringLiteral("[pers-nr-jp] Is NOT Null"), "pers-nr-jp", {"", "", "8"});
        crit("<> '' skips Null", links, QStringLiteral("[pers-nr-jp] <> ''"), "pers-nr-jp", {"8"});
        crit("len = 0 or Null", links, QStringLiteral("len([pers-nr-jp]) = 0 OR len([pers-nr-jp]) is Null"), "pers-nr-jp", {"", "", "<null>"});
        crit("Not", betrieb, QStringLiteral("Not ([meld-art] = '1')"), "meld-art", {"2", "999"});
        // Incremental search of the lists: the typed text keeps its pattern characters,
        // and SQL's own wildcards stay literal.
        crit("search name", list1, QStringLiteral("betrieb.[b-eintr-name] LIKE 'mü*'"), "betrieb.betr-hist-nr", {"0", "1"});
        crit("search upper-case umlaut", list1, QStringLiteral("betrieb_adresse.[b-ort] LIKE 'MÜ*'"), "b-ort", {"München", "mÜnster"});
        crit("search [!..]", list1, QStringLiteral("betrieb_adresse.[b-ort] LIKE '[!a-l]*'"), "b-ort", {"München", "mÜnster", "50% Stadt"});
        crit("search _ is literal", list1, QStringLiteral("betrieb_adresse.[b-ort] LIKE 'Bad_*'"), "b-ort", {"Bad_Ort"});
        crit("search % alone", list1, QStringLiteral("betrieb_adresse.[b-ort] LIKE '%'"), "b-ort", {});
        crit("empty search skips Null", list1, QStringLiteral("betrieb.[schluesselfeld] LIKE '*'"), "betrieb.betr-nr", {"100", "100", "200", "300", "500"});
        crit("search by plain name", list1, QStringLiteral("[gem-kz] LIKE '01001*'"), "b-ort", {"München", "Köln"});
        crit("person search", persons1, QStringLiteral("person.[fam-name] LIKE 'sch*'"), "fam-name", {"Schulz", "Schulz", "schmidt"});
        // clang-format on
    }
    void criteria()
    {
        QFETCH(QString, source);
        QFETCH(QString, criteria);
        QFETCH(QString, key);
        QFETCH(QStringList, rows);
        auto rs = m_work->openRecordset(source);
        QCOMPARE(found(*rs, criteria, key), rows);
    }

    void translation_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        const auto row = [](const char *name, const char *jet, const char *sqlite) {
            QTest::newRow(name) << QString::fromUtf8(jet) << QString::fromUtf8(sqlite);
        };
        row("Len not followed by a number", "Len([a]) > 'x'", "Len([a]) > 'x'");
        row("double-quoted text", "[a] = \"it's\"", "[a] = 'it''s'");
        row("True and False", "[m] = True OR [m] = false", "[m] = -1 OR [m] = 0");
        row("inside literals untouched", "[a] = 'True DISTINCTROW'", "[a] = 'True DISTINCTROW'");
        row("unclosed literal kept", "[a] = 'x", "[a] = 'x");
    }
    void translation()
    {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QCOMPARE(translateJetSql(jet), sqlite);
    }

    void like_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("hit");
        QTest::addColumn<QString>("miss");
        const auto row = [](const char *name, const char *pattern, const char *hit, const char *miss) {
            QTest::newRow(name) << QString::fromUtf8(pattern) << QString::fromUtf8(hit) << QString::fromUtf8(miss);
        };
        row("prefix ignores case, umlaut is its own letter", "mÜ*", "MÜLLER", "Muller");
        row("ß", "*STRAßE", "Hauptstraße", "Hauptstrase");
        row("empty pattern", "", "", "a");
        row("star matches empty", "*", "", nullptr);
        row("star inside", "a*c*e", "abcde", "abcdf");
        row("star backtracks", "*ab", "aab", "aba");
        row("? one character, not zero", "K?ln", "Köln", "Kln");
        row("# digit, not a letter", "##-#", "12-3", "1a-3");
        row("class", "[a-c]x", "Bx", "dx");
        row("negated class", "[!0-9]*", "A1", "1A");
        row("class of pattern characters", "[*?#]", "?", "a");
        row("bracketed star is literal", "a[*]", "a*", "ab");
        row("unclosed bracket is literal", "[ab", "[ab", "a");
        row("percent literal, not a wildcard", "10%", "10%", "100");
        row("underscore literal", "a_b", "a_b", "axb");
        row("whole text", "abc", "abc", "abcd");
    }
    void like()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, hit);
        QFETCH(QString, miss);
        QVERIFY(jetLike(pattern, hit));
        if (!miss.isNull())
            QVERIFY(!jetLike(pattern, miss));
    }

    void compare_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("case ignored") << QStringLiteral("MÜLLER") << QStringLiteral("müller") << 0;
        QTest::newRow("Ä among A") << QStringLiteral("Äpfel") << QStringLiteral("Bäcker") << -1;
        QTest::newRow("Ä after plain A") << QStringLiteral("Apfel") << QStringLiteral("Äpfel") << -1;
        QTest::newRow("ß as ss") << QStringLiteral("Straße") << QStringLiteral("Strasz") << -1;
        QTest::newRow("ß after ss") << QStringLiteral("Strasse") << QStringLiteral("Straße") << -1;
        QTest::newRow("Ö among O") << QStringLiteral("Öl") << QStringLiteral("Ozean") << -1;
        QTest::newRow("shorter first") << QStringLiteral("Kiel") << QStringLiteral("Kiel 2") << -1;
    }
    void compare()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(jetCompare(a, b), order);
        QCOMPARE(jetCompare(b, a), -order);
    }

    // The SQL function answers as the matcher, also where it takes its short
    // way for typed text followed by "*".
    void likeInSql()
    {
        const FunctionsOnly sql;
        const QStringList patterns = list({"abc*", "ABC*", "ab*", "i*", "k*", "*", "1009*", "ab", "a?c*", "o'b*", "stra*"});
        const QStringList texts = list({"abc", "ABCdef", "ab", "a", "", "aİ", "İstanbul", "istanbul", "Kiel", "\u212Aelvin",
                                        "100912", "1008", "O'Brien", "Straße", "STRASSE", "äbc"});
        for (const QString &p : patterns)
            for (const QString &t : texts)
                QVERIFY2((sql.call("SELECT like(?1, ?2)", {p, t}) == "1") == jetLike(p, t), qPrintable(p + QStringLiteral(" / ") + t));
    }

    // Sorting by the byte keys gives the collation's order, pair by pair
    // (ties included), so that a sort may use either.
    void sortKeysCompareAsTheCollation()
    {
        const QStringList words = list({"Zander", "äpfel", "Äpfel", "Apfel", "apfel", "Bäcker", "Backer", "Strasse",
                                        "straße", "Straße", "Strasz", "Öl", "Ofen", "abc", "ABD", "ab", "", "50%", "_x",
                                        "Éclair", "Ecke", "Kiel", "Kiel 2", "MÜLLER", "müller", "Muller", "ß", "ss",
                                        // units of one, two and three bytes in the key side by side
                                        "a~", "aЯ", "a€", "€uro", "Ωmega", "Ⱥx", "ⱥx", "a\U0001D11E"});
        // Pairwise agreement with the keys' bytes also makes the collation one
        // total order, which the index of a text column relies on.
        const FunctionsOnly sql;
        const auto key = [&sql](const QString &w) { return sql.call("SELECT jet_sortkey(?1)", {w}); };
        const auto sign = [](int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
        for (const QString &a : words)
            for (const QString &b : words) {
                const QByteArray ka = key(a), kb = key(b);
                const int bytes = sign(std::memcmp(ka.constData(), kb.constData(), size_t(std::min(ka.size(), kb.size()))));
                const int byKey = bytes != 0 ? bytes : sign(int(ka.size() - kb.size()));
                QVERIFY2(byKey == sign(jetCompare(a, b)), qPrintable(a + QStringLiteral(" / ") + b));
            }
    }
};

QTEST_GUILESS_MAIN(TestJetDialect)
#include "tst_jetdialect.moc"
