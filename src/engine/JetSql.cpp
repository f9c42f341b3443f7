#include "engine/JetSql.h"

#include <QStringList>
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

QString translateJetSql(const QString &sql, const ColumnResolver &resolver)
{
    const std::vector<Token> t = tokenize(sql);
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
        afterLen = false;
    }
    Q_UNUSED(afterLen);
    return out;
}

} // namespace engine
