#include "engine/PlannerStatistics.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QByteArrayList>

namespace engine {

namespace {

// Per index: rows of its table, then the rows one value of its first
// column, of its first two columns ... stands for.
constexpr const char *kStatistics = R"(
('betrieb', 'ix_betrieb_key', '100000 1 1'),
('betrieb', 'ix_betrieb_betr_hist_nr', '100000 50000'),
('betrieb', 'ix_betrieb_gem_kz', '100000 250'),
('betrieb', 'ix_betrieb_meld_art', '100000 50000'),
('betrieb', 'ix_betrieb_betr_ende', '100000 90000'),
('betrieb', 'ix_betrieb_b_eintr_name', '100000 2'),
('betrieb', 'ix_betrieb_schluesselfeld', '100000 1'),
('betrieb_adresse', 'ix_betrieb_adresse_key', '200000 2 2'),
('betrieb_adresse', 'ix_betrieb_adresse_b_adr_art', '200000 66667'),
('betrieb_adresse', 'ix_betrieb_adresse_b_ort', '200000 200'),
('betrieb_adresse', 'ix_betrieb_adresse_b_strasse', '200000 20'),
('betrieb_taetigkeit', 'ix_betrieb_taetigkeit_key', '200000 2 2'),
('betrieb_erlaubnis', 'ix_betrieb_erlaubnis_key', '100000 1 1'),
('betrieb_handwerkskarte', 'ix_betrieb_handwerkskarte_key', '50000 1 1'),
('betrieb_meldgrundsonst', 'ix_betrieb_meldgrundsonst_key', '50000 1 1'),
('person', 'ix_person_pers_nr', '200000 1'),
('person', 'ix_person_p_eintr_name', '200000 2'),
('person', 'ix_person_fam_name', '200000 2'),
('person', 'ix_person_fam_name_pers_nr', '200000 2 1'),
('person_staatsang', 'ix_person_staatsang_pers_nr', '100000 1'),
('person_erlaubnis', 'ix_person_erlaubnis_key', '100000 1 1'),
('person_erlaubnis', 'ix_person_erlaubnis_betr_nr', '100000 1'),
('person_handwerkskarte', 'ix_person_handwerkskarte_key', '50000 1 1'),
('person_handwerkskarte', 'ix_person_handwerkskarte_betr_nr', '50000 1'),
('beziehung_betrieb_person', 'ix_beziehung_betrieb_person_key', '200000 2 2'),
('beziehung_betrieb_person', 'ix_beziehung_betrieb_person_bez_pers_nr', '200000 1'),
('beziehung_betrieb_person', 'ix_beziehung_betrieb_person_pers_nr_jp', '200000 2')
)";

bool exists(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return false;
    }
    const bool row = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return row;
}

struct ListIndex
{
    const char *name;
    const char *definition;
};

// The indexes the lists read in order that files written by earlier versions
// lack; each has its figures above.
constexpr ListIndex kListIndexes[] = {
    {"ix_person_fam_name_pers_nr", "CREATE INDEX [ix_person_fam_name_pers_nr] ON [person] ([fam-name], [pers-nr])"},
};

bool run(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

bool addListIndexes(sqlite3 *db)
{
    if (!exists(db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'ix_betrieb_key'"))
        return true; // not a working database
    QByteArrayList missing;
    for (const ListIndex &index : kListIndexes) {
        const QByteArray probe =
            QByteArray("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = '") + index.name + "'";
        if (!exists(db, probe.constData()))
            missing << index.name;
    }
    if (missing.isEmpty())
        return true;
    const bool own = sqlite3_get_autocommit(db) != 0;
    if (own && !run(db, "SAVEPOINT list_indexes"))
        return false;
    // A file without any statistics gets all of them, these included, from
    // writePlannerStatistics; one with statistics gets the new indexes' only.
    const bool statistics = exists(db, "SELECT 1 FROM sqlite_stat1 LIMIT 1");
    bool ok = true;
    for (const ListIndex &index : kListIndexes) {
        if (!ok || !missing.contains(index.name))
            continue;
        ok = run(db, index.definition);
        if (ok && statistics) {
            const QByteArray insert = QByteArray("WITH v(tbl, idx, stat) AS (VALUES ") + kStatistics
                                      + ") INSERT INTO sqlite_stat1 (tbl, idx, stat) SELECT tbl, idx, stat FROM v "
                                        "WHERE idx = '"
                                      + index.name + "'";
            ok = run(db, insert.constData());
        }
    }
    if (own) {
        ok = ok && run(db, "RELEASE list_indexes");
        if (!ok) {
            run(db, "ROLLBACK TO list_indexes");
            run(db, "RELEASE list_indexes");
        }
    }
    if (ok && statistics)
        run(db, "ANALYZE sqlite_master");
    return ok;
}

bool writePlannerStatistics(sqlite3 *db)
{
    // Without the table the probe does not prepare, and counts as none.
    if (exists(db, "SELECT 1 FROM sqlite_stat1 LIMIT 1"))
        return true;
    if (!exists(db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'ix_betrieb_key'"))
        return true; // not a working database
    const bool own = sqlite3_get_autocommit(db) != 0;
    if (own && sqlite3_exec(db, "SAVEPOINT planner_statistics", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    // Analysing the schema table creates sqlite_stat1 without reading any
    // table; the second run loads the written figures into the connection.
    const QByteArray insert = QByteArray("WITH v(tbl, idx, stat) AS (VALUES ") + kStatistics
                              + ") INSERT INTO sqlite_stat1 (tbl, idx, stat) SELECT tbl, idx, stat FROM v "
                                "WHERE idx IN (SELECT name FROM sqlite_master WHERE type = 'index')";
    bool ok = sqlite3_exec(db, "ANALYZE sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK
              && sqlite3_exec(db, insert.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (own) {
        ok = ok && sqlite3_exec(db, "RELEASE planner_statistics", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!ok) {
            sqlite3_exec(db, "ROLLBACK TO planner_statistics", nullptr, nullptr, nullptr);
            sqlite3_exec(db, "RELEASE planner_statistics", nullptr, nullptr, nullptr);
        }
    }
    if (ok)
        sqlite3_exec(db, "ANALYZE sqlite_master", nullptr, nullptr, nullptr);
    return ok;
}

} // namespace engine
