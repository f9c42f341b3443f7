#include "engine/JetSql.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace engine {

namespace {

enum class Tok { Word, Bracket, String, Number, Space, Other };

struct Token
{
    Tok kind;
    QString text; // Word/Bracket: the bare name; String: the value; else verbatim
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

std::vector<Token> tokenize(const QString &s)
{
    std::vector<Token> out;
    int i = 0;
    const int n = s.size();
    while (i < n) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            QString value;
            int j = i + 1;
            while (j < n) {
                if (s.at(j) == c) {
                    if (j + 1 < n && s.at(j + 1) == c) {
                        value.append(c);
                        j += 2;
                        continue;
                    }
                    break;
                }
                value.append(s.at(j++));
            }
            if (j >= n) {
                // An unclosed literal stays as typed, so that the query fails
                // as a syntax error instead of matching something else.
                out.push_back({Tok::Other, s.mid(i)});
                break;
            }
            out.push_back({Tok::String, value});
            i = j + 1;
        } else if (c == QLatin1Char('[')) {
            int j = s.indexOf(QLatin1Char(']'), i + 1);
            if (j < 0)
                j = n;
            out.push_back({Tok::Bracket, s.mid(i + 1, j - i - 1)});
            i = j + 1;
        } else if (c.isSpace()) {
            int j = i;
            while (j < n && s.at(j).isSpace())
                ++j;
            out.push_back({Tok::Space, s.mid(i, j - i)});
            i = j;
        } else if (c.isDigit()) {
            int j = i;
            while (j < n && (s.at(j).isDigit() || s.at(j) == QLatin1Char('.')))
                ++j;
            out.push_back({Tok::Number, s.mid(i, j - i)});
            i = j;
        } else if (isWordChar(c)) {
            int j = i;
            while (j < n && isWordChar(s.at(j)))
                ++j;
            out.push_back({Tok::Word, s.mid(i, j - i)});
            i = j;
        } else if ((c == QLatin1Char('<') || c == QLatin1Char('>')) && i + 1 < n
                   && (s.at(i + 1) == QLatin1Char('=') || s.at(i + 1) == QLatin1Char('>'))) {
            out.push_back({Tok::Other, s.mid(i, 2)});
            i += 2;
        } else {
            out.push_back({Tok::Other, QString(c)});
            ++i;
        }
    }
    return out;
}

bool isName(const Token &t)
{
    return t.kind == Tok::Word || t.kind == Tok::Bracket;
}

bool isComparison(const Token &t)
{
    static const QStringList ops = {QStringLiteral("="), QStringLiteral("<"), QStringLiteral(">"),
                                    QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>")};
    return t.kind == Tok::Other && ops.contains(t.text);
}

bool isAllDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!c.isDigit())
            return false;
    return true;
}

bool isKeyword(const QString &w)
{
    static const QStringList keywords = {
        QStringLiteral("SELECT"), QStringLiteral("DISTINCT"), QStringLiteral("DISTINCTROW"), QStringLiteral("ALL"),
        QStringLiteral("FROM"), QStringLiteral("WHERE"), QStringLiteral("AND"), QStringLiteral("OR"),
        QStringLiteral("NOT"), QStringLiteral("LIKE"), QStringLiteral("IS"), QStringLiteral("NULL"),
        QStringLiteral("INNER"), QStringLiteral("LEFT"), QStringLiteral("RIGHT"), QStringLiteral("OUTER"),
        QStringLiteral("JOIN"), QStringLiteral("ON"), QStringLiteral("ORDER"), QStringLiteral("BY"),
        QStringLiteral("GROUP"), QStringLiteral("HAVING"), QStringLiteral("ASC"), QStringLiteral("DESC"),
        QStringLiteral("AS"), QStringLiteral("IN"), QStringLiteral("BETWEEN"), QStringLiteral("TRUE"),
        QStringLiteral("FALSE"), QStringLiteral("LEN"), QStringLiteral("COUNT"), QStringLiteral("TRIM"),
        QStringLiteral("UCASE"), QStringLiteral("LCASE")};
    return keywords.contains(w.toUpper());
}

