// How query and criteria texts are understood, on the texts alone: which
// queries stand one for one for a table's rows, the tables and conditions of
// a join and the order its tables can be walked in, sort terms, and the
// stretches of an index that a typed search can match.
#include "engine/QueryText.h"

#include <QTest>

using namespace engine::querytext;

namespace {

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

QString joined(const QList<int> &list)
{
    QStringList parts;
    for (int k : list)
        parts << QString::number(k);
    return parts.join(QLatin1Char(','));
}

const char *const kThree = "a INNER JOIN b ON a.id = b.aid INNER JOIN c ON b.k = c.k";

} // namespace

class TestQueryText : public QObject
{
    Q_OBJECT

private slots:
    void oneTableRows_data();
    void oneTableRows();
    void plainJoins_data();
    void plainJoins();
    void joinOrder_data();
    void joinOrder();
    void listParts_data();
    void listParts();
    void sortTerms_data();
    void sortTerms();
    void sortKeys_data();
    void sortKeys();
    void joinInSortOrder_data();
    void joinInSortOrder();
    void walkPlan_data();
    void walkPlan();
    void literals_data();
    void literals();
    void lenWithText_data();
    void lenWithText();
    void asciiPrefix_data();
    void asciiPrefix();
    void prefixWays_data();
    void prefixWays();
    void narrowing_data();
    void narrowing();
};

void TestQueryText::oneTableRows_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("oneForOne");
    QTest::newRow("plain") << u("SELECT * FROM betrieb WHERE [betr-nr] = 1") << true;
    QTest::newRow("bracketed, ordered") << u("SELECT * FROM [betrieb] ORDER BY [b-eintr-name]") << true;
    QTest::newRow("keyword in a literal") << u("SELECT * FROM betrieb WHERE name = 'x JOIN y, z'") << true;
    QTest::newRow("keyword in a name") << u("SELECT [group by] FROM betrieb") << true;
    QTest::newRow("alias") << u("SELECT * FROM betrieb AS b") << false;
    QTest::newRow("distinct") << u("SELECT DISTINCT name FROM betrieb") << false;
    QTest::newRow("grouped") << u("SELECT name FROM betrieb GROUP BY name") << false;
    QTest::newRow("top") << u("SELECT TOP 5 * FROM betrieb") << false;
    QTest::newRow("join") << u("SELECT * FROM a INNER JOIN b ON a.id = b.id") << false;
    QTest::newRow("comma join") << u("SELECT * FROM a, b") << false;
    QTest::newRow("union") << u("SELECT x FROM a UNION SELECT x FROM b") << false;
    QTest::newRow("no from") << u("SELECT 1") << false;
}

void TestQueryText::oneTableRows()
{
    QFETCH(QString, sql);
    QFETCH(bool, oneForOne);
    QCOMPARE(isPlainOneTableSelect(sql), oneForOne);
}

