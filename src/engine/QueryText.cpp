#include "engine/QueryText.h"

#include "engine/Connection.h"

#include <QRegularExpression>
#include <algorithm>

namespace engine::querytext {

namespace {

// The query's words only: literals and bracketed names are blanked, so that a
// value or a column name can never look like a keyword or a comma.
QString skeleton(const QString &sql)
{
    QString out = sql;
    QChar open;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (open.isNull()) {
            if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
                open = c;
            else if (c == QLatin1Char('['))
                open = QLatin1Char(']');
        } else if (c == open) {
            open = QChar();
        } else {
            out[i] = QLatin1Char('x');
        }
    }
    return out;
}

} // namespace

// Replaces each 'text' literal of a translated criteria text by a parameter
// and collects the values; names in brackets or double quotes stay as they are.
QString literalsAsParameters(const QString &sql, std::vector<QString> &values)
{
    // Runs for every search and every delete by criteria: copies runs of
    // text between the quotes instead of single characters.
    QString out;
    out.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype copied = 0; // sql[copied, i) is still to be copied to out
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('[') || c == QLatin1Char('"')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('"');
            qsizetype j = sql.indexOf(close, i + 1);
            if (j < 0)
                j = n - 1;
            i = j;
        } else if (c == QLatin1Char('\'')) {
            QString value;
            qsizetype j = i + 1;
            qsizetype from = j;
            for (;;) {
                j = sql.indexOf(QLatin1Char('\''), j);
                if (j < 0)
                    break;
                if (j + 1 < n && sql.at(j + 1) == QLatin1Char('\'')) {
                    value += QStringView(sql).mid(from, j + 1 - from);
                    j += 2;
                    from = j;
                    continue;
                }
                value += QStringView(sql).mid(from, j - from);
                break;
            }
            if (j < 0) {
                // Unclosed: left as typed, so the find fails as a syntax error.
                break;
            }
            out += QStringView(sql).mid(copied, i - copied);
            out += QLatin1Char('?');
            values.push_back(std::move(value));
            i = j;
            copied = j + 1;
        }
    }
    out += QStringView(sql).mid(copied);
    return out;
}

// Which values hold more than ASCII, one bit a value.
quint64 nonAsciiValues(const std::vector<QString> &values)
{
    quint64 mask = 0;
    for (size_t k = 0; k < values.size(); ++k)
        if (!std::all_of(values[k].cbegin(), values[k].cend(), [](QChar c) { return c.unicode() < 0x80; }))
            mask |= quint64(1) << k;
    return mask;
}

// True when a Len(...) is compared with a text literal ("Len(x) > '3'"),
// whose translation depends on the literal's digits.
bool lenComparedWithText(const QString &criteria)
{
    for (qsizetype at = criteria.indexOf(QLatin1String("len"), 0, Qt::CaseInsensitive); at >= 0;
         at = criteria.indexOf(QLatin1String("len"), at + 3, Qt::CaseInsensitive)) {
        qsizetype i = at + 3;
        while (i < criteria.size() && criteria.at(i).isSpace())
            ++i;
        if (i >= criteria.size() || criteria.at(i) != QLatin1Char('('))
            continue;
        int depth = 0;
        for (; i < criteria.size(); ++i) {
            if (criteria.at(i) == QLatin1Char('('))
                ++depth;
            else if (criteria.at(i) == QLatin1Char(')') && --depth == 0)
                break;
        }
        ++i;
        while (i < criteria.size() && (criteria.at(i).isSpace() || criteria.at(i) == QLatin1Char('=') ||
                                       criteria.at(i) == QLatin1Char('<') || criteria.at(i) == QLatin1Char('>')))
            ++i;
        if (i >= criteria.size() || criteria.at(i) == QLatin1Char('\''))
            return true;
    }
    return false;
}

QString bare(QString name)
{
    name = name.trimmed();
    name.remove(QLatin1Char('['));
    name.remove(QLatin1Char(']'));
    return name;
}


