// The dynaset behaviours the import, the export, the lists and the record
// window rely on, against real copies of the working and organisation
// templates.
#include "EngineFixture.h"

#include "engine/JetSql.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QLocale>

using namespace engine;
using namespace fixture;

namespace {

const QString kBusinessJoin = QStringLiteral(
    "SELECT betrieb.*, betrieb_adresse.* FROM betrieb INNER JOIN betrieb_adresse ON (betrieb.[betr-hist-nr] = "
    "betrieb_adresse.[betr-hist-nr]) AND (betrieb.[betr-nr] = betrieb_adresse.[betr-nr]) WHERE "
    "betrieb_adresse.[b-adr-art] "
    "= '1' ORDER BY betrieb.[betr-nr]");

void addBusiness(Recordset &rs, const QString &nr, const QString &hist,
                 const QVariant &gemKz = QStringLiteral("01001000"))
{
    addRow(rs, {{"betr-nr", nr}, {"betr-hist-nr", hist}, {"gem-kz", gemKz}});
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;
    std::shared_ptr<Database> m_db;

    // Five businesses 101..105 and a business-site address for each.
    void fillFive()
    {
        auto b = m_db->openRecordset(QStringLiteral("betrieb"));
        auto a = m_db->openRecordset(QStringLiteral("betrieb_adresse"));
        for (int i = 1; i <= 5; ++i) {
            const QString nr = QString::number(100 + i);
            addBusiness(*b, nr, QStringLiteral("0"));
            addRow(*a, {{"betr-nr", nr},
                        {"betr-hist-nr", QStringLiteral("0")},
                        {"b-adr-art", QStringLiteral("1")},
                        {"b-ort", QStringLiteral("Ort %1").arg(i)}});
        }
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
        m_path = copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb"), QStringLiteral("px_4x_b.mdb"));
        m_db = Database::open(m_path);
    }

    void cleanup()
    {
        m_db.reset();
        releaseFile(m_path);
    }

    void emptySet_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("table") << QStringLiteral("betrieb");
        QTest::newRow("query") << QStringLiteral("SELECT DISTINCTROW * FROM betrieb WHERE [betr-nr] = '1';");
        QTest::newRow("join") << kBusinessJoin;
    }
    void emptySet()
    {
        QFETCH(QString, source);
        auto rs = m_db->openRecordset(source);
        QCOMPARE(rs->recordCount(), 0L);
        QVERIFY(rs->eof());
        QVERIFY(rs->bof());
        QCOMPARE(rs->absolutePosition(), -1L);
        QCOMPARE(errorOf([&] { rs->moveFirst(); }), err::NoCurrentRecord);
        QCOMPARE(errorOf([&] { rs->moveNext(); }), err::NoCurrentRecord);
        QCOMPARE(errorOf([&] { rs->value(0); }), err::NoCurrentRecord);
        QCOMPARE(errorOf([&] { rs->deleteRow(); }), err::NoCurrentRecord);
        rs->findFirst(QStringLiteral("[gem-kz] = '1'"));
        QVERIFY(rs->noMatch());
    }

