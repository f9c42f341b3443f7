#pragma once

#include <QString>
#include <functional>
#include <optional>

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

// Puts a value between apostrophes for a query or criteria text, doubling the
// apostrophes it holds so that it can never end the literal early.
QString sqlQuote(const QString &value);

// Wraps a name as [name] for a query text.
QString sqlName(const QString &name);

} // namespace engine