QString emitName(const QString &name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

bool isWord(const Token &t, const char *word)
{
    return t.kind == Tok::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isSymbol(const Token &t, const char *symbol)
{
    return t.kind == Tok::Other && t.text == QLatin1String(symbol);
}

bool isAscii(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

const QString kJetOrder = QStringLiteral(" COLLATE JETTEXT");
const QString kAsciiNoCase = QStringLiteral(" COLLATE NOCASE");

// Where the COLLATE clauses of engineSql go: after which token, and which.
class Collations
{
public:
    explicit Collations(const std::vector<Token> &t) : m_t(t), m_after(t.size())
    {
        for (size_t i = 0; i < t.size(); ++i)
            if (t[i].kind != Tok::Space)
                m_nz.push_back(i);
        m_name.assign(m_nz.size(), -1);
        // A setting's "=" assigns.
        if (has(0) && isWord(at(0), "PRAGMA"))
            return;
        findComparisons();
        // Criteria and the program's other statements have nothing to sort.
        if (has(0) && isWord(at(0), "SELECT"))
            findSortTerms();
    }
    const QString &after(size_t token) const { return m_after[token]; }

private:
    // Text: a quoted literal; Ascii: one of ASCII characters only.
    enum class Operand { None, Column, Ascii, Text, Other };

    const Token &at(size_t p) const { return m_t[m_nz[p]]; }
    bool has(long p) const { return p >= 0 && size_t(p) < m_nz.size(); }

    // Most tokens are never asked about; those that are, are asked several times.
    bool isNameAt(long p) const
    {
        if (!has(p))
            return false;
        signed char &known = m_name[size_t(p)];
        if (known < 0)
            known = classifyName(p) ? 1 : 0;
        return known;
    }

    bool classifyName(long p) const
    {
        const Token &tok = at(size_t(p));
        if (tok.kind == Tok::Bracket)
            return true;
        // A word is a column unless it is a keyword or calls a function.
        return tok.kind == Tok::Word && !isKeyword(tok.text) && !isWord(tok, "COLLATE")
               && !(has(p + 1) && isSymbol(at(size_t(p + 1)), "("));
    }

    Operand literalAt(long p) const { return isAscii(at(size_t(p)).text) ? Operand::Ascii : Operand::Text; }

    // The operand that ends at p, reading leftwards.
    Operand operandEndingAt(long p) const
    {
        if (!has(p))
            return Operand::None;
        if (at(size_t(p)).kind == Tok::String)
            return literalAt(p);
        return isNameAt(p) ? Operand::Column : Operand::Other;
    }

    // The operand that starts at p; end gets its last position.
    Operand operandStartingAt(long p, long &end) const
    {
        end = p;
        if (!has(p))
            return Operand::None;
        if (at(size_t(p)).kind == Tok::String)
            return literalAt(p);
        if (!isNameAt(p))
            return Operand::Other;
        if (has(p + 2) && isSymbol(at(size_t(p + 1)), ".") && isNameAt(p + 2))
            end = p + 2;
        return Operand::Column;
    }

    static bool simple(Operand o) { return o == Operand::Column || o == Operand::Ascii || o == Operand::Text; }

    void mark(long p, const QString &collation)
    {
        // A COLLATE already written in the text stays the one that counts.
        if (has(p + 1) && isWord(at(size_t(p + 1)), "COLLATE"))
            return;
        m_after[m_nz[size_t(p)]] = collation;
    }

    void findComparisons()
    {
        bool assigning = false; // in the SET list of an UPDATE, "=" assigns
        for (long p = 0; has(p); ++p) {
            const Token &op = at(size_t(p));
            if (isWord(op, "SET") || isWord(op, "WHERE"))
                assigning = isWord(op, "SET");
            if (assigning || !isComparison(op))
                continue;
            const Operand left = operandEndingAt(p - 1);
            long rightEnd = p + 1;
            const Operand right = operandStartingAt(p + 1, rightEnd);
            if (left != Operand::Column && right != Operand::Column)
                continue;
            const bool keyLike = op.text == QLatin1String("=")
                                 && (left == Operand::Ascii || right == Operand::Ascii
                                     || (left == Operand::Column && right == Operand::Column));
            const QString &collation = keyLike ? kAsciiNoCase : kJetOrder;
            if (simple(right))
                mark(rightEnd, collation);
            else if (simple(left))
                mark(p - 1, collation);
        }
    }

    void findSortTerms()
    {
        int depth = 0;
        int clauseDepth = -1; // depth of the ORDER BY / GROUP BY being read; -1: none
        bool termStart = false;
        bool fromSeen = false;
        m_shortcut = has(0) && isWord(at(0), "SELECT");
        for (long p = 0; has(p); ++p) {
            const Token &tok = at(size_t(p));
            if (isWord(tok, "UNION"))
                m_shortcut = false;
            if (depth == 0) {
                if (isWord(tok, "FROM"))
                    fromSeen = true;
                else if (fromSeen && isWord(tok, "WHERE") && m_where == npos)
                    m_where = m_nz[size_t(p)];
                else if (fromSeen && m_whereEnd == npos
                         && (isSymbol(tok, ";") || isWord(tok, "LIMIT")
                             || ((isWord(tok, "GROUP") || isWord(tok, "ORDER")) && has(p + 1)
                                 && isWord(at(size_t(p + 1)), "BY"))))
                    m_whereEnd = m_nz[size_t(p)];
            }
            if (isSymbol(tok, "(")) {
                ++depth;
                termStart = false;
                continue;
            }
            if (isSymbol(tok, ")")) {
                if (depth == clauseDepth)
                    clauseDepth = -1;
                --depth;
                continue;
            }
            if ((isWord(tok, "ORDER") || isWord(tok, "GROUP")) && has(p + 1) && isWord(at(size_t(p + 1)), "BY")) {
                clauseDepth = depth;
                termStart = true;
                ++p;
                continue;
            }
            if (clauseDepth != depth) {
                termStart = false;
                continue;
            }
            if (isSymbol(tok, ",")) {
                termStart = true;
                continue;
            }
            if (isSymbol(tok, ";") || isWord(tok, "HAVING") || isWord(tok, "LIMIT") || isWord(tok, "UNION")) {
                clauseDepth = -1;
                termStart = false;
                continue;
            }
            if (!termStart) {
                // More than a column in a term: its order has no shortcut.
                if (!isWord(tok, "ASC") && !isWord(tok, "DESC"))
                    m_shortcut = m_shortcut && depth > 0;
                continue;
            }
            termStart = false;
            long end = p;
            if (operandStartingAt(p, end) != Operand::Column) {
                m_shortcut = m_shortcut && depth > 0;
                continue;
            }
            // Only a term that is the column alone: an expression keeps its own rules.
            const bool termEnds = !has(end + 1) || isSymbol(at(size_t(end + 1)), ",") || isSymbol(at(size_t(end + 1)), ";")
                                  || isSymbol(at(size_t(end + 1)), ")") || isWord(at(size_t(end + 1)), "ASC")
                                  || isWord(at(size_t(end + 1)), "DESC") || isWord(at(size_t(end + 1)), "HAVING")
                                  || isWord(at(size_t(end + 1)), "LIMIT") || isWord(at(size_t(end + 1)), "ORDER");
            if (termEnds && !(has(end + 1) && isWord(at(size_t(end + 1)), "COLLATE"))) {
                mark(end, kJetOrder);
                if (depth == 0) {
                    m_sortTerms << termText(p, end);
                    m_sortEnds.push_back(m_nz[size_t(end)]);
                }
            } else if (depth == 0) {
                m_shortcut = false;
            }
            p = end;
        }
        m_shortcut = m_shortcut && !m_sortTerms.isEmpty();
    }

    QString termText(long from, long to) const
    {
        QString text;
        for (long p = from; p <= to; ++p)
            text += at(size_t(p)).kind == Tok::Bracket ? emitName(at(size_t(p)).text) : at(size_t(p)).text;
        return text;
    }

public:
    static constexpr size_t npos = size_t(-1);

    // The order of ASCII texts is the same in JETTEXT and NOCASE, and an
    // index in NOCASE order spares SQLite the sort. The shortcut sorts by
    // NOCASE and adds a check to the WHERE clause that fails the statement
    // on the first sorted value beyond ASCII; the caller then runs the exact
    // text. Only for a SELECT whose sort terms are all plain columns.
    bool shortcut() const { return m_shortcut; }
    bool isSortEnd(size_t token) const { return std::find(m_sortEnds.begin(), m_sortEnds.end(), token) != m_sortEnds.end(); }
    size_t where() const { return m_where; }
    size_t whereEnd() const { return m_whereEnd; }
    QString check() const { return QStringLiteral("jet_ascii_sort(%1)").arg(m_sortTerms.join(QLatin1String(", "))); }

private:
    bool m_shortcut = false;
    QStringList m_sortTerms;
    std::vector<size_t> m_sortEnds;
    size_t m_where = npos;    // token of the statement's own WHERE
    size_t m_whereEnd = npos; // token that ends its condition (GROUP BY, ORDER BY, ";"); npos: the end
    const std::vector<Token> &m_t;
    std::vector<size_t> m_nz; // positions of the tokens that are not blanks
    mutable std::vector<signed char> m_name; // per m_nz entry: a column name (1), not (0), not yet known (-1)
    std::vector<QString> m_after;
};

} // namespace

QString sqlQuote(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

QString sqlName(const QString &name)
{
    return emitName(name);
}

QString criteriaWithValues(const QString &pattern, const std::vector<QString> &values)
{
    QString out;
    size_t next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('[')) {
            qsizetype j = pattern.indexOf(QLatin1Char(']'), i + 1);
            if (j < 0)
                j = pattern.size() - 1;
            out += QStringView(pattern).mid(i, j + 1 - i);
            i = j;
        } else if (c == QLatin1Char('?') && next < values.size()) {
            out += sqlQuote(values[next++]);
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

enum class Mode { Dialect, Exact, AsciiSort };

QString translate(const QString &sql, const ColumnResolver &resolver, Mode mode)
{
    const std::vector<Token> t = tokenize(sql);
    const std::optional<Collations> collations =
        mode == Mode::Dialect ? std::nullopt : std::optional<Collations>(std::in_place, t);
    const bool fast = mode == Mode::AsciiSort;
    if (fast && !collations->shortcut())
        return {};
    QString out;
    out.reserve(sql.size() + 16);
    int lenDepth = -1; // paren depth at which a Len( call opened
    int depth = 0;
    bool afterLen = false;

    auto nextNonSpace = [&](size_t from) {
        while (from < t.size() && t[from].kind == Tok::Space)
            ++from;
        return from;
    };

    for (size_t i = 0; i < t.size(); ++i) {
        const Token &tok = t[i];
        if (fast && i == collations->whereEnd())
            out += collations->where() == Collations::npos ? QStringLiteral("WHERE ") + collations->check() + QLatin1Char(' ')
                                                           : QStringLiteral(") ");
        switch (tok.kind) {
        case Tok::String: {
            out += sqlQuote(tok.text);
            break;
        }
        case Tok::Other:
            if (tok.text == QLatin1String("(")) {
                ++depth;
            } else if (tok.text == QLatin1String(")")) {
                --depth;
                if (lenDepth >= 0 && depth == lenDepth) {
                    lenDepth = -1;
                    afterLen = true;
                    out += tok.text;
                    // Len(x) <op> 'N': Jet converts the literal to a number.
                    size_t j = nextNonSpace(i + 1);
                    if (j < t.size() && isComparison(t[j])) {
                        size_t k = nextNonSpace(j + 1);
                        if (k < t.size() && t[k].kind == Tok::String && isAllDigits(t[k].text)) {
                            for (size_t m = i + 1; m < k; ++m)
                                out += t[m].kind == Tok::String ? sqlQuote(t[m].text) : t[m].text;
                            out += t[k].text;
                            i = k;
                        }
                    }
                    continue;
                }
            }
            out += tok.text;
            break;
        case Tok::Word: {
            const QString upper = tok.text.toUpper();
            if (upper == QLatin1String("DISTINCTROW")) {
                // Jet ignores DISTINCTROW when one table is queried or every
                // table's fields are output, which holds for all our queries;
                // DISTINCT instead would merge rows that merely look alike.
                break;
            }
            if (upper == QLatin1String("TRUE")) {
                out += QStringLiteral("-1");
                break;
            }
            if (upper == QLatin1String("FALSE")) {
                out += QStringLiteral("0");
                break;
            }
            if (upper == QLatin1String("LEN")) {
                size_t j = nextNonSpace(i + 1);
                if (j < t.size() && t[j].kind == Tok::Other && t[j].text == QLatin1String("(")) {
                    lenDepth = depth;
                }
                out += tok.text;
                break;
            }
            if (!resolver || isKeyword(tok.text)) {
                out += tok.text;
                break;
            }
            [[fallthrough]];
        }
        case Tok::Bracket: {
            if (!resolver) {
                out += emitName(tok.text);
                break;
            }
            // A column reference: name, qualifier.name, or [qualifier.name].
            QString qualifier, name = tok.text;
            size_t last = i;
            if (i + 2 < t.size() && t[i + 1].kind == Tok::Other && t[i + 1].text == QLatin1String(".")
                && isName(t[i + 2])) {
                qualifier = tok.text;
                name = t[i + 2].text;
                last = i + 2;
            } else if (tok.kind == Tok::Bracket && tok.text.contains(QLatin1Char('.'))) {
                const int dot = tok.text.indexOf(QLatin1Char('.'));
                qualifier = tok.text.left(dot);
                name = tok.text.mid(dot + 1);
            }
            const std::optional<QString> mapped = resolver(qualifier, name);
            if (mapped) {
                out += *mapped;
                i = last;
            } else {
                out += tok.kind == Tok::Bracket ? emitName(tok.text) : tok.text;
            }
            break;
        }
        default:
            out += tok.text;
            break;
        }
        if (fast && i == collations->where())
            out += QLatin1Char(' ') + collations->check() + QStringLiteral(" AND (");
        const QString &suffix = !collations ? QString() : fast && collations->isSortEnd(i) ? kAsciiNoCase : collations->after(i);
        if (!suffix.isEmpty()) {
            out += suffix;
            // Jet texts often run a name into the next word ("[x] = 'a'AND").
            if (i + 1 < t.size() && t[i + 1].kind != Tok::Space && t[i + 1].kind != Tok::Other)
                out += QLatin1Char(' ');
        }
        afterLen = false;
    }
    Q_UNUSED(afterLen);
    if (fast && collations->whereEnd() == Collations::npos)
        out += collations->where() == Collations::npos ? QStringLiteral(" WHERE ") + collations->check()
                                                       : QStringLiteral(")");
    return out;
}

} // namespace

QString translateJetSql(const QString &sql, const ColumnResolver &resolver)
{
    return translate(sql, resolver, Mode::Dialect);
}

QString engineSql(const QString &sql, const ColumnResolver &resolver)
{
    return translate(sql, resolver, Mode::Exact);
}

QString engineSqlAsciiSort(const QString &sql)
{
    return translate(sql, {}, Mode::AsciiSort);
}

} // namespace engine