    void navigation_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("critKey");
        QTest::newRow("table") << QStringLiteral("betrieb") << QStringLiteral("betr-nr") << QStringLiteral("[betr-nr]");
        QTest::newRow("one-table query") << QStringLiteral("SELECT ALL * FROM betrieb ORDER BY [betr-nr];")
                                         << QStringLiteral("betr-nr") << QStringLiteral("betrieb.[betr-nr]");
        QTest::newRow("join") << kBusinessJoin << QStringLiteral("betrieb.betr-nr")
                              << QStringLiteral("betrieb.[betr-nr]");
    }
    void navigation()
    {
        QFETCH(QString, source);
        QFETCH(QString, key);
        QFETCH(QString, critKey);
        fillFive();
        auto rs = m_db->openRecordset(source);
        QCOMPARE(rs->name(), source);
        QCOMPARE(rs->recordCount() > 0, true);
        QCOMPARE(rs->absolutePosition(), 0L);
        QCOMPARE(rs->value(key).toString(), QStringLiteral("101"));

        rs->moveLast();
        QCOMPARE(rs->recordCount(), 5L);
        QCOMPARE(rs->absolutePosition(), 4L);
        QCOMPARE(rs->value(key).toString(), QStringLiteral("105"));
        rs->moveNext();
        QVERIFY(rs->eof());
        QVERIFY(!rs->bof());
        QCOMPARE(errorOf([&] { rs->moveNext(); }), err::NoCurrentRecord);
        QCOMPARE(errorOf([&] { rs->value(key); }), err::NoCurrentRecord);
        rs->movePrevious();
        QCOMPARE(rs->value(key).toString(), QStringLiteral("105"));

        rs->setAbsolutePosition(2);
        QCOMPARE(rs->value(key).toString(), QStringLiteral("103"));
        QCOMPARE(rs->absolutePosition(), 2L);
        rs->movePrevious();
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
        QTest::addColumn<QStringList>("left");
        const QStringList left{QStringLiteral("200/0"), QStringLiteral("300/0"), QStringLiteral("200/1")};
        QTest::newRow("all history rows") << QStringLiteral("betrieb") << QStringLiteral("[betr-nr] = '100'") << left;
        QTest::newRow("one history row") << QStringLiteral("betrieb")
                                         << QStringLiteral("[betr-nr] = '100' AND [betr-hist-nr] = '1'")
                                         << QStringList{QStringLiteral("100/0"), QStringLiteral("200/0"),
                                                        QStringLiteral("100/2"), QStringLiteral("300/0"),
                                                        QStringLiteral("200/1")};
        QTest::newRow("query set") << QStringLiteral("SELECT * FROM betrieb WHERE [gem-kz] = '01001000'")
                                   << QStringLiteral("[betr-nr] = '100'") << left;
        QTest::newRow("nothing matches") << QStringLiteral("betrieb") << QStringLiteral("[betr-nr] = '999'")
                                         << QStringList{QStringLiteral("100/0"), QStringLiteral("200/0"),
                                                        QStringLiteral("100/1"), QStringLiteral("100/2"),
                                                        QStringLiteral("300/0"), QStringLiteral("200/1")};
    }
    void deleteLoop()
    {
        QFETCH(QString, source);
        QFETCH(QString, criteria);
        QFETCH(QStringList, left);
        {
            auto b = m_db->openRecordset(QStringLiteral("betrieb"));
            for (const char *k : {"100/0", "200/0", "100/1", "100/2", "300/0", "200/1"}) {
                const QStringList p = QString::fromLatin1(k).split(QLatin1Char('/'));
                addBusiness(*b, p[0], p[1]);
            }
        }
        auto rs = m_db->openRecordset(source);
        // The import's loop: FindFirst, then Delete and FindNext until nothing is left.
        rs->findFirst(criteria);
        while (!rs->noMatch()) {
            rs->deleteRow();
            QCOMPARE(errorOf([&] { rs->value(0); }), err::RecordDeleted);
            rs->findNext(criteria);
        }
        QCOMPARE(rs->recordCount(), long(left.size()));

        auto check = m_db->openRecordset(QStringLiteral("betrieb"));
        QStringList rows;
        if (check->recordCount() > 0) {
            for (check->moveFirst(); !check->eof(); check->moveNext())
                rows << check->value(QStringLiteral("betr-nr")).toString() + QLatin1Char('/') +
                            check->value(QStringLiteral("betr-hist-nr")).toString();
        }
        QCOMPARE(rows, left);
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
        QCOMPARE(rs->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("2"));
        addBusiness(*rs, QStringLiteral("3"), QStringLiteral("0"));
        // After Update the current row is still the one before AddNew.
        QCOMPARE(rs->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("2"));
        rs->moveNext();
        QVERIFY(!rs->eof());
        QCOMPARE(rs->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("3"));
        rs->findFirst(QStringLiteral("[betr-nr] = '3'"));
        QVERIFY(!rs->noMatch());

        // A pending new row can be read before it is stored; unset fields are Null.
        rs->addNew();
        rs->setValue(QStringLiteral("BETR-NR"), QStringLiteral("4"));
        QCOMPARE(rs->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("4"));
        QVERIFY(isNull(rs->value(QStringLiteral("b-eintr-name"))));
        QCOMPARE(rs->field(QStringLiteral("betr-nr")).value().toString(), QStringLiteral("4"));
        rs->cancelUpdate();
        QCOMPARE(rs->recordCount(), 3L);
        QCOMPARE(errorOf([&] { rs->update(); }), err::UpdateWithoutAddNew);
        QCOMPARE(errorOf([&] { rs->setValue(QStringLiteral("betr-nr"), QStringLiteral("x")); }),
                 err::UpdateWithoutAddNew);

        // Edit writes through; the moved-away row keeps its old value if not stored.
        rs->findFirst(QStringLiteral("[betr-nr] = '1'"));
        rs->edit();
        rs->setValue(QStringLiteral("b-eintr-name"), QStringLiteral("Bäckerei Groß"));
        rs->update();
        rs->edit();
        rs->setValue(QStringLiteral("b-eintr-name"), QStringLiteral("verworfen"));
        rs->moveNext();
        rs->movePrevious();
        QCOMPARE(rs->value(QStringLiteral("b-eintr-name")).toString(), QStringLiteral("Bäckerei Groß"));
    }

    void defaultsOfNewRows()
    {
        const QString org = copyTemplate(m_dir, QStringLiteral("PX_Org.mdb"), QStringLiteral("PX_Org.mdb"));
        auto db = Database::open(org, true, false, QStringLiteral("; pwd=wexor"));
        auto rs = db->openRecordset(QStringLiteral("aktuelleGemeinde"));
        rs->addNew();
        QCOMPARE(rs->value(QStringLiteral("markiert")), QVariant(false));
        rs->setValue(QStringLiteral("gem-kz"), QStringLiteral("01001000"));
        rs->update();
        rs->moveFirst();
        QCOMPARE(rs->value(QStringLiteral("markiert")), QVariant(false));
        db->close();
        releaseFile(org);
    }

    void closing()
    {
        auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
        rs->close();
        QVERIFY(!rs->isOpen());
        // The database handling's failure cases count on a second Close failing.
        QCOMPARE(errorOf([&] { rs->close(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { rs->moveFirst(); }), err::ObjectClosed);
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

    void emptyTextIsNotNull_data()
    {
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QStringList>("sortNrs");
        QTest::newRow("= ''") << QStringLiteral("[pers-nr-jp] = ''") << QStringList{QStringLiteral("1")};
        QTest::newRow("Is Null") << QStringLiteral("[pers-nr-jp] Is Null") << QStringList{QStringLiteral("2")};
        QTest::newRow("Is NOT Null") << QStringLiteral("[pers-nr-jp] Is NOT Null")
                                     << QStringList{QStringLiteral("1"), QStringLiteral("3")};
        QTest::newRow("<> ''") << QStringLiteral("[pers-nr-jp] <> ''") << QStringList{QStringLiteral("3")};
        QTest::newRow("len = 0 or Null") << QStringLiteral("len([pers-nr-jp]) = 0 OR len([pers-nr-jp]) is Null")
                                         << QStringList{QStringLiteral("1"), QStringLiteral("2")};
    }
    void emptyTextIsNotNull()
    {
        QFETCH(QString, criteria);
        QFETCH(QStringList, sortNrs);
        auto rs = m_db->openRecordset(QStringLiteral("beziehung_betrieb_person"));
        addRow(*rs, {{"bez-sort-nr", QStringLiteral("1")}, {"pers-nr-jp", QStringLiteral("")}});
        addRow(*rs, {{"bez-sort-nr", QStringLiteral("2")}, {"pers-nr-jp", QVariant()}});
        addRow(*rs, {{"bez-sort-nr", QStringLiteral("3")}, {"pers-nr-jp", QStringLiteral("8")}});
        QCOMPARE(found(*rs, criteria, QStringLiteral("bez-sort-nr")), sortNrs);

        rs->findFirst(QStringLiteral("[bez-sort-nr] = '1'"));
        const QVariant empty = rs->value(QStringLiteral("pers-nr-jp"));
        QVERIFY(!isNull(empty));
        QCOMPARE(empty.toString(), QString());
        rs->findFirst(QStringLiteral("[bez-sort-nr] = '2'"));
        QVERIFY(isNull(rs->value(QStringLiteral("pers-nr-jp"))));
    }

    void booleans()
    {
        const QString org = copyTemplate(m_dir, QStringLiteral("PX_Org.mdb"), QStringLiteral("PX_Org.mdb"));
        auto db = Database::open(org, true, false, QStringLiteral("; pwd=wexor"));
        auto rs = db->openRecordset(QStringLiteral("aktuelleGemeinde"));
        addRow(*rs, {{"gem-kz", QStringLiteral("1")}, {"markiert", true}});
        addRow(*rs, {{"gem-kz", QStringLiteral("2")}, {"markiert", false}});
        addRow(*rs, {{"gem-kz", QStringLiteral("3")}, {"markiert", -1}});
        QCOMPARE(rs->field(QStringLiteral("markiert")).type(), int(ftype::Boolean));
        rs->moveFirst();
        QCOMPARE(rs->value(QStringLiteral("markiert")).typeId(), int(QMetaType::Bool));
        QCOMPARE(rs->value(QStringLiteral("markiert")).toBool(), true);
        // Stored as -1/0, so criteria with either spelling find the same rows.
        QCOMPARE(found(*rs, QStringLiteral("[markiert] = -1"), QStringLiteral("gem-kz")),
                 (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
        QCOMPARE(found(*rs, QStringLiteral("[markiert] = True"), QStringLiteral("gem-kz")),
                 (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
        QCOMPARE(found(*rs, QStringLiteral("[markiert] = 0"), QStringLiteral("gem-kz")),
                 QStringList{QStringLiteral("2")});
        auto q = db->openRecordset(
            QStringLiteral("SELECT [gem-kz], [markiert] FROM aktuelleGemeinde WHERE [markiert] = False"));
        QCOMPARE(q->recordCount(), 1L);
        QCOMPARE(q->value(QStringLiteral("markiert")), QVariant(false));

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
        QTest::newRow("empty text") << QString() << 0;
    }
    void fieldSizes()
    {
        QFETCH(QString, value);
        QFETCH(int, error);
        auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(rs->field(QStringLiteral("betr-nr")).size(), 12);
        QCOMPARE(rs->field(QStringLiteral("betr-nr")).type(), int(ftype::Text));
        QCOMPARE(rs->field(QStringLiteral("b-bemerkung")).type(), int(ftype::Memo));
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
        QCOMPARE(rs->value(QStringLiteral("betr-nr")).toString(), value);
        QCOMPARE(rs->value(QStringLiteral("gem-kz")).toString(), QStringLiteral("01001000"));
    }

    void fieldsByNameAndPosition()
    {
        fillFive();
        auto rs = m_db->openRecordset(QStringLiteral("person"));
        QCOMPARE(rs->field(0).name(), QStringLiteral("pers-nr"));
        QCOMPARE(rs->fieldIndex(QStringLiteral("[Fam-Name]")), rs->fieldIndex(QStringLiteral("fam-name")));
        QCOMPARE(errorOf([&] { rs->field(QStringLiteral("gibt-es-nicht")); }), err::ItemNotFound);
        QCOMPARE(errorOf([&] { rs->field(rs->fieldCount()); }), err::ItemNotFound);
        QCOMPARE(errorOf([&] { rs->value(-1); }), err::ItemNotFound);
    }

    void joinSets()
    {
        fillFive();
        auto rs = m_db->openRecordset(kBusinessJoin);
        QCOMPARE(rs->recordCount(), 5L);
        // Columns present in both tables answer to their qualified name only.
        QCOMPARE(rs->value(QStringLiteral("betrieb.betr-nr")).toString(), QStringLiteral("101"));
        QCOMPARE(rs->value(QStringLiteral("betrieb_adresse.betr-nr")).toString(), QStringLiteral("101"));
        QCOMPARE(rs->value(QStringLiteral("Betrieb.[Betr-Nr]")).toString(), QStringLiteral("101"));
        QCOMPARE(errorOf([&] { rs->value(QStringLiteral("betr-nr")); }), err::ItemNotFound);
        QVERIFY(rs->fieldIndex(QStringLiteral("betrieb.betr-nr")) >= 0);
        bool qualified = false;
        for (int i = 0; i < rs->fieldCount(); ++i)
            qualified |= rs->field(i).name() == QLatin1String("betrieb.betr-nr");
        QVERIFY(qualified);
        // Unique columns answer to their plain name, also in criteria.
        QCOMPARE(rs->value(QStringLiteral("b-ort")).toString(), QStringLiteral("Ort 1"));
        QCOMPARE(rs->field(QStringLiteral("b-ort")).size(), 150);
        rs->findFirst(QStringLiteral("betrieb.[betr-nr] = '103'"));
        QVERIFY(!rs->noMatch());
        QCOMPARE(rs->value(QStringLiteral("b-ort")).toString(), QStringLiteral("Ort 3"));
        rs->findFirst(QStringLiteral("[b-ort] = 'ORT 4' AND betrieb_adresse.[betr-hist-nr] = '0'"));
        QCOMPARE(rs->value(QStringLiteral("betrieb.betr-nr")).toString(), QStringLiteral("104"));
        QCOMPARE(errorOf([&] { rs->findFirst(QStringLiteral("[gibt-es-nicht] = '1'")); }), err::UnknownFieldName);
        // A join is read-only: nothing is written anywhere.
        QCOMPARE(errorOf([&] { rs->edit(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { rs->addNew(); }), err::ReadOnly);
        QCOMPARE(errorOf([&] { rs->deleteRow(); }), err::ReadOnly);
        QCOMPARE(m_db->openRecordset(QStringLiteral("betrieb"))->recordCount(), 5L);
    }

    void oneTableQueriesWriteThrough_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("updatable");
        QTest::newRow("export selection")
            << QStringLiteral("SELECT distinctrow * FROM betrieb ORDER BY betrieb.[betr-nr], betrieb.[betr-hist-nr];")
            << true;
        QTest::newRow("export key selection")
            << QStringLiteral("SELECT distinctrow * FROM betrieb WHERE betrieb.schluesselfeld = 'K, 1'ORDER BY "
                              "betrieb.[betr-nr], betrieb.[betr-hist-nr];")
            << true;
        QTest::newRow("record window") << QStringLiteral("SELECT DISTINCTROW * FROM betrieb WHERE betrieb.[gem-kz] = "
                                                         "'01001000' AND betrieb.[betr-nr] = '102' ;")
                                       << true;
        QTest::newRow("SELECT ALL") << QStringLiteral("SELECT ALL * From betrieb ORDER BY [betr-nr];") << true;
        QTest::newRow("some columns") << QStringLiteral("SELECT [betr-nr], [bearb-status] FROM betrieb") << true;
        QTest::newRow("GROUP BY") << QStringLiteral("SELECT betrieb.schluesselfeld From betrieb GROUP BY "
                                                    "betrieb.schluesselfeld HAVING (betrieb.schluesselfeld<>'')")
                                  << false;
        QTest::newRow("DISTINCT") << QStringLiteral("SELECT DISTINCT [betr-nr], [bearb-status] FROM betrieb") << false;
        QTest::newRow("two tables") << QStringLiteral("SELECT betrieb.[betr-nr], betrieb.[bearb-status] FROM betrieb, "
                                                      "betrieb_adresse WHERE betrieb.[betr-nr] = "
                                                      "betrieb_adresse.[betr-nr]")
                                    << false;
    }
    void oneTableQueriesWriteThrough()
    {
        QFETCH(QString, sql);
        QFETCH(bool, updatable);
        fillFive();
        {
            auto b = m_db->openRecordset(QStringLiteral("betrieb"));
            b->findFirst(QStringLiteral("[betr-nr] = '102'"));
            b->edit();
            b->setValue(QStringLiteral("schluesselfeld"), QStringLiteral("K, 1"));
            b->update();
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
            rs->edit();
            rs->setValue(QStringLiteral("bearb-status"), QStringLiteral("A"));
            rs->update();
            QCOMPARE(rs->value(QStringLiteral("bearb-status")).toString(), QStringLiteral("A"));
            rs->movePrevious();
        }
        const long marked = rs->recordCount();
        auto check = Database::open(m_path)->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(found(*check, QStringLiteral("[bearb-status] = 'A'"), QStringLiteral("betr-nr")).size(),
                 qsizetype(marked));

        // A delete goes to the table too; the set walks on past the gap.
        rs->moveFirst();
        const QString gone = rs->value(QStringLiteral("betr-nr")).toString();
        rs->deleteRow();
        if (marked > 1) {
            rs->moveNext();
            QVERIFY(!rs->eof());
            QVERIFY(rs->value(QStringLiteral("betr-nr")).toString() != gone);
        }
        QCOMPARE(rs->recordCount(), marked - 1);
        check->findFirst(QStringLiteral("[betr-nr] = ") + sqlQuote(gone));
        QVERIFY(check->noMatch());
    }

    void distinctRowKeepsRepeatedRows()
    {
        // A transfer file may carry the same link twice; Jet lists both.
        addRow(*m_db->openRecordset(QStringLiteral("person")), {{"pers-nr", QStringLiteral("7")}});
        auto links = m_db->openRecordset(QStringLiteral("beziehung_betrieb_person"));
        for (int i = 0; i < 2; ++i)
            addRow(*links, {{"bez-betr-nr", QStringLiteral("1")},
                            {"bez-betr-hist-nr", QStringLiteral("0")},
                            {"bez-pers-nr", QStringLiteral("7")},
                            {"pers-nr-jp", QStringLiteral("")}});
        auto rs = m_db->openRecordset(QStringLiteral(
            "SELECT DISTINCTROW * FROM person INNER JOIN beziehung_betrieb_person ON person.[pers-nr] = "
            "beziehung_betrieb_person.[bez-pers-nr]WHERE beziehung_betrieb_person.[bez-betr-nr]= '1' ;"));
        QCOMPARE(rs->recordCount(), 2L);
    }

    void sharedConnection()
    {
        fillFive();
        auto second = Database::open(m_path);
        auto reader = m_db->openRecordset(QStringLiteral("betrieb"));
        auto query = m_db->openRecordset(QStringLiteral("SELECT * FROM betrieb ORDER BY [betr-nr]"));
        reader->moveFirst();
        reader->moveNext();
        QCOMPARE(reader->recordCount(), 5L);
        query->setAbsolutePosition(2);
        // Writing through another handle while both sets stand mid-way never waits or fails.
        auto writer = second->openRecordset(QStringLiteral("betrieb"));
        addBusiness(*writer, QStringLiteral("106"), QStringLiteral("0"));
        writer->findFirst(QStringLiteral("[betr-nr] = '103'"));
        writer->edit();
        writer->setValue(QStringLiteral("b-eintr-name"), QStringLiteral("geändert"));
        writer->update();
        second->execute(QStringLiteral("UPDATE betrieb SET [meld-art] = '1'"));
        // The first handle sees it at once.
        reader->moveNext();
        QCOMPARE(reader->value(QStringLiteral("b-eintr-name")).toString(), QStringLiteral("geändert"));
        QCOMPARE(reader->value(QStringLiteral("meld-art")).toString(), QStringLiteral("1"));
        reader->moveLast();
        QCOMPARE(reader->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("106"));
        // MoveLast completes the count, also for rows another handle added.
        QCOMPARE(reader->recordCount(), 6L);
        QCOMPARE(reader->absolutePosition(), 5L);
        QCOMPARE(query->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("103"));
        QCOMPARE(Database::open(m_path)->openRecordset(QStringLiteral("betrieb"))->recordCount(), 6L);
    }

    void passwords_data()
    {
        QTest::addColumn<QString>("connect");
        QTest::addColumn<bool>("heldOpen");
        QTest::addColumn<int>("error");
        QTest::newRow("right password") << QStringLiteral("; pwd=wexor") << false << 0;
        QTest::newRow("no password") << QString() << false << int(err::InvalidPassword);
        QTest::newRow("wrong password") << QStringLiteral("; pwd=Wexor") << false << int(err::InvalidPassword);
        QTest::newRow("empty password") << QStringLiteral("; pwd=") << false << int(err::InvalidPassword);
        QTest::newRow("by path while held open") << QString() << true << 0;
        QTest::newRow("again with password while held open") << QStringLiteral("; pwd=wexor") << true << 0;
        QTest::newRow("wrong password while held open")
            << QStringLiteral("; pwd=xyz") << true << int(err::InvalidPassword);
    }
    void passwords()
    {
        QFETCH(QString, connect);
        QFETCH(bool, heldOpen);
        QFETCH(int, error);
        const QString org = copyTemplate(m_dir, QStringLiteral("PX_Org.mdb"), QStringLiteral("PX_Org.mdb"));
        std::shared_ptr<Database> holder;
        if (heldOpen)
            holder = Database::open(org, true, false, QStringLiteral("; pwd=wexor"));
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

        QCOMPARE(errorOf([&] { m_db->openRecordset(QStringLiteral("SELECT * FORM betrieb")); }), err::SyntaxError);
        QCOMPARE(errorOf([&] { m_db->openRecordset(QStringLiteral("SELECT * FROM betrieb WHERE ([betr-nr] = '1'")); }),
                 err::SyntaxError);
        QCOMPARE(errorOf([&] { m_db->openRecordset(QStringLiteral("gibtesnicht")); }), err::TableNotFound);
        QCOMPARE(errorOf([&] { m_db->openRecordset(QStringLiteral("SELECT * FROM gibtesnicht")); }),
                 err::TableNotFound);
        auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(errorOf([&] { rs->findFirst(QStringLiteral("[betr-nr] = '1")); }), err::SyntaxError);
        // Every number the engine raises has a text of its own in the log's table.
        for (int n : {err::SubscriptOutOfRange, err::FieldTooSmall, err::NoCurrentRecord, err::FileNotFound,
                      err::PathNotFound, err::InvalidPassword, err::DuplicateKey, err::SyntaxError, err::ItemNotFound,
                      err::ObjectClosed, err::NullNotAllowed, err::FileInUse, err::DatabaseExists})
            QVERIFY2(standardErrorText(n) != standardErrorText(1), qPrintable(QString::number(n)));
    }

    void tableNamesIgnoreCase()
    {
        fillFive();
        auto rs = m_db->openRecordset(QStringLiteral("BETRIEB"));
        QCOMPARE(rs->name(), QStringLiteral("BETRIEB"));
        QCOMPARE(rs->recordCount(), 5L);
        QCOMPARE(m_db->openRecordset(QStringLiteral("[betrieb_adresse]"))->recordCount(), 5L);
    }

    void compaction()
    {
        fillFive();
        {
            auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
            rs->findFirst(QStringLiteral("[betr-nr] = '103'"));
            rs->edit();
            rs->setValue(QStringLiteral("b-eintr-name"), QStringLiteral("Größe & Söhne"));
            rs->update();
            rs->findFirst(QStringLiteral("[betr-nr] = '105'"));
            rs->deleteRow();
        }
        QVERIFY(QFileInfo::exists(m_path + QStringLiteral("-wal")));
        m_db->close();
        const QString target = m_dir.filePath(QStringLiteral("DATENBANK.NEU"));
        QFile::remove(target);
        compactDatabase(m_path, target);
        QVERIFY(!QFileInfo::exists(target + QStringLiteral("-wal")));
        QVERIFY(!QFileInfo::exists(target + QStringLiteral("-shm")));
        QVERIFY(!QFileInfo::exists(m_path + QStringLiteral("-wal")));

        auto copy = Database::open(target);
        auto rs = copy->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(rs->recordCount(), 4L);
        rs->findFirst(QStringLiteral("[betr-nr] = '103'"));
        QCOMPARE(rs->value(QStringLiteral("b-eintr-name")).toString(), QStringLiteral("Größe & Söhne"));
        QCOMPARE(copy->openRecordset(QStringLiteral("betrieb_adresse"))->recordCount(), 5L);
        copy->close();
        releaseFile(target);

        // A target that exists is never overwritten.
        QCOMPARE(errorOf([&] { compactDatabase(m_path, target); }), err::DatabaseExists);
        QVERIFY(Database::open(target)->openRecordset(QStringLiteral("betrieb"))->recordCount() == 4);
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
        const QString org = copyTemplate(m_dir, QStringLiteral("PX_Org.mdb"), QStringLiteral("PX_Org.mdb"));
        const QString target = m_dir.filePath(QStringLiteral("org.neu"));
        QFile::remove(target);
        QCOMPARE(errorOf([&] { compactDatabase(org, target); }), err::InvalidPassword);
        QVERIFY(!QFileInfo::exists(target));
        compactDatabase(org, target, QStringLiteral("wexor"));
        // The copy keeps its protection and its rows.
        QCOMPARE(errorOf([&] { Database::open(target); }), err::InvalidPassword);
        auto db = Database::open(target, true, false, QStringLiteral("; pwd=wexor"));
        QVERIFY(db->openRecordset(QStringLiteral("Rechtsformen"))->recordCount() > 0);
        db->close();
        releaseFile(target);
    }

    void compactionWhileFileIsBusy()
    {
        fillFive();
        m_db->close();
        releaseFile(m_path);
        // Another program holds the file locked for writing.
        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_path).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM betrieb;", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
        const QString target = m_dir.filePath(QStringLiteral("DATENBANK.NEU"));
        QFile::remove(target);
        QCOMPARE(errorOf([&] { compactDatabase(m_path, target); }), err::FileInUse);
        QVERIFY(!QFileInfo::exists(target));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        // Nothing was lost; once the file is free the compaction succeeds.
        QCOMPARE(Database::open(m_path)->openRecordset(QStringLiteral("betrieb"))->recordCount(), 5L);
        compactDatabase(m_path, target);
        QVERIFY(QFileInfo::exists(target));
    }

    void compactionClosesOwnConnection()
    {
        fillFive();
        auto rs = m_db->openRecordset(QStringLiteral("betrieb"));
        const QString target = m_dir.filePath(QStringLiteral("DATENBANK.NEU"));
        QFile::remove(target);
        compactDatabase(m_path, target);
        // The handles left open are cut off rather than left on a stale file.
        QCOMPARE(errorOf([&] { rs->moveNext(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { m_db->openRecordset(QStringLiteral("betrieb")); }), err::ObjectClosed);
        QCOMPARE(Database::open(target)->openRecordset(QStringLiteral("betrieb"))->recordCount(), 5L);
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
        QVERIFY(QFile::remove(m_path));
        QVERIFY(QFile::copy(templatePath(QStringLiteral("px_4x_m.mdb")), m_path));
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        auto fresh = Database::open(m_path);
        QCOMPARE(fresh->openRecordset(QStringLiteral("betrieb"))->recordCount(), 0L);
        addBusiness(*fresh->openRecordset(QStringLiteral("betrieb")), QStringLiteral("1"), QStringLiteral("0"));
        fresh->close();
        releaseFile(m_path);

        // A copy taken after the release carries every committed row.
        const QString copy = m_dir.filePath(QStringLiteral("kopie.mdb"));
        QFile::remove(copy);
        QVERIFY(QFile::copy(m_path, copy));
        QCOMPARE(Database::open(copy)->openRecordset(QStringLiteral("betrieb"))->recordCount(), 1L);
        releaseFile(copy);

        // Even without the release, a file replaced behind the program's back is not mixed up.
        auto held = Database::open(m_path);
        QVERIFY(QFile::remove(m_path));
        QVERIFY(QFile::copy(templatePath(QStringLiteral("px_4x_b.mdb")), m_path));
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(Database::open(m_path)->openRecordset(QStringLiteral("betrieb"))->recordCount(), 0L);
    }

    void readRowsForGrids()
    {
        fillFive();
        auto rs = m_db->openRecordset(kBusinessJoin);
        rs->setAbsolutePosition(1);
        const auto rows = rs->readRows(2, 10);
        QCOMPARE(rows.size(), size_t(3));
        const int nr = rs->fieldIndex(QStringLiteral("betrieb.betr-nr"));
        QCOMPARE(rows[0][size_t(nr)].toString(), QStringLiteral("103"));
        QCOMPARE(rows[2][size_t(nr)].toString(), QStringLiteral("105"));
        // Reading for the grid does not move the current row.
        QCOMPARE(rs->absolutePosition(), 1L);
        QVERIFY(rs->readRows(7, 3).empty());
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
