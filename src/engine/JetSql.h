// Jet's SQL dialect turned into SQLite's.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace engine {

// Rewrites the few places where Jet's SQL dialect and SQLite's differ; the
// rest (bracketed names, joins, Is Null, LIKE through our own like()) SQLite
// reads as it stands.
//  - SELECT DISTINCTROW          -> SELECT (rows equal in value stay apart)
//  - True / False                -> -1 / 0
//  - Len(x) > '0'                -> Len(x) > 0 (Jet compares numerically)
//  - "text" literals             -> 'text'
// The optional resolver maps a (qualifier, name) column reference to another
// column text; it serves the criteria of query-based record sets, whose rows
// live under other column names.
using ColumnResolver = std::function<std::optional<QString>(const QString &qualifier, const QString &name)>;

QString translateJetSql(const QString &sql, const ColumnResolver &resolver = {});

// The statement the engine runs for a Jet text: its translation, with Jet's
// comparison and order named in it. The stored files leave text columns to
// SQLite's NOCASE, which every SQLite tool knows but which folds ASCII
// letters only; so
//  - a comparison with a column on either side compares by JETTEXT (case
//    ignored, umlauts with their letters but apart from them, "ß" as "ss"),
//    except "=" against an ASCII text or between two columns: there NOCASE
//    gives the keys the same answer and lets SQLite use the column's index;
//  - a plain column in ORDER BY or GROUP BY sorts and groups by JETTEXT.
// A COLLATE written in the text is kept as it stands.
QString engineSql(const QString &sql, const ColumnResolver &resolver = {});

// The same query sorted and grouped by NOCASE, the order of the stored
// indexes, which for ASCII texts is Jet's order too; a check in its WHERE
// clause fails the statement with kBeyondAscii (SqlFunctions.h) on the first
// sorted value beyond ASCII, and the exact text must run instead. Empty when
// the query has no such shortcut (no sort, or a sort term that is more than a
// column).
QString engineSqlAsciiSort(const QString &sql);

// Puts a value between apostrophes for a query or criteria text, doubling the
// apostrophes it holds so that it can never end the literal early.
QString sqlQuote(const QString &value);

// Wraps a name as [name] for a query text.
QString sqlName(const QString &name);

// A criteria text from its pattern, in which each "?" outside names stands
// for a value, and the values in order, each put in as sqlQuote does.
QString criteriaWithValues(const QString &pattern, const std::vector<QString> &values);

} // namespace engine
