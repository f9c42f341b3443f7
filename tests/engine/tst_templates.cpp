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
};

// SQLite gives a column text affinity only when no INT comes first in its rules.
bool textAffinity(const QString &declType)
{
    const QString d = declType.toUpper();
    return !d.contains(QLatin1String("INT")) &&
           (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("CLOB")) || d.contains(QLatin1String("TEXT")));
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
                out << Column{t[0], c[1], c[2]};
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

const QStringList kWorkTables =
    QStringLiteral("betrieb betrieb_adresse betrieb_taetigkeit betrieb_erlaubnis betrieb_handwerkskarte "
                   "betrieb_meldgrundsonst person person_staatsang person_erlaubnis person_handwerkskarte "
                   "beziehung_betrieb_person")
        .split(QLatin1Char(' '));

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

    void columnTypes_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *f : {"PX_Org.mdb", "px_4x_b.mdb", "px_4x_m.mdb"})
            QTest::newRow(f) << QString::fromLatin1(f);
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
            QVERIFY2(textAffinity(c.declType), qPrintable(where));
        }
    }

    void workingLayout_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *f : {"px_4x_b.mdb", "px_4x_m.mdb"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    void workingLayout()
    {
        QFETCH(QString, file);
        const QString path = copyTemplate(m_dir, file);
        auto db = Database::open(path);
        const QStringList dates =
            QStringLiteral("b-reg-datum meld-datum anzeige-datum betr-beginn betr-Ende b-Erl-datum b-hwk-datum "
                           "tk-beginn tk-Ende p-eintr-datum p-austr-datum p-reg-datum geb-datum aufenth-datum "
                           "fzeug-datum p-gzr-ausk-datum p-Erl-datum p-hwk-datum")
                .split(QLatin1Char(' '));
        QSet<QString> seen;
        for (const QString &t : kWorkTables) {
            auto rs = db->openRecordset(t);
            QVERIFY2(rs->recordCount() == 0, qPrintable(t));
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
        QCOMPARE(str(*b, "betr-nr"), QStringLiteral("000000000001"));
        QCOMPARE(str(*b, "b-bemerkung"), QStringLiteral("0815"));
        db->close();
        releaseFile(path);
    }

    void searchedColumnsAreIndexed_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        for (const char *row : {"betrieb betr-nr betr-hist-nr gem-kz schluesselfeld", "betrieb_adresse betr-nr",
                                "person pers-nr", "person_staatsang pers-nr", "person_erlaubnis pers-nr betr-nr",
                                "person_handwerkskarte pers-nr betr-nr",
                                "beziehung_betrieb_person bez-betr-nr bez-pers-nr pers-nr-jp",
                                "betrieb_taetigkeit betr-nr", "betrieb_erlaubnis betr-nr",
                                "betrieb_handwerkskarte betr-nr", "betrieb_meldgrundsonst betr-nr",
                                "gemeindekennzahlen gem-kz", "Rechtsformen schluessel", "aktuelleGemeinde gem-kz"}) {
            QStringList columns = QString::fromLatin1(row).split(QLatin1Char(' '));
            const QString table = columns.takeFirst();
            QTest::newRow(qPrintable(table)) << table << columns;
        }
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
        const QString org = copyOrg(m_dir);
        auto db = openOrg(org);
        for (const char *t : {"Optionen", "aktuelleGemeinde", "gemeindekennzahlen", "Rechtsformen"})
            QVERIFY2(db->openRecordset(QString::fromLatin1(t))->isOpen(), t);
        auto gem = db->openRecordset(QStringLiteral("gemeindekennzahlen"));
        gem->moveLast();
        // Every municipality and every district office of the two code lists.
        QCOMPARE(gem->recordCount(), 10960L + 294L);
        QCOMPARE(found(*gem, QStringLiteral("[gem-kz] = '01051000'"), QStringLiteral("gem-name")),
                 QStringList{QStringLiteral("Dithmarschen")});
        gem->findFirst(QStringLiteral("Len([gem-kz]) <> '8'"));
        QVERIFY(gem->noMatch());
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