void TestQueryText::plainJoins_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("plain");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QStringList>("refs");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("order");
    const QStringList ab{u("a"), u("b")};
    QTest::newRow("inner, where, order")
        << u("SELECT a.x, b.y FROM a INNER JOIN b ON a.id = b.aid WHERE a.x = 1 ORDER BY a.x") << true << ab << ab
        << u("a.x = 1") << u("a.x");
    QTest::newRow("aliases") << u("SELECT * FROM [betrieb] AS t INNER JOIN person p ON t.id = p.id") << true
                             << QStringList{u("[betrieb]"), u("person")} << QStringList{u("t"), u("p")} << QString()
                             << QString();
    QTest::newRow("nested") << u("SELECT * FROM (a INNER JOIN b ON a.id = b.aid) INNER JOIN c ON b.k = c.k") << true
                            << QStringList{u("a"), u("b"), u("c")} << QStringList{u("a"), u("b"), u("c")}
                            << QString() << QString();
    QTest::newRow("cross") << u("SELECT * FROM a CROSS JOIN b") << true << ab << ab << QString() << QString();
    QTest::newRow("keywords in literals")
        << u("SELECT * FROM a INNER JOIN b ON a.id = b.aid WHERE a.x = 'LEFT, GROUP BY' ORDER BY b.y DESC") << true
        << ab << ab << u("a.x = 'LEFT, GROUP BY'") << u("b.y DESC");
    QTest::newRow("one table") << u("SELECT * FROM betrieb") << false << QStringList() << QStringList() << QString()
                               << QString();
    QTest::newRow("left join") << u("SELECT * FROM a LEFT JOIN b ON a.id = b.aid") << false << QStringList()
                               << QStringList() << QString() << QString();
    QTest::newRow("comma join") << u("SELECT * FROM a, b WHERE a.id = b.aid") << false << QStringList()
                                << QStringList() << QString() << QString();
    QTest::newRow("comma after a join") << u("SELECT * FROM a INNER JOIN b ON a.id = b.aid, c") << false
                                        << QStringList() << QStringList() << QString() << QString();
    QTest::newRow("aggregate") << u("SELECT count(*) FROM a INNER JOIN b ON a.id = b.aid") << false << QStringList()
                               << QStringList() << QString() << QString();
    QTest::newRow("order by number") << u("SELECT * FROM a INNER JOIN b ON a.id = b.aid ORDER BY 1") << false
                                     << QStringList() << QStringList() << QString() << QString();
    QTest::newRow("subquery") << u("SELECT * FROM a INNER JOIN b ON a.id = b.aid WHERE a.x IN (SELECT x FROM c)")
                              << false << QStringList() << QStringList() << QString() << QString();
    // One row per pair of table rows, as a keyset holds them anyway.
    QTest::newRow("distinctrow") << u("SELECT DISTINCTROW * FROM a INNER JOIN b ON a.id = b.aid") << true << ab << ab
                                 << QString() << QString();
    QTest::newRow("where after order") << u("SELECT * FROM a INNER JOIN b ON a.id = b.aid ORDER BY a.x WHERE a.y = 1")
                                       << false << QStringList() << QStringList() << QString() << QString();
}

void TestQueryText::plainJoins()
{
    QFETCH(QString, sql);
    QFETCH(bool, plain);
    const auto j = plainJoin(sql);
    QCOMPARE(j.has_value(), plain);
    if (!j)
        return;
    QFETCH(QStringList, tables);
    QFETCH(QStringList, refs);
    QFETCH(QString, where);
    QFETCH(QString, order);
    QCOMPARE(j->tables, tables);
    QCOMPARE(j->refs, refs);
    QCOMPARE(j->where, where);
    QCOMPARE(j->order, order);
}

void TestQueryText::joinOrder_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QStringList>("refs");
    QTest::addColumn<int>("first");
    QTest::addColumn<QString>("conditions"); // "" when the FROM cannot be read
    QTest::addColumn<QString>("order");      // "" when no order ties every table
    const QStringList abc{u("a"), u("b"), u("c")};
    QTest::newRow("from the first") << u(kThree) << abc << 0 << u("a.id = b.aid|b.k = c.k") << u("0,1,2");
    QTest::newRow("from the last") << u(kThree) << abc << 2 << u("a.id = b.aid|b.k = c.k") << u("2,1,0");
    QTest::newRow("from the middle") << u(kThree) << abc << 1 << u("a.id = b.aid|b.k = c.k") << u("1,0,2");
    QTest::newRow("brackets and parentheses")
        << u("([x y] AS a INNER JOIN b ON (a.[n] = b.[n]) AND (b.m = a.m)) INNER JOIN c ON b.k = c.k") << abc << 2
        << u("(a.[n] = b.[n]) AND (b.m = a.m)|b.k = c.k") << u("2,1,0");
    QTest::newRow("untied table") << u("a INNER JOIN b ON a.id = b.aid CROSS JOIN c") << abc << 0
                                  << u("a.id = b.aid") << QString();
    QTest::newRow("unknown qualifier") << u("a INNER JOIN b ON x.id = b.aid") << QStringList{u("a"), u("b")} << 0
                                       << QString() << QString();
}