// A query whose rows are rows of one table, one for one: those can be edited
// and deleted through the set. Grouping, DISTINCT and joins make rows that
// stand for several table rows or for none.
bool isPlainOneTableSelect(const QString &sql)
{
    const QString s = skeleton(sql);
    static const QRegularExpression combining(QStringLiteral("\\b(JOIN|GROUP\\s+BY|UNION|HAVING|DISTINCT|TOP)\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (combining.match(s).hasMatch())
        return false;
    static const QRegularExpression from(QStringLiteral("\\bFROM\\b(.*?)(\\bWHERE\\b|\\bORDER\\b|;|$)"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    const auto m = from.match(s);
    if (!m.hasMatch())
        return false;
    // One table under its own name: an alias would hide the rowid we add.
    static const QRegularExpression oneName(QStringLiteral("^\\s*[^\\s,()]+\\s*$"));
    return oneName.match(m.captured(1)).hasMatch();
}


// The next token of a FROM clause from position i: a bracketed or quoted
// name, a word, or a single other character; empty at the end.
QString fromToken(const QString &from, qsizetype &i)
{
    const qsizetype n = from.size();
    while (i < n && from.at(i).isSpace())
        ++i;
    if (i >= n)
        return {};
    const qsizetype start = i;
    const QChar c = from.at(i);
    if (c == QLatin1Char('[') || c == QLatin1Char('"') || c == QLatin1Char('\'')) {
        const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
        const qsizetype j = from.indexOf(close, i + 1);
        i = j < 0 ? n : j + 1;
    } else if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$')) {
        while (i < n && (from.at(i).isLetterOrNumber() || from.at(i) == QLatin1Char('_') || from.at(i) == QLatin1Char('$')))
            ++i;
    } else {
        ++i;
    }
    return from.mid(start, i - start);
}

std::optional<PlainJoin> plainJoin(const QString &sql)
{
    const QString s = skeleton(sql);
    static const QRegularExpression unsupported(
        QStringLiteral("\\b(GROUP|HAVING|UNION|DISTINCT|TOP|LIMIT|LEFT|RIGHT|FULL|OUTER|NATURAL|INTO|TRANSFORM|PIVOT|"
                       "PARAMETERS|USING)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    if (unsupported.match(s).hasMatch())
        return std::nullopt;
    static const QRegularExpression head(QStringLiteral("^\\s*SELECT(\\s+ALL)?\\s"), QRegularExpression::CaseInsensitiveOption);
    const auto h = head.match(s);
    if (!h.hasMatch())
        return std::nullopt;
    // One SELECT (no subquery), one FROM, then WHERE and ORDER BY at most once each, in this order.
    static const QRegularExpression clause(QStringLiteral("\\b(SELECT|FROM|WHERE|ORDER\\s+BY)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    qsizetype from = -1, fromEnd = -1, where = -1, whereEnd = -1, order = -1, orderEnd = -1;
    int selects = 0;
    for (auto it = clause.globalMatch(s); it.hasNext();) {
        const auto m = it.next();
        const QString word = m.captured(1).toUpper();
        if (word == QLatin1String("SELECT")) {
            if (++selects > 1)
                return std::nullopt;
        } else if (word == QLatin1String("FROM") && from < 0) {
            from = m.capturedStart();
            fromEnd = m.capturedEnd();
        } else if (word == QLatin1String("WHERE") && where < 0 && from >= 0 && order < 0) {
            where = m.capturedStart();
            whereEnd = m.capturedEnd();
        } else if (word.startsWith(QLatin1String("ORDER")) && order < 0 && from >= 0) {
            order = m.capturedStart();
            orderEnd = m.capturedEnd();
        } else {
            return std::nullopt;
        }
    }
    if (from < 0)
        return std::nullopt;
    PlainJoin j;
    j.select = sql.mid(h.capturedEnd(), from - h.capturedEnd()).trimmed();
    const qsizetype fromStop = where >= 0 ? where : order >= 0 ? order : sql.size();
    j.from = sql.mid(fromEnd, fromStop - fromEnd).trimmed();
    if (where >= 0)
        j.where = sql.mid(whereEnd, (order >= 0 ? order : sql.size()) - whereEnd).trimmed();
    if (order >= 0)
        j.order = sql.mid(orderEnd).trimmed();
    // One row per joined row: no aggregate folds them, no term names a column by its number.
    static const QRegularExpression aggregate(
        QStringLiteral("\\b(count|sum|avg|min|max|first|last|stdev|stdevp|var|varp)\\s*\\("),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression byNumber(QStringLiteral("(^|,)\\s*\\d+\\s*(ASC|DESC)?\\s*(,|$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (aggregate.match(skeleton(j.select)).hasMatch() || byNumber.match(skeleton(j.order)).hasMatch())
        return std::nullopt;

    static const QStringList joinWords{QStringLiteral("INNER"), QStringLiteral("CROSS"), QStringLiteral("JOIN"),
                                       QStringLiteral("ON")};
    bool tableNext = true;
    qsizetype i = 0;
    for (QString t = fromToken(j.from, i); !t.isEmpty(); t = fromToken(j.from, i)) {
        if (t == QLatin1String(","))
            return std::nullopt; // a comma join, or a list in a join condition: the rows are copied
        if (!tableNext) {
            if (t.compare(QLatin1String("JOIN"), Qt::CaseInsensitive) == 0)
                tableNext = true;
            continue;
        }
        if (t == QLatin1String("("))
            continue;
        if (!t.front().isLetter() && t.front() != QLatin1Char('[') && t.front() != QLatin1Char('"'))
            return std::nullopt;
        j.tables << t;
        j.refs << t;
        tableNext = false;
        qsizetype after = i;
        QString next = fromToken(j.from, after);
        if (next.compare(QLatin1String("AS"), Qt::CaseInsensitive) == 0) {
            j.refs.last() = fromToken(j.from, after);
            i = after;
        } else if (!next.isEmpty() && (next.front().isLetter() || next.front() == QLatin1Char('['))
                   && !joinWords.contains(next, Qt::CaseInsensitive)) {
            j.refs.last() = next;
            i = after;
        }
    }
    if (j.tables.size() < 2)
        return std::nullopt;
    return j;
}

// Splits a list at its commas outside brackets, quotes and parentheses.
QStringList topLevelParts(const QString &list)
{
    QStringList parts;
    int depth = 0;
    qsizetype start = 0, i = 0;
    while (i < list.size()) {
        const qsizetype at = i;
        const QString t = fromToken(list, i);
        if (t.isEmpty())
            break;
        if (t == QLatin1String("("))
            ++depth;
        else if (t == QLatin1String(")"))
            --depth;
        else if (t == QLatin1String(",") && depth == 0) {
            parts << list.mid(start, at - start).trimmed();
            start = i;
        }
    }
    parts << list.mid(start).trimmed();
    return parts;
}

// An ORDER BY list whose German-order terms sort by their byte keys
// instead: the same order, compared as bytes.
QString bySortKeys(const QString &order)
{
    static const QRegularExpression german(QStringLiteral("^(.*\\S)\\s+COLLATE\\s+JETTEXT(\\s+(ASC|DESC))?$"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    QStringList terms;
    for (const QString &term : topLevelParts(order)) {
        const auto m = german.match(term);
        terms << (m.hasMatch() ? QStringLiteral("jet_sortkey(%1)%2").arg(m.captured(1), m.captured(2)) : term);
    }
    return terms.join(QLatin1String(", "));
}


// A typed search: one column LIKE a text without pattern characters, then "*".
static const QRegularExpression &prefixSearch()
{
    static const QRegularExpression search(
        QStringLiteral("^\\s*(\\w+\\.(?:\\[[^\\]]+\\]|\\w+))\\s+LIKE\\s+'([^'*?#\\[\\]]+)\\*'\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    return search;
}

std::optional<PrefixRange> prefixRange(const QString &criteria)
{
    const auto m = prefixSearch().match(criteria);
    if (!m.hasMatch())
        return std::nullopt;
    const QString typed = m.captured(2).toLower();
    for (const QChar c : typed)
        if (c.unicode() >= 0x7F || c.unicode() < 0x20 || c == QLatin1Char('i') || c == QLatin1Char('k'))
            return std::nullopt;
    PrefixRange r{m.captured(1), typed, typed};
    r.to.back() = QChar(r.to.back().unicode() + 1);
    return r;
}


std::optional<PrefixRanges> prefixRanges(const QString &criteria)
{
    const auto m = prefixSearch().match(criteria);
    if (!m.hasMatch())
        return std::nullopt;
    PrefixRanges r{m.captured(1), {}, -1};
    std::vector<QString> texts{QString()};
    for (const QChar c : m.captured(2)) {
        if (c.isSurrogate() || c.unicode() < 0x20 || c.unicode() >= 0xD000)
            return std::nullopt;
        QStringList ways;
        const QChar lower = c.toLower();
        if (lower.unicode() < 0x80)
            ways << QString(lower);
        else
            ways << QString(lower) << QString(c.toUpper());
        if (lower == QLatin1Char('i'))
            ways << QString(QChar(0x130));
        else if (lower == QLatin1Char('k'))
            ways << QString(QChar(0x212A));
        ways.removeDuplicates();
        std::vector<QString> longer;
        for (const QString &t : texts)
            for (const QString &w : std::as_const(ways))
                longer.push_back(t + w);
        if (longer.size() > 8)
            return std::nullopt;
        texts = std::move(longer);
    }
    for (const QString &from : texts) {
        QString to = from;
        to.back() = QChar(to.back().unicode() + 1);
        if (std::all_of(from.cbegin(), from.cend(), [](QChar c) { return c.unicode() < 0x80; }))
            r.ascii = int(r.ranges.size());
        r.ranges.emplace_back(from, to);
    }
    return r;
}

// Whether every row that meets `narrower` meets `wider`: the same column's
// search with more typed after the same text (a bracket could open a set
// that the longer text closes).
bool narrows(const QString &wider, const QString &narrower)
{
    static const QRegularExpression search(QStringLiteral("^(.*\\S)\\s+LIKE\\s+'((?:[^']|'')*)\\*'\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    const auto w = search.match(wider), n = search.match(narrower);
    if (!w.hasMatch() || !n.hasMatch() || w.captured(1) != n.captured(1))
        return false;
    const QString typed = w.captured(2);
    return !typed.contains(QLatin1Char('[')) && n.captured(2).startsWith(typed);
}

// A sort term without its direction; `descending` tells which it was.
QString withoutDirection(QString term, bool *descending)
{
    static const QRegularExpression direction(QStringLiteral("\\s+(ASC|DESC)\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const auto m = direction.match(term);
    if (descending)
        *descending = m.hasMatch() && m.captured(1).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
    return m.hasMatch() ? term.left(m.capturedStart()) : term;
}

// The joined table a "ref.column" names; -1 for anything else.
int refOf(const QString &term, const QStringList &refs, QString *columnName)
{
    qsizetype i = 0;
    const QString ref = fromToken(term, i);
    if (fromToken(term, i) != QLatin1String("."))
        return -1;
    const QString column = fromToken(term, i);
    if (column.isEmpty() || !fromToken(term, i).isEmpty())
        return -1;
    if (columnName)
        *columnName = bare(column);
    for (int k = 0; k < refs.size(); ++k)
        if (bare(refs.at(k)).compare(bare(ref), Qt::CaseInsensitive) == 0)
            return k;
    return -1;
}


std::optional<std::vector<JoinCondition>> joinConditions(const QString &from, const QStringList &refs)
{
    static const QStringList ends{QStringLiteral("INNER"), QStringLiteral("CROSS"), QStringLiteral("JOIN")};
    std::vector<JoinCondition> conditions;
    qsizetype i = 0;
    int depth = 0;
    for (QString t = fromToken(from, i); !t.isEmpty(); t = fromToken(from, i)) {
        if (t == QLatin1String("("))
            ++depth;
        else if (t == QLatin1String(")"))
            --depth;
        if (t.compare(QLatin1String("ON"), Qt::CaseInsensitive) != 0)
            continue;
        const int onDepth = depth;
        const qsizetype start = i;
        qsizetype stop = from.size();
        JoinCondition c;
        QString previous;
        for (;;) {
            const qsizetype at = i;
            const QString u = fromToken(from, i);
            if (u.isEmpty())
                break;
            if (u == QLatin1String("("))
                ++depth;
            if (u == QLatin1String(")") && --depth < onDepth) {
                ++depth; // the outer loop counts it again
                i = at;
                stop = at;
                break;
            }
            if (depth == onDepth && ends.contains(u, Qt::CaseInsensitive)) {
                i = at;
                stop = at;
                break;
            }
            if (u == QLatin1String(".")) {
                int k = -1;
                for (int r = 0; r < refs.size(); ++r)
                    if (bare(refs.at(r)).compare(bare(previous), Qt::CaseInsensitive) == 0)
                        k = r;
                if (k < 0)
                    return std::nullopt;
                if (!c.refs.contains(k))
                    c.refs << k;
            }
            previous = u;
        }
        c.text = from.mid(start, stop - start).trimmed();
        conditions.push_back(std::move(c));
    }
    return conditions;
}

// The joined tables in an order in which each one after `first` is tied to
// those before it by an ON condition; none when a table has no such tie.
std::optional<QList<int>> joinOrderFrom(int first, const std::vector<JoinCondition> &conditions, int tables)
{
    QList<int> placed{first};
    while (placed.size() < tables) {
        int next = -1;
        for (const JoinCondition &c : conditions) {
            QList<int> outside;
            for (int k : c.refs)
                if (!placed.contains(k))
                    outside << k;
            if (outside.size() == 1) {
                next = outside.front();
                break;
            }
        }
        if (next < 0)
            return std::nullopt;
        placed << next;
    }
    return placed;
}

// The WHERE of a join whose tables are named in a fixed order (CROSS JOIN):
// its ON conditions and its own WHERE.
QString conditionsAsWhere(const PlainJoin &j, const std::vector<JoinCondition> &conditions)
{
    QStringList where;
    for (const JoinCondition &c : conditions)
        where << QLatin1Char('(') + c.text + QLatin1Char(')');
    if (!j.where.isEmpty())
        where << QLatin1Char('(') + j.where + QLatin1Char(')');
    return where.join(QLatin1String(" AND "));
}

QString inFixedOrder(const QList<int> &placed, const QStringList &tables, int indexed, const QString &index)
{
    QStringList from;
    for (int k : placed)
        from << (k == indexed ? tables.at(k) + QStringLiteral(" INDEXED BY ") + quoteIdent(index) : tables.at(k));
    return from.join(QLatin1String(" CROSS JOIN "));
}

// FROM and WHERE of a join that hand out its rows in the order of its
// first sort column, a few at a time: that column's table walked first
// (through its index), each further table looked up by a condition on the
// ones before it, in a fixed order (CROSS JOIN); the ON conditions join the
// WHERE. Only when every sort term is a column of a joined table whose
// values are plain ASCII (`noneBeyondAscii` runs the probe given: a value
// beyond ASCII ends it with an error or a row), and the
// first one has an index of its own (`indexOn` names it): the first table
// is told to walk it, or a condition on another of its indexes would lead
// the planner to read all rows and sort them.
std::optional<std::pair<QString, QString>> inSortOrder(const PlainJoin &j, const QStringList &tables,
                                                       const std::function<bool(const QString &)> &noneBeyondAscii,
                                                       const std::function<QString(const QString &, const QString &)> &indexOn,
                                                       const std::function<long(const QString &)> &rowsPerValue)
{
    static const QRegularExpression collate(QStringLiteral("\\s+COLLATE\\s+\\w+\\s*$"), QRegularExpression::CaseInsensitiveOption);
    int lead = -1;
    QString leadIndex;
    for (QString term : topLevelParts(j.order)) {
        term = withoutDirection(term);
        term.remove(collate);
        QString column;
        const int k = refOf(term, j.refs, &column);
        if (k < 0)
            return std::nullopt;
        bool eachValueOnce = false;
        if (lead < 0) {
            lead = k;
            leadIndex = indexOn(j.tables.at(k), column);
            if (leadIndex.isEmpty())
                return std::nullopt;
            // A place shared by thousands of businesses is looked at once,
            // through the index, not once per business.
            eachValueOnce = rowsPerValue && rowsPerValue(leadIndex) >= 64;
        }
        // A text that starts beyond ASCII is found in its index at once; a
        // scan of the index would meet those last.
        if (!noneBeyondAscii(QStringLiteral("SELECT 1 FROM %1 WHERE %2 >= CAST(X'80' AS TEXT) COLLATE NOCASE LIMIT 1")
                                 .arg(tables.at(k), term))
            || !noneBeyondAscii(
                eachValueOnce
                    ? QStringLiteral("WITH RECURSIVE v(x) AS (SELECT (SELECT %2 FROM %1 WHERE %2 IS NOT NULL ORDER BY %2 "
                                     "COLLATE NOCASE LIMIT 1) UNION ALL SELECT (SELECT %2 FROM %1 WHERE %2 > v.x COLLATE "
                                     "NOCASE ORDER BY %2 COLLATE NOCASE LIMIT 1) FROM v WHERE v.x IS NOT NULL) "
                                     "SELECT 1 FROM v WHERE jet_ascii_sort(v.x) IS NULL LIMIT 1")
                          .arg(tables.at(k), term)
                    : QStringLiteral("SELECT 1 FROM %1 WHERE jet_ascii_sort(%2) IS NULL LIMIT 1").arg(tables.at(k), term)))
            return std::nullopt;
    }
    const auto conditions = joinConditions(j.from, j.refs);
    if (lead < 0 || !conditions)
        return std::nullopt;
    const auto placed = joinOrderFrom(lead, *conditions, int(j.refs.size()));
    if (!placed)
        return std::nullopt; // a table no condition ties to the others
    return std::make_pair(inFixedOrder(*placed, tables, lead, leadIndex), conditionsAsWhere(j, *conditions));
}

// The statements of a SortedWalk over a join whose German-order sort terms
// are all columns of one joined table; none for any other join.
std::optional<SortedWalk::Plan> sortedWalkPlan(const PlainJoin &j, const QStringList &tables, const QStringList &rowids,
                                               const std::function<bool(const QString &, const QString &)> &caseBlindIndex)
{
    static const QRegularExpression german(QStringLiteral("^(.*\\S)\\s+COLLATE\\s+JETTEXT$"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    int lead = -1;
    QStringList keys, order;
    QString column;
    bool descending = false;
    for (const QString &term : topLevelParts(j.order)) {
        const auto m = german.match(withoutDirection(term, &descending));
        const int k = m.hasMatch() ? refOf(m.captured(1), j.refs, &column) : -1;
        if (k < 0 || (lead >= 0 && k != lead))
            return std::nullopt;
        lead = k;
        keys << QStringLiteral("jet_sortkey(%1)").arg(m.captured(1));
        order << QString::number(keys.size() + 1) + (descending ? QStringLiteral(" DESC") : QString());
    }
    const auto conditions = joinConditions(j.from, j.refs);
    if (lead < 0 || !conditions)
        return std::nullopt;
    const int n = int(j.refs.size());
    const auto fromLead = joinOrderFrom(lead, *conditions, n);
    const auto fromFirst = joinOrderFrom(0, *conditions, n);
    if (!fromLead || !fromFirst)
        return std::nullopt;
    const QString where = conditionsAsWhere(j, *conditions);
    const QString all = rowids.join(QLatin1String(", "));
    SortedWalk::Plan plan;
    plan.tables = n;
    plan.lead = lead;
    plan.leadOrder = QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %4, 1")
                         .arg(rowids.at(lead), keys.join(QLatin1String(", ")), tables.at(lead),
                              order.join(QLatin1String(", ")));
    plan.ofLeadRow = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1%4")
                         .arg(all, inFixedOrder(*fromLead, tables), rowids.at(lead),
                              where.isEmpty() ? QString() : QStringLiteral(" AND ") + where);
    if (keys.size() == 1 && caseBlindIndex(j.tables.at(lead), column)) {
        plan.leadTable = tables.at(lead);
        plan.leadRowid = rowids.at(lead);
        plan.column = topLevelParts(j.order).front();
        plan.column = german.match(withoutDirection(plan.column)).captured(1);
        plan.descending = descending;
    }
    if (lead != 0) {
        const QString scan = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY ")
                                 .arg(all, inFixedOrder(*fromFirst, tables),
                                      where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where);
        plan.inRowidOrder = scan + all;
        plan.inRowidOrderBack = scan + rowids.join(QLatin1String(" DESC, ")) + QStringLiteral(" DESC");
    }
    return plan;
}

} // namespace engine::querytext
