// The record set: a table or a query's rows, walked, searched and changed row by row.
#pragma once

#include "engine/EngineError.h"
#include "engine/Keyset.h"

#include <QHash>
#include <QStringList>
#include <QString>
#include <QVariant>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace engine {

class Connection;
class FarMatch;
class Recordset;
class SortedWalk;

// Jet field type codes.
namespace ftype {
constexpr int Boolean = 1;
constexpr int Long = 4;
constexpr int Double = 7;
constexpr int Date = 8;
constexpr int Text = 10;
constexpr int Memo = 12;
} // namespace ftype

struct FieldInfo
{
    QString name;       // the name the set answers to ("betr-nr" or "betrieb.betr-nr" when ambiguous)
    QString plainName;  // the column's own name
    QString table;      // the table it comes from, if any
    QString column;     // its column in the browsed table
    QString baseColumn; // its column in the table that writes go to; empty: not updatable
    int type = ftype::Text;
    int size = 0;
    QVariant defaultValue;
};

// A field of the current row; a light handle that reads through its set.
class Field
{
public:
    Field(Recordset *rs, int index) : m_rs(rs), m_index(index) {}
    QString name() const;
    int type() const;
    int size() const;
    QVariant value() const;
    void setValue(const QVariant &v) const;

private:
    Recordset *m_rs;
    int m_index;
};

// A dynaset over a table or over an SQL text. Table sets walk the table
// itself by rowid through its indexes and hold only the current row. A plain
// join of tables keeps its keyset in memory: the rowids of each row's table
// rows, in the query's order. Other query
// sets keep their result rows there; a query over one table stays updatable
// and writes through to that table.
class Recordset : public std::enable_shared_from_this<Recordset>
{
public:
    // A join opened with `background` reads its first rows at once and the
    // rest between events (or when they are asked for), so that a long list
    // shows without waiting for its end.
    static std::shared_ptr<Recordset> open(std::shared_ptr<Connection> conn, const QString &source, bool readOnly,
                                           bool background = false);
    ~Recordset();

    QString name() const { return m_name; }
    bool isOpen() const { return !m_closed; }
    bool isTable() const { return !m_isTemp; }
    bool updatable() const { return !m_base.isEmpty() && !m_readOnly; }
    void close();

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    long recordCount();
    // Whether every row is known; always, but for a join still being read
    // in the background.
    bool countKnown() const { return !readingOn(); }
    // The rows known so far, without reading on: the count once countKnown().
    long rowsKnown();
    // A field of the last row, without moving there and, for a join still
    // being read in the order of an index, without reading on to its end.
    QVariant lastValue(const QString &name);
    // How much a set opened with `background` reads at once: at least the
    // first rows, then on while the time (ns) lasts; and at most how many
    // rows it reads between two events.
    static void setReadAtOnce(long firstRows, qint64 budget, long rowsBetweenEvents = std::numeric_limits<long>::max());
    // Called between events whenever more rows became known, and once all are.
    void setRowsListener(std::function<void()> listener) { m_onRows = std::move(listener); }
    long absolutePosition();
    void setAbsolutePosition(long pos);

    // A search of a list still being read whose match lies far beyond the
    // rows known shows that match at once, with the rows that follow it;
    // its number becomes known when the reading reaches it. Meanwhile the
    // current row may be one of those rows, and a grid shows the rows known
    // when the match was found, then the match and its followers. Anything
    // that needs the number (absolutePosition, a move off those rows, a
    // FindNext) reads on until it is known.
    bool positionKnown() const { return m_farRow < 0; }
    long rowsShown();
    // Changes whenever the shown rows change other than by rows appended.
    quint64 shownGeneration() const { return m_shownGeneration; }
    std::vector<std::vector<QVariant>> readShownRows(long first, long count);
    // The current row among the shown rows; -1 when it is not one of them.
    long shownRow();
    void setShownRow(long row);

    // Whether a find that finds a row also reads it. For searches that match
    // few rows whose values are then read; a search matching many rows would
    // read every one of them to pick the first.
    void setReadOnFind(bool read)
    {
        dropCursor();
        m_readOnFind = read;
        m_findForwardSql.clear();
        m_findBackwardSql.clear();
    }

    void findFirst(const QString &criteria);
    // FindFirst of criteria given as pattern and values (criteriaWithValues),
    // whose translation is then not looked for in the text again.
    void findFirst(const QString &pattern, const std::vector<QString> &values);
    void findNext(const QString &criteria);
    bool noMatch() const { return m_noMatch; }

    void addNew();
    void edit();
    void update();
    void cancelUpdate();
    void deleteRow();
    // Deletes every row that matches the criteria, as FindFirst, Delete and
    // FindNext until NoMatch would, in one statement on a table set; returns
    // how many went. Leaves NoMatch set and no current row loaded.
    long deleteMatching(const QString &criteria);
    // The same for criteria given as pattern and values (criteriaWithValues):
    // a business's keys are bound as they are, without a text to take apart.
    long deleteMatching(const QString &pattern, const std::vector<QString> &values);
    // Whether a row matches criteria given as pattern and values, with
    // NoMatch set as FindFirst would. A table set answers without moving its
    // current row; other sets search with FindFirst.
    bool anyMatching(const QString &pattern, const std::vector<QString> &values);
    enum class EditMode { None, Edit, Add };
    EditMode editMode() const { return m_mode; }