void TestQueryText::joinOrder()
{
    QFETCH(QString, from);
    QFETCH(QStringList, refs);
    QFETCH(int, first);
    QFETCH(QString, conditions);
    QFETCH(QString, order);
    const auto c = joinConditions(from, refs);
    QCOMPARE(c.has_value(), !conditions.isEmpty());
    if (!c)
        return;
    QStringList texts;
    for (const JoinCondition &jc : *c)
        texts << jc.text;
    QCOMPARE(texts.join(QLatin1Char('|')), conditions);
    const auto placed = joinOrderFrom(first, *c, int(refs.size()));
    QCOMPARE(placed ? joined(*placed) : QString(), order);
}

void TestQueryText::listParts_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("plain") << u("a, b ,c") << QStringList{u("a"), u("b"), u("c")};
    QTest::newRow("call") << u("f(a, b), c") << QStringList{u("f(a, b)"), u("c")};
    QTest::newRow("bracketed comma") << u("[x, y], z") << QStringList{u("[x, y]"), u("z")};
    QTest::newRow("quoted comma") << u("'x, y' & a, z") << QStringList{u("'x, y' & a"), u("z")};
    QTest::newRow("one") << u("a.[b c] DESC") << QStringList{u("a.[b c] DESC")};
}

void TestQueryText::listParts()
{
    QFETCH(QString, list);
    QFETCH(QStringList, parts);
    QCOMPARE(topLevelParts(list), parts);
}

void TestQueryText::sortTerms_data()
{
    QTest::addColumn<QString>("term");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<int>("ref");
    QTest::addColumn<QString>("column");
    QTest::newRow("ascending") << u("b.name ASC") << u("b.name") << false << 1 << u("name");
    QTest::newRow("descending") << u("a.[betr-nr]  desc") << u("a.[betr-nr]") << true << 0 << u("betr-nr");
    QTest::newRow("no direction") << u("[t].x") << u("[t].x") << false << 2 << u("x");
    QTest::newRow("name ending in desc") << u("a.xdesc") << u("a.xdesc") << false << 0 << u("xdesc");
    QTest::newRow("unknown table") << u("q.x") << u("q.x") << false << -1 << QString();
    QTest::newRow("expression") << u("a.x & b.y") << u("a.x & b.y") << false << -1 << QString();
    QTest::newRow("unqualified") << u("x DESC") << u("x") << true << -1 << QString();
}

void TestQueryText::sortTerms()
{
    QFETCH(QString, term);
    QFETCH(QString, plain);
    QFETCH(bool, descending);
    QFETCH(int, ref);
    QFETCH(QString, column);
    bool desc = !descending;
    QCOMPARE(withoutDirection(term, &desc), plain);
    QCOMPARE(desc, descending);
    QString col;
    QCOMPARE(refOf(plain, {u("a"), u("b"), u("[T]")}, &col), ref);
    if (ref >= 0)
        QCOMPARE(col, column);
}

void TestQueryText::sortKeys_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("byKeys");
    QTest::newRow("german terms")
        << u("a.name COLLATE JETTEXT, b.nr DESC, c.x COLLATE JetText DESC")
        << u("jet_sortkey(a.name), b.nr DESC, jet_sortkey(c.x) DESC");
    QTest::newRow("other collation") << u("a.name COLLATE NOCASE") << u("a.name COLLATE NOCASE");
    QTest::newRow("call") << u("f(a, b) COLLATE JETTEXT ASC") << u("jet_sortkey(f(a, b)) ASC");
}

void TestQueryText::sortKeys()
{
    QFETCH(QString, order);
    QFETCH(QString, byKeys);
    QCOMPARE(bySortKeys(order), byKeys);
}

