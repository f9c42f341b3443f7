// The three template databases as the build leaves them beside the program.
// Schema facts are read with SQLite itself, the way any other tool would see
// the files; rows are read through the engine.
#include "EngineFixture.h"

#include "engine/SqlFunctions.h"

#include <sqlite3.h>

#include <QLocale>
#include <QSet>

using namespace engine;
using namespace fixture;

namespace {

struct Column
{
    QString table, name, declType;
    int position;
};

// SQLite's own affinity rules, in their order.
QString affinity(const QString &declType)
{
    const QString d = declType.toUpper();
    if (d.contains(QLatin1String("INT")))
        return QStringLiteral("INTEGER");
    if (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("CLOB")) || d.contains(QLatin1String("TEXT")))
        return QStringLiteral("TEXT");
    if (d.isEmpty() || d.contains(QLatin1String("BLOB")))
        return QStringLiteral("BLOB");
    if (d.contains(QLatin1String("REAL")) || d.contains(QLatin1String("FLOA")) || d.contains(QLatin1String("DOUB")))
        return QStringLiteral("REAL");
    return QStringLiteral("NUMERIC");
}

class RawFile
{
public:
    explicit RawFile(const QString &path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READONLY, nullptr);
        registerSqlFunctions(m_db);
    }
    ~RawFile() { sqlite3_close(m_db); }

    QList<QStringList> rows(const QString &sql) const
    {
        QList<QStringList> out;
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            qFatal("%s: %s", qPrintable(sql), sqlite3_errmsg(m_db));
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
            out << row;
        }
        sqlite3_finalize(st);
        return out;
    }

    QList<Column> columns() const
    {
        QList<Column> out;
        for (const QStringList &t : rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name "
                                                        "NOT LIKE 'sqlite%' AND name <> 'MSysPassword'")))
            for (const QStringList &c :
                 rows(QStringLiteral("SELECT cid, name, type FROM pragma_table_info('%1')").arg(t[0])))
                out << Column{t[0], c[1], c[2], c[0].toInt()};
        return out;
    }

    // The first columns of every index of a table.
    QSet<QString> leadingIndexedColumns(const QString &table) const
    {
        QSet<QString> out;
        for (const QStringList &ix : rows(QStringLiteral("SELECT name FROM pragma_index_list('%1')").arg(table)))
            for (const QStringList &c :
                 rows(QStringLiteral("SELECT seqno, name FROM pragma_index_info('%1')").arg(ix[0])))
                if (c[0] == QLatin1String("0"))
                    out << c[1];
        return out;
    }

private:
    sqlite3 *m_db = nullptr;
};

const QStringList kWorkTables{QStringLiteral("betrieb"),
                              QStringLiteral("betrieb_adresse"),
                              QStringLiteral("betrieb_taetigkeit"),
                              QStringLiteral("betrieb_erlaubnis"),
                              QStringLiteral("betrieb_handwerkskarte"),
                              QStringLiteral("betrieb_meldgrundsonst"),
                              QStringLiteral("person"),
                              QStringLiteral("person_staatsang"),
                              QStringLiteral("person_erlaubnis"),
                              QStringLiteral("person_handwerkskarte"),
                              QStringLiteral("beziehung_betrieb_person")};

} // namespace