    int fieldCount() const { return int(m_fields.size()); }
    Field field(int index);
    Field field(const QString &name);
    Field field(QStringView name);
    int fieldIndex(const QString &name) const; // -1 when unknown
    int fieldIndex(QStringView name) const;
    const FieldInfo &fieldInfo(int index) const;

    QVariant value(int index) const;
    QVariant value(const QString &name) const;
    void setValue(int index, const QVariant &v);
    void setValue(const QString &name, const QVariant &v);

    // Called after every move of the current row (moves, finds that found,
    // positioning); bound views raise their Reposition event from it.
    void setMoveListener(std::function<void()> listener) { m_onMove = std::move(listener); }

    // Reads rows by position without moving the current row (grids).
    std::vector<std::vector<QVariant>> readRows(long first, long count);

private:
    Recordset() = default;
    // Rowids before the first and after the last row, where a search starts.
    static constexpr qint64 kBeforeFirst = std::numeric_limits<qint64>::min();
    static constexpr qint64 kAfterLast = std::numeric_limits<qint64>::max();
    // The rows shown from a far match on: a grid's page and more.
    static constexpr long kFarRows = 128;
    void openTable(const QString &table);
    void openQuery(const QString &sql);
    bool openKeyset(const QString &sql, const QString &asciiSortSql);
    void readKeysetRow(const std::vector<qint64> &keys, std::vector<QVariant> &into);
    void requireOpen() const;
    void requireCurrent() const;
    void checkIndex(int index) const;
    QString source() const { return QStringLiteral("DAO.Recordset"); }
    bool stepRowid(const QString &sql, qint64 arg, bool bindArg, qint64 &out);
    void setCurrent(qint64 rowid, long pos);
    void loadRow();
    void stepToRow(sqlite3_stmt *st, const QString &sql);
    void takeRow(sqlite3_stmt *st, int first);
    bool findOnward(const QString &criteria, bool fromCurrent);
    // The kept statement of a text made from criteria, whose errors name the criteria.
    sqlite3_stmt *criteriaStatement(const QString &sql, const QString &criteria);
    void dropCursor();
    bool find(const QString &criteria, bool forward, bool fromCurrent);
    int lookUpField(const QString &rawName) const;
    QString translateCriteria(const QString &criteria) const;
    QString parameterizedCriteria(const QString &criteria, std::vector<QString> &literals) const;
    long runDelete(sqlite3_stmt *st, const QString &sql, const std::vector<QString> &literals);
    QVariant convertForStore(int index, const QVariant &v) const;
    QVariant convertRead(int index, const QVariant &v) const;
    // A keyset row as read (its rowid first, then the fields) in the fields' own types.
    std::vector<QVariant> convertedRow(const std::vector<QVariant> &raw) const;
    void invalidateCount() { m_count = -1; }

    std::shared_ptr<Connection> m_conn;
    QString m_name;
    bool m_readOnly = false;
    bool m_closed = false;
    bool m_isTemp = false;
    bool m_dense = false; // query sets: rowid = position + 1 until a row is deleted
    // Read-only joins keep only their keyset: per row the rowids of its joined
    // table rows, in the query's order. Each row is read through those rowids
    // when it is asked for, so opening never copies the joined columns.
    bool m_keyset = false;
    // Per row the rowids of its joined table rows, in the query's order; a
    // keyset counted in the background is still being read: rows are taken
    // as they are asked for, and between events.
    Keyset m_keys;
    bool readingOn() const { return m_keys.readingOn(); }
    // Where a far search looks first; none when the list cannot be served so.
    std::unique_ptr<FarMatch> m_farMatch;
    std::vector<qint64> m_farKeys; // the far match's row and its followers, m_keys.width() keys a row
    long m_farAt = 0;              // the shown place of the far match
    long m_farRow = -1;            // the current row among m_farKeys; -1: none
    quint64 m_shownGeneration = 0;
    // The last search from the first row, and the keys of the row it found
    // (none: no match), for the search that follows a typed character.
    QString m_lastHitCriteria;
    std::vector<qint64> m_lastHitKeys;
    long farRows() const { return m_keys.width() > 0 ? long(m_farKeys.size() / size_t(m_keys.width())) : 0; }
    void setFarCurrent(long row);
    // Shows a match found ahead of the reading, with its followers, as the current row.
    void showFarMatch(std::vector<qint64> &&far);
    void dropFar();
    // Places the far rows once the reading has met them.
    void settleFar();
    // Reads on until the far current row's number is known.
    void resolveFar();
    long knownIndexOf(const qint64 *keys) const { return m_keys.indexOf(keys); }
    bool m_background = false;
    static long s_firstRows;
    static qint64 s_atOnce;
    static long s_sliceRows;
    bool m_sliceQueued = false;
    long m_rowsTold = 0; // rows known when the listener was last called
    std::function<void()> m_onRows;
    QString m_keysetRow;  // the query's columns of one joined row, by rowids
    QStringList m_keyRefs;   // what the query calls each joined table
    QStringList m_keyTables; // each joined table as "table" or "table AS ref"
    long keyRows() const { return m_keys.rows(); }
    // Reads keys as Keyset::read does, and places a far match the reading meets.
    bool readKeys(long rows, qint64 budget = 0);
    // Every key.
    void readAllKeys();
    void endKeyStatement() { m_keys.end(); }
    // A whole index whose first column is `column`, ascending and blind to
    // case (the order of the lists' plain texts); "" when there is none.
    QString caseBlindIndexOn(const QString &table, const QString &column);
    // The rows per value of an index's first column, from the planner
    // statistics; 0 when the file has none.
    long rowsPerValue(const QString &index);
    void readKeysLater();
    void keysFromRow(long index, std::vector<qint64> &keys) const { m_keys.row(index, keys); }
    int criteriaTable(const QString &criteria) const;
    bool findInKeyset(const QString &criteria, const QString &crit, const std::vector<QString> &literals, bool forward,
                      qint64 from);
    QString m_browse;     // quoted table the set walks
    QString m_base;       // quoted table writes go to ("" = read-only)
    std::vector<FieldInfo> m_fields;
    QString m_rowColumns; // what a row is read as: the written table's rowid, then the fields
    QString m_selectRow;
    bool m_readOnFind = false;
    // The statement of the last forward search that found a row, kept
    // stepping for the FindNext that follows (read-on-find sets only).
    sqlite3_stmt *m_cursor = nullptr;
    QString m_cursorCriteria;
    qint64 m_cursorRowid = 0;
    quint64 m_cursorGeneration = 0;
    qint64 m_cursorChanges = 0;