void TestQueryText::joinInSortOrder_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("ascii");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("from"); // "" when the join cannot be read in its order
    QTest::addColumn<QString>("where");
    const char *const join = "SELECT * FROM a INNER JOIN b ON a.id = b.aid WHERE a.x = 1 ORDER BY ";
    QTest::newRow("second table leads") << u(join) + u("b.name, a.nr DESC") << true << u("ix")
                                        << u("qb INDEXED BY \"ix\" CROSS JOIN qa") << u("(a.id = b.aid) AND (a.x = 1)");
    QTest::newRow("first table leads") << u(join) + u("a.nr") << true << u("nr")
                                       << u("qa INDEXED BY \"nr\" CROSS JOIN qb") << u("(a.id = b.aid) AND (a.x = 1)");
    QTest::newRow("beyond ascii") << u(join) + u("b.name") << false << u("ix") << QString() << QString();
    QTest::newRow("no index") << u(join) + u("b.name") << true << QString() << QString() << QString();
    QTest::newRow("expression") << u(join) + u("b.name & a.x") << true << u("ix") << QString() << QString();
    QTest::newRow("untied") << u("SELECT * FROM a CROSS JOIN b ORDER BY a.x") << true << u("ix") << QString()
                            << QString();
}

void TestQueryText::joinInSortOrder()
{
    QFETCH(QString, sql);
    QFETCH(bool, ascii);
    QFETCH(QString, index);
    QFETCH(QString, from);
    QFETCH(QString, where);
    const auto j = plainJoin(sql);
    QVERIFY(j);
    QStringList probes;
    const auto plan = inSortOrder(
        *j, {u("qa"), u("qb")},
        [&](const QString &probe) {
            probes << probe;
            return ascii;
        },
        [&](const QString &, const QString &) { return index; });
    QCOMPARE(plan.has_value(), !from.isEmpty());
    if (!plan)
        return;
    QCOMPARE(plan->first, from);
    QCOMPARE(plan->second, where);
    // Every sort term's values are asked about, in the table that holds them.
    QCOMPARE(probes.size(), 2 * topLevelParts(j->order).size());
}

void TestQueryText::walkPlan_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<bool>("caseBlind");
    QTest::addColumn<int>("lead");                // -1: no walk
    QTest::addColumn<QString>("leadOrder");
    QTest::addColumn<QString>("column");          // the column read piece by piece
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("inRowidOrder");
    QTest::newRow("second table, one column") << u("b.name COLLATE JETTEXT DESC") << true << 1
                                              << u("SELECT rb, jet_sortkey(b.name) FROM qb ORDER BY 2 DESC, 1")
                                              << u("b.name") << true << true;
    QTest::newRow("no case-blind index") << u("b.name COLLATE JETTEXT") << false << 1
                                         << u("SELECT rb, jet_sortkey(b.name) FROM qb ORDER BY 2, 1") << QString()
                                         << false << true;
    QTest::newRow("first table, two columns")
        << u("a.x COLLATE JETTEXT, a.y COLLATE JETTEXT DESC") << true << 0
        << u("SELECT ra, jet_sortkey(a.x), jet_sortkey(a.y) FROM qa ORDER BY 2, 3 DESC, 1") << QString() << false
        << false;
    QTest::newRow("two tables") << u("a.x COLLATE JETTEXT, b.y COLLATE JETTEXT") << true << -1 << QString()
                                << QString() << false << false;
    QTest::newRow("not german") << u("b.name") << true << -1 << QString() << QString() << false << false;
}

