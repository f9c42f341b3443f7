// What a query's text says: its tables and joins, its sort terms, its search criteria.
#pragma once

#include "engine/SortedWalk.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// The text alone is read here; nothing asks the database, but for the
// questions a caller answers through the functions it hands in.
namespace engine::querytext {

// ---------------------------------------------------------------- names and lists

// A name without its brackets and the blanks around it.
QString bare(QString name);
// The next token of a FROM clause (or any list) from position i: a
// bracketed or quoted name, a word, or a single other character; empty at
// the end.
QString fromToken(const QString &from, qsizetype &i);
// Splits a list at its commas outside brackets, quotes and parentheses.
QStringList topLevelParts(const QString &list);

// ---------------------------------------------------------------- FROM: tables and joins

// A query whose rows are rows of one table, one for one: those can be edited
// and deleted through the set. Grouping, DISTINCT and joins make rows that
// stand for several table rows or for none.
bool isPlainOneTableSelect(const QString &sql);

// A query whose rows are pairs (triples ...) of table rows joined by INNER
// or CROSS joins: its parts, and the tables as the FROM clause names them.
struct PlainJoin
{
    QString select; // the select list
    QString from;
    QString where;
    QString order;
    QStringList tables; // as written, brackets included
    QStringList refs;   // what the query calls them: the alias, else the table
};
std::optional<PlainJoin> plainJoin(const QString &sql);

// The conditions of a FROM clause's ON parts, each with the joined tables
// it names (by their qualifiers).
struct JoinCondition
{
    QString text;
    QList<int> refs;
};
// None when a condition names a table the join does not.
std::optional<std::vector<JoinCondition>> joinConditions(const QString &from, const QStringList &refs);
// The joined tables in an order in which each one after `first` is tied to
// those before it by an ON condition; none when a table has no such tie.
std::optional<QList<int>> joinOrderFrom(int first, const std::vector<JoinCondition> &conditions, int tables);
// The WHERE of a join whose tables are named in a fixed order (CROSS JOIN):
// its ON conditions and its own WHERE.
QString conditionsAsWhere(const PlainJoin &j, const std::vector<JoinCondition> &conditions);
// The tables in the order `placed`, joined so that the planner keeps it;
// the table `indexed` walks `index`.
QString inFixedOrder(const QList<int> &placed, const QStringList &tables, int indexed = -1, const QString &index = {});

// ---------------------------------------------------------------- ORDER BY: sort terms

// A sort term without its direction; `descending` tells which it was.
QString withoutDirection(QString term, bool *descending = nullptr);
// The joined table a "ref.column" names; -1 for anything else.
int refOf(const QString &term, const QStringList &refs, QString *columnName = nullptr);
// An ORDER BY list whose German-order terms sort by their byte keys
// instead: the same order, compared as bytes.
QString bySortKeys(const QString &order);

// FROM and WHERE of a join that hand out its rows in the order of its
// first sort column, a few at a time: that column's table walked first
// (through its index), each further table looked up by a condition on the
// ones before it, in a fixed order (CROSS JOIN); the ON conditions join the
// WHERE. Only when every sort term is a column of a joined table whose
// values are plain ASCII (`noneBeyondAscii` runs the probe given: a value
// beyond ASCII ends it with an error or a row), and the first one has an
// index of its own (`indexOn` names it). `rowsPerValue` tells how many
// rows that index holds per value: with many, the probe of the first
// column visits each value once instead of every row.
std::optional<std::pair<QString, QString>> inSortOrder(const PlainJoin &j, const QStringList &tables,
                                                       const std::function<bool(const QString &)> &noneBeyondAscii,
                                                       const std::function<QString(const QString &, const QString &)> &indexOn,
                                                       const std::function<long(const QString &)> &rowsPerValue = {});
// The statements of a SortedWalk over a join whose German-order sort terms
// are all columns of one joined table; none for any other join.
std::optional<SortedWalk::Plan> sortedWalkPlan(const PlainJoin &j, const QStringList &tables, const QStringList &rowids,
                                               const std::function<bool(const QString &, const QString &)> &caseBlindIndex);

// ---------------------------------------------------------------- WHERE: search criteria

// Replaces each 'text' literal of a translated criteria text by a parameter
// and collects the values; names in brackets or double quotes stay as they are.
QString literalsAsParameters(const QString &sql, std::vector<QString> &values);
// Which values hold more than ASCII, one bit a value.
quint64 nonAsciiValues(const std::vector<QString> &values);
// True when a Len(...) is compared with a text literal ("Len(x) > '3'"),
// whose translation depends on the literal's digits.
bool lenComparedWithText(const QString &criteria);

// A search for typed text and "*" on one column, where the rows that can
// match lie in one stretch of that column's index: the text plain ASCII
// without wildcards, and without "i" or "k", whose capitals have look-alikes
// beyond ASCII ("İ", the Kelvin sign) that match them but sort elsewhere.
struct PrefixRange
{
    QString column; // as the criteria name it
    QString from, to;
};
std::optional<PrefixRange> prefixRange(const QString &criteria);

// The same for any typed text without wildcards: the stretches of the
// column's case-blind index that hold every row that can match, one per way
// of writing the text's letters that the index does not fold (an umlaut in
// either case, "İ" for "i", the Kelvin sign for "k"); `ascii` names the one
// of plain ASCII, if the text has one.
struct PrefixRanges
{
    QString column;
    std::vector<std::pair<QString, QString>> ranges;
    int ascii = -1;
};
std::optional<PrefixRanges> prefixRanges(const QString &criteria);

// Whether every row that meets `narrower` meets `wider`: the same column's
// search with more typed after the same text.
bool narrows(const QString &wider, const QString &narrower);

} // namespace engine::querytext