class TestTemplates : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        QVERIFY(m_dir.isValid());
    }

    void organisationNeedsPassword()
    {
        const QString org = copyTemplate(m_dir, QStringLiteral("PX_Org.mdb"), QStringLiteral("PX_Org.mdb"));
        QCOMPARE(errorOf([&] { Database::open(org); }), err::InvalidPassword);
        QCOMPARE(errorOf([&] { Database::open(org, true, false, QStringLiteral("; pwd=falsch")); }),
                 err::InvalidPassword);
        auto db = Database::open(org, true, false, QStringLiteral("; pwd=wexor"));
        for (const char *t : {"Optionen", "aktuelleGemeinde", "gemeindekennzahlen", "Rechtsformen"})
            QVERIFY2(db->openRecordset(QString::fromLatin1(t))->isOpen(), t);
        db->close();
        releaseFile(org);
    }

    void columnTypes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("PX_Org.mdb") << QStringLiteral("PX_Org.mdb");
        QTest::newRow("px_4x_b.mdb") << QStringLiteral("px_4x_b.mdb");
        QTest::newRow("px_4x_m.mdb") << QStringLiteral("px_4x_m.mdb");
    }
    void columnTypes()
    {
        QFETCH(QString, file);
        const QSet<QString> booleans{QStringLiteral("markiert"), QStringLiteral("filter_aktiv"),
                                     QStringLiteral("Dateiendung_registriert")};
        RawFile raw(templatePath(file));
        const QList<Column> cols = raw.columns();
        QVERIFY(!cols.isEmpty());
        for (const Column &c : cols) {
            const QString where = c.table + QLatin1Char('.') + c.name + QLatin1Char(' ') + c.declType;
            if (booleans.contains(c.name)) {
                QVERIFY2(c.declType.toUpper() == QLatin1String("BOOLEAN"), qPrintable(where));
                continue;
            }
            // Keys and codes must keep their leading zeros: text affinity only.
            QVERIFY2(affinity(c.declType) == QLatin1String("TEXT"), qPrintable(where));
        }
    }

    void workingLayout_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("px_4x_b.mdb") << QStringLiteral("px_4x_b.mdb");
        QTest::newRow("px_4x_m.mdb") << QStringLiteral("px_4x_m.mdb");
    }
    void workingLayout()
    {
        QFETCH(QString, file);
        const QString path = copyTemplate(m_dir, file, file);
        auto db = Database::open(path);
        for (const QString &t : kWorkTables) {
            auto rs = db->openRecordset(t);
            QVERIFY2(rs->recordCount() == 0, qPrintable(t));
        }
        // The record window reads the person key from column 0 of a person join.
        QCOMPARE(db->openRecordset(QStringLiteral("person"))->field(0).name(), QStringLiteral("pers-nr"));

        const QStringList dates{
            QStringLiteral("b-reg-datum"),      QStringLiteral("meld-datum"),    QStringLiteral("anzeige-datum"),
            QStringLiteral("betr-beginn"),      QStringLiteral("betr-Ende"),     QStringLiteral("b-Erl-datum"),
            QStringLiteral("b-hwk-datum"),      QStringLiteral("tk-beginn"),     QStringLiteral("tk-Ende"),
            QStringLiteral("p-eintr-datum"),    QStringLiteral("p-austr-datum"), QStringLiteral("p-reg-datum"),
            QStringLiteral("geb-datum"),        QStringLiteral("aufenth-datum"), QStringLiteral("fzeug-datum"),
            QStringLiteral("p-gzr-ausk-datum"), QStringLiteral("p-Erl-datum"),   QStringLiteral("p-hwk-datum")};
        QSet<QString> seen;
        for (const QString &t : kWorkTables) {
            auto rs = db->openRecordset(t);
            for (int i = 0; i < rs->fieldCount(); ++i) {
                const Field f = rs->field(i);
                for (const QString &d : dates) {
                    if (f.name().compare(d, Qt::CaseInsensitive) != 0)
                        continue;
                    seen << d;
                    QVERIFY2(f.type() == ftype::Text && f.size() >= 10, qPrintable(t + QLatin1Char('.') + f.name()));
                }
            }
        }
        QCOMPARE(seen.size(), dates.size());

        // The import's cut to the field size counts characters; the search fields' limits fit.
        auto b = db->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(b->field(QStringLiteral("betr-nr")).size(), 12);
        QCOMPARE(b->field(QStringLiteral("betr-hist-nr")).size(), 4);
        QCOMPARE(b->field(QStringLiteral("gem-kz")).size(), 8);
        QCOMPARE(b->field(QStringLiteral("b-eintr-name")).size(), 150);
        QCOMPARE(db->openRecordset(QStringLiteral("person"))->field(QStringLiteral("fam-name")).size(), 30);
        QCOMPARE(b->field(QStringLiteral("b-bemerkung")).type(), int(ftype::Memo));
        b->addNew();
        b->setValue(QStringLiteral("betr-nr"), QStringLiteral("000000000001"));
        b->setValue(QStringLiteral("gem-kz"), QStringLiteral("01001000"));
        b->setValue(QStringLiteral("b-bemerkung"), QStringLiteral("0815"));
        b->update();
        b->moveFirst();
        QCOMPARE(b->value(QStringLiteral("betr-nr")).toString(), QStringLiteral("000000000001"));
        QCOMPARE(b->value(QStringLiteral("b-bemerkung")).toString(), QStringLiteral("0815"));
        db->close();
        releaseFile(path);
    }

    void sharedColumnNames()
    {
        // The lists name [gem-kz], [meld-art], [betr-ende] unqualified in a join with
        // betrieb_adresse, and the person joins bind their columns by plain name.
        RawFile raw(templatePath(QStringLiteral("px_4x_b.mdb")));
        QHash<QString, QStringList> tablesOf;
        for (const Column &c : raw.columns())
            tablesOf[c.name.toLower()] << c.table;
        for (auto it = tablesOf.cbegin(); it != tablesOf.cend(); ++it) {
            const QStringList &t = it.value();
            if (t.contains(QLatin1String("betrieb")) && t.contains(QLatin1String("betrieb_adresse")))
                QVERIFY2(it.key() == QLatin1String("betr-nr") || it.key() == QLatin1String("betr-hist-nr"),
                         qPrintable(it.key()));
            QVERIFY2(!(t.contains(QLatin1String("person")) && t.contains(QLatin1String("beziehung_betrieb_person"))),
                     qPrintable(it.key()));
        }
    }

    void searchedColumnsAreIndexed_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("betrieb") << QStringLiteral("betrieb")
                                 << QStringList{QStringLiteral("betr-nr"), QStringLiteral("betr-hist-nr"),
                                                QStringLiteral("gem-kz"), QStringLiteral("schluesselfeld")};
        QTest::newRow("betrieb_adresse") << QStringLiteral("betrieb_adresse") << QStringList{QStringLiteral("betr-nr")};
        QTest::newRow("person") << QStringLiteral("person") << QStringList{QStringLiteral("pers-nr")};
        QTest::newRow("person_staatsang")
            << QStringLiteral("person_staatsang") << QStringList{QStringLiteral("pers-nr")};
        QTest::newRow("person_erlaubnis")
            << QStringLiteral("person_erlaubnis") << QStringList{QStringLiteral("pers-nr"), QStringLiteral("betr-nr")};
        QTest::newRow("person_handwerkskarte") << QStringLiteral("person_handwerkskarte")
                                               << QStringList{QStringLiteral("pers-nr"), QStringLiteral("betr-nr")};
        QTest::newRow("beziehung_betrieb_person")
            << QStringLiteral("beziehung_betrieb_person")
            << QStringList{QStringLiteral("bez-betr-nr"), QStringLiteral("bez-pers-nr"), QStringLiteral("pers-nr-jp")};
        for (const char *t :
             {"betrieb_taetigkeit", "betrieb_erlaubnis", "betrieb_handwerkskarte", "betrieb_meldgrundsonst"})
            QTest::newRow(t) << QString::fromLatin1(t) << QStringList{QStringLiteral("betr-nr")};
        QTest::newRow("gemeindekennzahlen")
            << QStringLiteral("gemeindekennzahlen") << QStringList{QStringLiteral("gem-kz")};
        QTest::newRow("Rechtsformen") << QStringLiteral("Rechtsformen") << QStringList{QStringLiteral("schluessel")};
        QTest::newRow("aktuelleGemeinde")
            << QStringLiteral("aktuelleGemeinde") << QStringList{QStringLiteral("gem-kz")};
    }
    void searchedColumnsAreIndexed()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        const bool org = table == QLatin1String("gemeindekennzahlen") || table == QLatin1String("Rechtsformen") ||
                         table == QLatin1String("aktuelleGemeinde");
        RawFile raw(templatePath(org ? QStringLiteral("PX_Org.mdb") : QStringLiteral("px_4x_b.mdb")));
        const QSet<QString> indexed = raw.leadingIndexedColumns(table);
        for (const QString &c : columns)
            QVERIFY2(indexed.contains(c), qPrintable(table + QLatin1Char('.') + c));
        // The finds on a key use that index, not a walk over the table.
        QString plan;
        for (const QStringList &step :
             raw.rows(QStringLiteral("EXPLAIN QUERY PLAN SELECT rowid FROM [%1] WHERE rowid > 0 "
                                     "AND ([%2] = 'x') ORDER BY rowid LIMIT 1")
                          .arg(table, columns.first())))
            plan += step.last() + QLatin1Char('\n');
        QVERIFY2(plan.contains(QLatin1String("USING INDEX")) || plan.contains(QLatin1String("USING COVERING INDEX")),
                 qPrintable(plan));
    }

    void referenceRows()
    {
        const QString org = copyTemplate(m_dir, QStringLiteral("PX_Org.mdb"), QStringLiteral("PX_Org.mdb"));
        auto db = Database::open(org, true, false, QStringLiteral("; pwd=wexor"));
        auto gem = db->openRecordset(QStringLiteral("gemeindekennzahlen"));
        gem->moveLast();
        // Every municipality and every district office of the two code lists.
        QCOMPARE(gem->recordCount(), 10960L + 294L);
        QCOMPARE(found(*gem, QStringLiteral("[gem-kz] = '01001000'"), QStringLiteral("gem-name")),
                 QStringList{QStringLiteral("Flensburg, Stadt")});
        QCOMPARE(found(*gem, QStringLiteral("[gem-kz] = '01051000'"), QStringLiteral("gem-name")),
                 QStringList{QStringLiteral("Dithmarschen")});
        QCOMPARE(found(*gem, QStringLiteral("[gem-name] = 'lübeck, hansestadt'"), QStringLiteral("gem-kz")),
                 QStringList{QStringLiteral("01003000")});
        gem->findFirst(QStringLiteral("Len([gem-kz]) <> '8'"));
        QVERIFY(gem->noMatch());

        auto rf = db->openRecordset(QStringLiteral("Rechtsformen"));
        const QStringList partnerships = found(*rf, QStringLiteral("[typ] = 'P'"), QStringLiteral("schluessel"));
        QVERIFY(partnerships.contains(QStringLiteral("210")));
        QVERIFY(partnerships.contains(QStringLiteral("220")));
        QVERIFY(!partnerships.contains(QStringLiteral("350")));

        // Settings start out empty; the start-up creates the options row.
        QCOMPARE(db->openRecordset(QStringLiteral("Optionen"))->recordCount(), 0L);
        QCOMPARE(db->openRecordset(QStringLiteral("aktuelleGemeinde"))->recordCount(), 0L);
        db->close();
        releaseFile(org);
    }

    void templatesCarryNoJournal()
    {
        // A template in WAL mode would need its -wal file to travel with every copy.
        for (const char *f : {"PX_Org.mdb", "px_4x_b.mdb", "px_4x_m.mdb"}) {
            RawFile raw(templatePath(QString::fromLatin1(f)));
            QCOMPARE(raw.rows(QStringLiteral("PRAGMA journal_mode")).first().first(), QStringLiteral("delete"));
            QVERIFY(!QFile::exists(templatePath(QString::fromLatin1(f)) + QStringLiteral("-wal")));
        }
    }
};

QTEST_GUILESS_MAIN(TestTemplates)
#include "tst_templates.moc"