void TestQueryText::walkPlan()
{
    QFETCH(QString, order);
    QFETCH(bool, caseBlind);
    QFETCH(int, lead);
    const auto j = plainJoin(u("SELECT * FROM a INNER JOIN b ON a.id = b.aid ORDER BY ") + order);
    QVERIFY(j);
    const auto plan = sortedWalkPlan(*j, {u("qa"), u("qb")}, {u("ra"), u("rb")},
                                     [&](const QString &, const QString &) { return caseBlind; });
    QCOMPARE(plan.has_value(), lead >= 0);
    if (!plan)
        return;
    QFETCH(QString, leadOrder);
    QFETCH(QString, column);
    QFETCH(bool, descending);
    QFETCH(bool, inRowidOrder);
    QCOMPARE(plan->tables, 2);
    QCOMPARE(plan->lead, lead);
    QCOMPARE(plan->leadOrder, leadOrder);
    QCOMPARE(plan->column, column);
    if (!column.isEmpty())
        QCOMPARE(plan->descending, descending);
    QCOMPARE(plan->ofLeadRow.contains(lead ? u("rb = ?1") : u("ra = ?1")), true);
    QCOMPARE(!plan->inRowidOrder.isEmpty(), inRowidOrder);
    if (inRowidOrder) {
        QVERIFY(plan->inRowidOrder.endsWith(u("ORDER BY ra, rb")));
        QVERIFY(plan->inRowidOrderBack.endsWith(u("ORDER BY ra DESC, rb DESC")));
    }
}

void TestQueryText::literals_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<quint64>("nonAscii");
    QTest::newRow("two") << u("a = 'x' AND b LIKE 'Müller*'") << u("a = ? AND b LIKE ?")
                         << QStringList{u("x"), u("Müller*")} << quint64(2);
    QTest::newRow("doubled apostrophe") << u("a = 'O''Neil'") << u("a = ?") << QStringList{u("O'Neil")}
                                        << quint64(0);
    QTest::newRow("apostrophes in names") << u("[a'b] = 'ä' AND \"c'\" = ''") << u("[a'b] = ? AND \"c'\" = ?")
                                          << QStringList{u("ä"), QString()} << quint64(1);
    QTest::newRow("unclosed") << u("a = 'x") << u("a = 'x") << QStringList() << quint64(0);
    QTest::newRow("none") << u("a = 1") << u("a = 1") << QStringList() << quint64(0);
}

void TestQueryText::literals()
{
    QFETCH(QString, criteria);
    QFETCH(QString, shape);
    QFETCH(QStringList, values);
    QFETCH(quint64, nonAscii);
    std::vector<QString> got;
    QCOMPARE(literalsAsParameters(criteria, got), shape);
    QCOMPARE(QStringList(got.begin(), got.end()), values);
    QCOMPARE(nonAsciiValues(got), nonAscii);
}

void TestQueryText::lenWithText_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<bool>("withText");
    QTest::newRow("text") << u("Len(name) > '3'") << true;
    QTest::newRow("nested") << u("LEN ( Trim(name) ) = '0'") << true;
    QTest::newRow("number") << u("Len(name) > 3") << false;
    QTest::newRow("word only") << u("length = 'x'") << false;
    QTest::newRow("second") << u("Len(a) > 1 AND len(b) <> '2'") << true;
}

void TestQueryText::lenWithText()
{
    QFETCH(QString, criteria);
    QFETCH(bool, withText);
    QCOMPARE(lenComparedWithText(criteria), withText);
}

void TestQueryText::asciiPrefix_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QString>("column"); // "" when the search has no one stretch
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("plain") << u("t.name LIKE 'ab*'") << u("t.name") << u("ab") << u("ac");
    QTest::newRow("capitals") << u("  t.name like 'AB z*' ") << u("t.name") << u("ab z") << u("ab {");
    QTest::newRow("bracketed column") << u("t.[the name] LIKE 'x*'") << u("t.[the name]") << u("x") << u("y");
    QTest::newRow("i") << u("t.name LIKE 'ki*'") << QString() << QString() << QString();
    QTest::newRow("k") << u("t.name LIKE 'ak*'") << QString() << QString() << QString();
    QTest::newRow("umlaut") << u("t.name LIKE 'äb*'") << QString() << QString() << QString();
    QTest::newRow("wildcard") << u("t.name LIKE 'a?b*'") << QString() << QString() << QString();
    QTest::newRow("unqualified") << u("name LIKE 'ab*'") << QString() << QString() << QString();
    QTest::newRow("no star") << u("t.name LIKE 'ab'") << QString() << QString() << QString();
    QTest::newRow("more") << u("t.name LIKE 'ab*' AND t.x = 1") << QString() << QString() << QString();
}