    qint64 m_rowid = 0;
    bool m_hasCurrent = false;
    bool m_bof = true;
    bool m_eof = true;
    bool m_deleted = false;
    long m_pos = -1;
    long m_count = -1;
    bool m_noMatch = false;
    std::vector<QVariant> m_row;
    bool m_rowLoaded = false;

    std::function<void()> m_onMove;
    void notifyMove()
    {
        if (m_onMove)
            m_onMove();
    }

    EditMode m_mode = EditMode::None;
    std::vector<QVariant> m_buffer;
    std::vector<QVariant> m_defaults; // a new row's values
    std::vector<char> m_dirty;
    bool m_bufferFromDefaults = false; // m_buffer is m_defaults but where m_dirty is set
    // A statement of the connection's cache held at hand, valid while the
    // connection keeps its statements (rows added or deleted by the thousand
    // would otherwise look their long texts up each time).
    struct KeptStatement
    {
        sqlite3_stmt *st = nullptr;
        quint64 generation = 0;
    };
    sqlite3_stmt *kept(KeptStatement &k, const QString &sql);
    struct InsertPlan
    {
        QString sql;
        std::vector<size_t> idx; // the written fields, in the statement's order
        KeptStatement statement;
        std::vector<std::vector<char>> utf8; // each parameter's text, bound without SQLite's copy
    };
    struct KeyedStatement
    {
        QString pattern;
        quint64 nonAscii = 0; // which values are not plain ASCII
        QString sql;
        KeptStatement statement;
    };
    std::vector<KeyedStatement> m_keyedDeletes, m_keyedExists;
    // The kept statement "head" with the pattern's translation for %2 (and
    // the base table for %1), or nullptr when the pattern's translation
    // depends on more than the ASCII-ness of its values.
    KeyedStatement *keyedStatement(std::vector<KeyedStatement> &kept, const QString &head, const QString &pattern,
                                const std::vector<QString> &values);
    // The keyed statement, prepared once; where it cannot be prepared, the
    // statement with the values pasted, so that the error names them.
    sqlite3_stmt *keptStatement(KeyedStatement &keyed, const QString &pattern, const std::vector<QString> &values);
    struct KeyedShape
    {
        QString pattern;
        quint64 nonAscii = 0;
        QString shape;
    };
    std::vector<KeyedShape> m_keyedFinds;
    static bool keyedPatternFits(const QString &pattern, const std::vector<QString> &values);
    std::map<std::vector<char>, InsertPlan> m_insertPlans; // per set of written fields
    mutable QHash<QString, int> m_indexOf;       // field index per name asked for
    // The same for names given as views (element names cut from import
    // lines): open addressing on the view's hash, no copy of the name.
    struct ViewIndex
    {
        QString name;
        int index = 0;
    };
    mutable std::vector<ViewIndex> m_viewIndex;
    mutable int m_viewIndexUsed = 0;
    // Statement texts per translated criteria.
    QHash<QString, QString> m_deleteSql, m_findForwardSql, m_findBackwardSql;
    // The last search's criteria as given, its translation and its literals.
    QString m_lastCriteria, m_lastShape;
    std::vector<QString> m_lastLiterals;
};

} // namespace engine
