// The database files as other SQLite tools see them: the templates (their
// column types, indexes and reference rows) and every file the engine writes
// open, check and query without the engine, and a file
// of the old form (text columns naming JETTEXT) is rewritten into that form
// without losing a row. Also where the engine puts Jet's comparison and order
// into the statements it runs, since the files no longer carry them.
#include "EngineFixture.h"
#include "PlainSqlite.h"

#include "engine/JetSql.h"
#include "engine/SchemaUpgrade.h"
#include "engine/SqlFunctions.h"

#include <QLocale>
#include <QSet>

using namespace engine;
using namespace fixture;

namespace {

bool run(sqlite3 *db, const QString &sql)
{
    char *err = nullptr;
    const bool ok = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) == SQLITE_OK;
    if (!ok)
        qWarning("%s: %s", qPrintable(sql), err);
    sqlite3_free(err);
    return ok;
}

// A file of the old form with the rows of a template: its schema with JETTEXT
// where the template says NOCASE, as earlier versions of the program wrote it.
void writeOldForm(const QString &templ, const QString &path)
{
    QFile::remove(path);
    QStringList schema, tables;
    {
        PlainSqlite t(templatePath(templ));
        for (const QString &sql : t.rows(QStringLiteral("SELECT sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite%' ORDER BY rowid")))
            schema << QString(sql).replace(QLatin1String("COLLATE NOCASE"), QLatin1String("COLLATE JETTEXT"));
        tables = t.tables();
    }
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    registerSqlFunctions(db);
    QVERIFY(run(db, QStringLiteral("BEGIN")));
    for (const QString &sql : std::as_const(schema))
        QVERIFY(run(db, sql));
    QVERIFY(run(db, QStringLiteral("ATTACH %1 AS t").arg(sqlQuote(templatePath(templ)))));
    for (const QString &table : std::as_const(tables))
        QVERIFY(run(db, QStringLiteral("INSERT INTO main.[%1] SELECT * FROM t.[%1]").arg(table)));
    QVERIFY(run(db, QStringLiteral("COMMIT")));
    QVERIFY(run(db, QStringLiteral("DETACH t")));
    if (tables.contains(QStringLiteral("betrieb"))) {
        // Case and umlaut variants, a Null, twins, and a gap in the rowids
        // (in the middle: a new row would take the last one's back).
        QVERIFY(run(db, QStringLiteral(
                            "INSERT INTO betrieb ([gem-kz], [betr-nr], [betr-hist-nr], [b-eintr-name], [b-bemerkung]) VALUES "
                            "('01001000', '100', '0', 'Müller GmbH', 'Zeile 1\nZeile 2'), "
                            "('01001000', '100', '1', 'MÜLLER GMBH', NULL), ('01001000', '200', '0', 'Lücke', NULL), "
                            "('01002000', 'ä7', '0', 'Äpfel', ''), "
                            "('01002000', 'Ä7', '0', 'straße', '0815'), ('01002000', 'Ä7', '0', 'straße', '0815'), "
                            "(NULL, '300', '0', 'weg', 'x')")));
        QVERIFY(run(db, QStringLiteral("DELETE FROM betrieb WHERE [betr-nr] = '200'")));
        QVERIFY(run(db, QStringLiteral("INSERT INTO betrieb ([betr-nr], [b-eintr-name]) VALUES ('400', 'Zander')")));
        QVERIFY(run(db, QStringLiteral("INSERT INTO person ([pers-nr], [fam-name]) VALUES ('7', 'Özdemir'), ('8', 'ozdemir')")));
    }
    sqlite3_close(db);
}

QHash<QString, QStringList> everyRow(const PlainSqlite &file)
{
    QHash<QString, QStringList> rows;
    for (const QString &t : file.tables())
        rows.insert(t, file.content(t));
    return rows;
}

// Index names with their columns and collations, as the indexes serve lookups.
QStringList indexes(const PlainSqlite &file)
{
    return file.rows(QStringLiteral("SELECT m.tbl_name, m.name, i.name, i.coll FROM sqlite_master m, "
                                    "pragma_index_xinfo(m.name) i WHERE m.type = 'index' AND i.key "
                                    "ORDER BY m.name, i.seqno"));
}

bool isOrg(const QString &templ)
{
    return templ == QLatin1String("PX_Org.mdb");
}

// SQLite gives a column text affinity only when no INT comes first in its rules.
bool textAffinity(const QString &declType)
{
    const QString d = declType.toUpper();
    return !d.contains(QLatin1String("INT")) &&
           (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("CLOB")) || d.contains(QLatin1String("TEXT")));
}