void TestQueryText::asciiPrefix()
{
    QFETCH(QString, criteria);
    QFETCH(QString, column);
    const auto r = prefixRange(criteria);
    QCOMPARE(r.has_value(), !column.isEmpty());
    if (!r)
        return;
    QFETCH(QString, from);
    QFETCH(QString, to);
    QCOMPARE(r->column, column);
    QCOMPARE(r->from, from);
    QCOMPARE(r->to, to);
}

void TestQueryText::prefixWays_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QStringList>("froms"); // empty when the search is not served so
    QTest::addColumn<int>("ascii");
    QTest::newRow("ascii") << u("t.n LIKE 'Ab*'") << QStringList{u("ab")} << 0;
    QTest::newRow("umlaut") << u("t.n LIKE 'ä*'") << QStringList{u("ä"), u("Ä")} << -1;
    QTest::newRow("i") << u("t.n LIKE 'ri*'") << QStringList{u("ri"), u("rİ")} << 0;
    QTest::newRow("k and ü") << u("t.n LIKE 'kü*'") << QStringList{u("kü"), u("kÜ"), u("\u212aü"), u("\u212aÜ")}
                             << -1;
    QTest::newRow("too many ways") << u("t.n LIKE 'iiii*'") << QStringList() << -1;
    QTest::newRow("wildcard") << u("t.n LIKE 'ä#*'") << QStringList() << -1;
}

void TestQueryText::prefixWays()
{
    QFETCH(QString, criteria);
    QFETCH(QStringList, froms);
    QFETCH(int, ascii);
    const auto r = prefixRanges(criteria);
    QCOMPARE(r.has_value(), !froms.isEmpty());
    if (!r)
        return;
    QCOMPARE(r->column, u("t.n"));
    QStringList gotFroms;
    for (const auto &[from, to] : r->ranges) {
        gotFroms << from;
        // Each stretch holds every text that starts with its own.
        QCOMPARE(to.size(), from.size());
        QCOMPARE(to.chopped(1), from.chopped(1));
        QCOMPARE(to.back().unicode(), from.back().unicode() + 1);
    }
    QCOMPARE(gotFroms, froms);
    QCOMPARE(r->ascii, ascii);
}

void TestQueryText::narrowing_data()
{
    QTest::addColumn<QString>("wider");
    QTest::addColumn<QString>("narrower");
    QTest::addColumn<bool>("narrows");
    QTest::newRow("longer") << u("t.n LIKE 'ab*'") << u("t.n LIKE 'abc*'") << true;
    QTest::newRow("same") << u("t.n LIKE 'ab*'") << u("t.n LIKE 'ab*'") << true;
    QTest::newRow("shorter") << u("t.n LIKE 'abc*'") << u("t.n LIKE 'ab*'") << false;
    QTest::newRow("other column") << u("t.n LIKE 'ab*'") << u("t.m LIKE 'abc*'") << false;
    QTest::newRow("open bracket") << u("t.n LIKE 'a[b*'") << u("t.n LIKE 'a[bc]*'") << false;
    QTest::newRow("not a search") << u("t.n = 'ab'") << u("t.n LIKE 'abc*'") << false;
}

void TestQueryText::narrowing()
{
    QFETCH(QString, wider);
    QFETCH(QString, narrower);
    QFETCH(bool, narrows);
    QCOMPARE(engine::querytext::narrows(wider, narrower), narrows);
}

QTEST_APPLESS_MAIN(TestQueryText)
#include "tst_querytext.moc"