const QStringList kWorkTables =
    QStringLiteral("betrieb betrieb_adresse betrieb_taetigkeit betrieb_erlaubnis betrieb_handwerkskarte "
                   "betrieb_meldgrundsonst person person_staatsang person_erlaubnis person_handwerkskarte "
                   "beziehung_betrieb_person")
        .split(QLatin1Char(' '));

const QString kStatistics = QStringLiteral("SELECT count(*) FROM sqlite_stat1");
const QString kIndexCount = QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");

} // namespace

class TestPlainFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        QVERIFY(m_dir.isValid());
    }

    void files_data()
    {
        QTest::addColumn<QString>("templ");
        for (const char *f : {"PX_Org.mdb", "px_4x_b.mdb", "px_4x_m.mdb"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }

    void templates_data() { files_data(); }
    void templates()
    {
        QFETCH(QString, templ);
        PlainSqlite plain(templatePath(templ));
        QCOMPARE(plain.complaint(), QString());
        // A template in WAL mode would need its -wal file to travel with every copy.
        QCOMPARE(plain.rows(QStringLiteral("PRAGMA journal_mode")), QStringList{QStringLiteral("delete")});
        QVERIFY(!QFile::exists(templatePath(templ) + QStringLiteral("-wal")));
        const QSet<QString> booleans{QStringLiteral("markiert"), QStringLiteral("filter_aktiv"),
                                     QStringLiteral("Dateiendung_registriert")};
        const QStringList cols = plain.rows(QStringLiteral(
            "SELECT m.name, c.name, c.type FROM sqlite_master m, pragma_table_info(m.name) c WHERE m.type = 'table' "
            "AND m.name NOT LIKE 'sqlite%' AND m.name <> 'MSysPassword'"));
        QVERIFY(!cols.isEmpty());
        for (const QString &where : cols) {
            const QStringList c = where.split(QLatin1Char('|'));
            if (booleans.contains(c[1]))
                QVERIFY2(c[2].toUpper() == QLatin1String("BOOLEAN"), qPrintable(where));
            else // Keys and codes must keep their leading zeros: text affinity only.
                QVERIFY2(textAffinity(c[2]), qPrintable(where));
        }
        if (isOrg(templ))
            return;
        // The working templates carry planner statistics for every index.
        QCOMPARE(plain.rows(kStatistics), plain.rows(kIndexCount));
        // The working layout, through the engine.
        const QString path = copyTemplate(m_dir, templ);
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
        for (const auto &[table, column, size] : {std::tuple{"betrieb", "betr-nr", 12}, {"betrieb", "betr-hist-nr", 4},
                                                  {"betrieb", "gem-kz", 8}, {"betrieb", "b-eintr-name", 150}, {"person", "fam-name", 30}})
            QVERIFY2(db->openRecordset(QString::fromLatin1(table))->field(QString::fromLatin1(column)).size() == size, column);
        auto b = db->openRecordset(QStringLiteral("betrieb"));
        QCOMPARE(b->field(QStringLiteral("b-bemerkung")).type(), int(ftype::Memo));
        addRow(*b, {{"betr-nr", QStringLiteral("000000000001")}, {"gem-kz", QStringLiteral("01001000")}, {"b-bemerkung", QStringLiteral("0815")}});
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
        const bool org = QStringList{QStringLiteral("gemeindekennzahlen"), QStringLiteral("Rechtsformen"), QStringLiteral("aktuelleGemeinde")}.contains(table);
        PlainSqlite raw(templatePath(org ? QStringLiteral("PX_Org.mdb") : QStringLiteral("px_4x_b.mdb")));
        const QStringList indexed = raw.rows(QStringLiteral("SELECT i.name FROM pragma_index_list('%1') l, "
                                                            "pragma_index_info(l.name) i WHERE i.seqno = 0").arg(table));
        for (const QString &c : columns)
            QVERIFY2(indexed.contains(c), qPrintable(table + QLatin1Char('.') + c));
        // The finds on a key use that index, not a walk over the table.
        const QString plan = raw.rows(QStringLiteral("EXPLAIN QUERY PLAN SELECT rowid FROM [%1] WHERE rowid > 0 "
                                                     "AND ([%2] = 'x') ORDER BY rowid LIMIT 1")
                                          .arg(table, columns.first()))
                                 .join(QLatin1Char('\n'));
        QVERIFY2(plan.contains(QLatin1String("USING INDEX")) || plan.contains(QLatin1String("USING COVERING INDEX")),
                 qPrintable(plan));
    }

    void referenceRows()
    {
        const QString org = copyOrg(m_dir);
        auto db = openOrg(org);
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

    void writtenFilesNeedNoEngine()
    {
        const QString path = copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb"), QStringLiteral("written.mdb"));
        {
            auto db = Database::open(path);
            auto rs = db->openRecordset(QStringLiteral("betrieb"));
            for (const char *name : {"Zander", "Äpfel", "apfel", "Straße"})
                addRow(*rs, {{"betr-nr", QStringLiteral("100")}, {"b-eintr-name", QString::fromUtf8(name)}});
            // Query sets keep their rows in tables of their own, which must not stay behind.
            auto sorted = db->openRecordset(QStringLiteral("SELECT * FROM betrieb ORDER BY [b-eintr-name];"));
            QCOMPARE(sorted->recordCount(), 4L);
            db->close();
        }
        releaseFile(path);
        PlainSqlite plain(path);
        QCOMPARE(plain.complaint(), QString());
        // The shell's own "=" on a key, served by the key's index.
        QCOMPARE(plain.rows(QStringLiteral("SELECT count(*) FROM betrieb WHERE [betr-nr] = '100'")),
                 QStringList{QStringLiteral("4")});
        QVERIFY(plain.rows(QStringLiteral("EXPLAIN QUERY PLAN SELECT * FROM betrieb WHERE [betr-nr] = '100'"))
                    .join(QLatin1Char(' '))
                    .contains(QLatin1String("INDEX")));
    }

    // The planner statistics: put into a file without them when the program
    // opens it, and left alone in a file whose own analysis wrote them. Without
    // them the business list would be driven from the address kind and sorted whole.
    void plannerStatistics()
    {
        const QString bare = copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb"), QStringLiteral("nostats.mdb"));
        const QString own = copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb"), QStringLiteral("ownstats.mdb"));
        for (const auto &[path, sql] : {std::pair{bare, "DELETE FROM sqlite_stat1"},
                                        std::pair{own, "DELETE FROM sqlite_stat1; INSERT INTO sqlite_stat1 VALUES "
                                                       "('betrieb', 'ix_betrieb_key', '7 7 7')"}}) {
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(path).constData(), &db);
            QVERIFY(run(db, QString::fromLatin1(sql)));
            sqlite3_close(db);
            Database::open(path)->close();
            releaseFile(path);
        }
        PlainSqlite repaired(bare);
        QCOMPARE(repaired.rows(kStatistics), repaired.rows(kIndexCount));
        // Businesses walked in number order, each one's location looked up by its key.
        QVERIFY(repaired
                    .rows(QStringLiteral("EXPLAIN QUERY PLAN SELECT betrieb.rowid FROM betrieb CROSS JOIN betrieb_adresse "
                                         "WHERE betrieb.[betr-nr] = betrieb_adresse.[betr-nr] AND betrieb.[betr-hist-nr] = "
                                         "betrieb_adresse.[betr-hist-nr] AND betrieb_adresse.[b-adr-art] = '1'"))
                    .join(QLatin1Char(' '))
                    .contains(QLatin1String("ix_betrieb_adresse_key")));
        QCOMPARE(PlainSqlite(own).rows(QStringLiteral("SELECT stat FROM sqlite_stat1")), QStringList{QStringLiteral("7 7 7")});
    }

    // A file written before the list indexes existed gets them when the
    // program opens it, with figures the planner reads, whether the file had
    // statistics or not; the name search in number order then reads the
    // index alone, and the rows and finds stay as they were.
    void listIndexesAddedAtOpen_data()
    {
        QTest::addColumn<bool>("statistics");
        QTest::newRow("with statistics") << true;
        QTest::newRow("without statistics") << false;
    }
    void listIndexesAddedAtOpen()
    {
        QFETCH(bool, statistics);
        const QString path = copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb"),
                                          QStringLiteral("before_list_indexes_%1.mdb").arg(statistics));
        {
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(path).constData(), &db);
            // The index earlier versions had in its place; dropping an index drops its figures.
            QVERIFY(run(db, QStringLiteral("DROP INDEX ix_person_fam_name_pers_nr; "
                                           "CREATE INDEX [ix_person_fam_name] ON [person] ([fam-name]); "
                                           "INSERT INTO person ([pers-nr], [fam-name]) VALUES ('P3', 'Schulz'), "
                                           "('P1', NULL), ('P2', 'schmidt'), ('P4', 'Özdemir')")));
            QVERIFY(run(db, statistics ? QStringLiteral("INSERT INTO sqlite_stat1 VALUES ('person', 'ix_person_fam_name', "
                                                        "'200000 2')")
                                       : QStringLiteral("DELETE FROM sqlite_stat1")));
            sqlite3_close(db);
        }
        QStringList before;
        {
            PlainSqlite plain(path);
            before = plain.content(QStringLiteral("person"));
            QVERIFY(!indexes(plain).join(QLatin1Char(' ')).contains(QLatin1String("ix_person_fam_name_pers_nr")));
        }
        {
            auto db = Database::open(path);
            auto rs = db->openRecordset(QStringLiteral("SELECT * FROM person ORDER BY [pers-nr];"));
            QCOMPARE(found(*rs, QStringLiteral("[fam-name] LIKE 's*'"), QStringLiteral("pers-nr")),
                     QStringList({QStringLiteral("P2"), QStringLiteral("P3")}));
            db->close();
        }
        releaseFile(path);
        PlainSqlite plain(path);
        QCOMPARE(plain.complaint(), QString());
        QCOMPARE(plain.content(QStringLiteral("person")), before);
        const QStringList added = plain.rows(QStringLiteral(
            "SELECT i.name, i.coll FROM pragma_index_xinfo('ix_person_fam_name_pers_nr') i WHERE i.key ORDER BY i.seqno"));
        QCOMPARE(added, QStringList({QStringLiteral("fam-name|NOCASE"), QStringLiteral("pers-nr|NOCASE")}));
        QCOMPARE(plain.rows(QStringLiteral("SELECT stat FROM sqlite_stat1 WHERE idx = 'ix_person_fam_name_pers_nr'")),
                 QStringList{QStringLiteral("200000 2 1")});
        QCOMPARE(plain.rows(kStatistics), plain.rows(kIndexCount));
        const QString plan =
            plain.rows(QStringLiteral("EXPLAIN QUERY PLAN SELECT min([pers-nr] COLLATE NOCASE), max([pers-nr] IS NULL) "
                                      "FROM person WHERE ([fam-name] LIKE 's%') AND [fam-name] >= 's' COLLATE NOCASE "
                                      "AND [fam-name] < 't' COLLATE NOCASE"))
                .join(QLatin1Char(' '));
        QVERIFY2(plan.contains(QLatin1String("COVERING INDEX ix_person_fam_name_pers_nr")), qPrintable(plan));
    }

    void oldFormIsRewrittenAtOpen_data() { files_data(); }
    void oldFormIsRewrittenAtOpen()
    {
        QFETCH(QString, templ);
        const QString path = m_dir.filePath(QStringLiteral("old_") + templ);
        writeOldForm(templ, path);
        QHash<QString, QStringList> before;
        {
            // Rows read without the collation; only checks and comparisons need it.
            PlainSqlite plain(path);
            QVERIFY(plain.complaint().contains(QLatin1String("JETTEXT")));
            before = everyRow(plain);
        }
        QVERIFY(before.value(QStringLiteral("betrieb")).size() > 0 || isOrg(templ));

        auto db = isOrg(templ) ? openOrg(path) : Database::open(path);
        // Jet's comparison holds through the engine on the rewritten file.
        if (!isOrg(templ)) {
            auto rs = db->openRecordset(QStringLiteral("betrieb"));
            QCOMPARE(found(*rs, QStringLiteral("[b-eintr-name] = 'müller gmbh'"), QStringLiteral("betr-hist-nr")),
                     QStringList({QStringLiteral("0"), QStringLiteral("1")}));
            QCOMPARE(found(*rs, QStringLiteral("[betr-nr] = 'ä7'"), QStringLiteral("b-eintr-name")),
                     QStringList({QStringLiteral("Äpfel"), QStringLiteral("straße"), QStringLiteral("straße")}));
        } else {
            auto gem = db->openRecordset(QStringLiteral("gemeindekennzahlen"));
            QCOMPARE(found(*gem, QStringLiteral("[gem-kz] = '01051000'"), QStringLiteral("gem-name")),
                     QStringList{QStringLiteral("Dithmarschen")});
        }
        db->close();
        releaseFile(path);

        PlainSqlite plain(path);
        QCOMPARE(plain.complaint(), QString());
        QCOMPARE(everyRow(plain), before);
        // Every index is back, as the template has it (the old form differs only in the collation).
        QCOMPARE(indexes(plain), indexes(PlainSqlite(templatePath(templ))));
        // The password still guards the organisation database.
        if (isOrg(templ))
            QCOMPARE(errorOf([&] { Database::open(path, true, false, QStringLiteral("; pwd=falsch")); }),
                     int(err::InvalidPassword));
        releaseFile(path);
    }

    // A rewrite that fails part-way leaves the file as it was, row for row,
    // of the old form and still opening: SQLite refuses the copy of a later
    // table (its transaction stays open), or the disk is full (SQLite ends
    // the transaction itself).
    void failedRewriteLeavesTheOldForm_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("copy of a later table refused") << false;
        QTest::newRow("disk full") << true;
    }
    void failedRewriteLeavesTheOldForm()
    {
        QFETCH(bool, diskFull);
        const QString path = m_dir.filePath(diskFull ? QStringLiteral("full.mdb") : QStringLiteral("refused.mdb"));
        writeOldForm(QStringLiteral("px_4x_b.mdb"), path);
        const QString schemaSql = QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name");
        const QStringList schema = PlainSqlite(path).rows(schemaSql);
        const QHash<QString, QStringList> before = everyRow(PlainSqlite(path));
        QVERIFY(!before.value(QStringLiteral("person")).isEmpty());

        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        registerSqlFunctions(db);
        if (diskFull) {
            // The file may not grow: the first new table finds no room.
            QVERIFY(run(db, QStringLiteral("PRAGMA max_page_count = 1")));
        } else {
            // betrieb comes before person: it is rewritten when the copy of person is refused.
            sqlite3_set_authorizer(
                db,
                [](void *, int action, const char *table, const char *, const char *, const char *) {
                    return action == SQLITE_INSERT && qstrcmp(table, "person") == 0 ? SQLITE_DENY : SQLITE_OK;
                },
                nullptr);
        }
        QVERIFY(!upgradeOldCollation(db));
        sqlite3_close(db);
        {
            PlainSqlite plain(path);
            QCOMPARE(plain.rows(schemaSql), schema);
            QCOMPARE(everyRow(plain), before);
        }
        // Opened without the failure, it is rewritten after all.
        Database::open(path)->close();
        releaseFile(path);
        PlainSqlite plain(path);
        QCOMPARE(plain.complaint(), QString());
        QCOMPARE(everyRow(plain), before);
    }

    void compactionWritesTheNewForm_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("copy beside the file") << false;
        QTest::newRow("copy put in the file's place while locked") << true;
    }
    void compactionWritesTheNewForm()
    {
        QFETCH(bool, inPlace);
        const QString source = m_dir.filePath(QStringLiteral("never_opened.mdb"));
        const QString target = m_dir.filePath(QStringLiteral("compacted.mdb"));
        writeOldForm(QStringLiteral("px_4x_b.mdb"), source);
        QFile::remove(target);
        const QHash<QString, QStringList> before = everyRow(PlainSqlite(source));
        QCOMPARE(before.value(QStringLiteral("betrieb")).size(), 7);
        compactDatabase(source, target, {}, [&] {
            if (inPlace) {
                QFile::remove(source);
                QFile::rename(target, source);
            }
        });
        PlainSqlite copy(inPlace ? source : target);
        QCOMPARE(copy.complaint(), QString());
        QCOMPARE(everyRow(copy), before);
    }

    void sortFallsBackOnTextBeyondAscii_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        const auto list = [](const char *s) { return QString::fromUtf8(s).split(QLatin1Char(' ')); };
        QTest::newRow("ASCII only: index order") << list("b B a Ab ab") << list("a Ab ab b B");
        QTest::newRow("umlaut last in index order") << list("b a z Äb") << list("a Äb b z");
        QTest::newRow("ß among ss") << list("Strasze Straße Strasse") << list("Strasse Straße Strasze");
    }
    void sortFallsBackOnTextBeyondAscii()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        const QString path = copyTemplate(m_dir, QStringLiteral("px_4x_b.mdb"), QStringLiteral("sort.mdb"));
        auto db = Database::open(path);
        auto rs = db->openRecordset(QStringLiteral("person"));
        for (const QString &n : names)
            addRow(*rs, {{"pers-nr", QStringLiteral("1")}, {"fam-name", n}});
        auto q = db->openRecordset(QStringLiteral("SELECT * FROM person WHERE [pers-nr] = '1' ORDER BY person.[fam-name];"));
        // Every row once: a sort that gave up wrote nothing.
        QCOMPARE(q->recordCount(), long(names.size()));
        QCOMPARE(column(*q, QStringLiteral("fam-name")), sorted);
        db->close();
        releaseFile(path);
    }
};

QTEST_GUILESS_MAIN(TestPlainFiles)
#include "tst_plainfiles.moc"
