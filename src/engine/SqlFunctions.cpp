#include "engine/SqlFunctions.h"

#include <sqlite3.h>


#include <QCryptographicHash>

namespace engine {

namespace {

// Base letter for the primary comparison: case and umlaut marks are ignored
// there, so "Äpfel" sorts among the A's as a German reader expects; "ß"
// counts as "ss". The secondary comparison (on equal primaries) keeps the
// marks but still ignores case, so "=" finds "MÜLLER" for "Müller" but not
// "Muller".
struct CodeMaps
{
    char16_t primary[0x250];
    char16_t lower[0x250];
    CodeMaps()
    {
        for (char16_t u = 0; u < 0x250; ++u) {
            QChar c(u);
            lower[u] = c.toLower().unicode();
            const QString d = c.decomposition();
            QChar base = (!d.isEmpty() && c.decompositionTag() == QChar::Canonical) ? d.at(0) : c;
            primary[u] = base.toLower().unicode();
        }
        primary[0xDF] = u's';
    }
};

const CodeMaps &maps()
{
    static const CodeMaps m;
    return m;
}

char16_t primaryOf(char16_t u)
{
    if (u < 0x250)
        return maps().primary[u];
    QChar c(u);
    const QString d = c.decomposition();
    if (!d.isEmpty() && c.decompositionTag() == QChar::Canonical)
        c = d.at(0);
    return c.toLower().unicode();
}

char16_t lowerOf(char16_t u)
{
    return u < 0x250 ? maps().lower[u] : QChar(u).toLower().unicode();
}

// Walks a text as UTF-16 units, from UTF-8 bytes or from a QString.
struct Utf8Walker
{
    const unsigned char *p, *end;
    bool atEnd() const { return p >= end; }
    char16_t next()
    {
        const unsigned char b = *p++;
        if (b < 0x80)
            return b;
        char32_t cp;
        int extra;
        if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else {
            cp = b & 0x07;
            extra = 3;
        }
        while (extra-- > 0 && p < end)
            cp = (cp << 6) | (*p++ & 0x3F);
        return cp > 0xFFFF ? char16_t(0xFFFD) : char16_t(cp);
    }
};

struct QStringWalker
{
    const QChar *p, *end;
    bool atEnd() const { return p >= end; }
    char16_t next() { return (p++)->unicode(); }
};

// Primary units of a text, with "ß" expanded to two.
template<class W>
struct PrimaryStream
{
    W w;
    char16_t pending = 0;
    bool atEnd() const { return !pending && w.atEnd(); }
    char16_t next()
    {
        if (pending) {
            const char16_t r = pending;
            pending = 0;
            return r;
        }
        const char16_t u = w.next();
        if (u == 0xDF)
            pending = u's';
        return primaryOf(u);
    }
};

template<class W>
int compareTexts(W a, W b)
{
    PrimaryStream<W> pa{a}, pb{b};
    while (!pa.atEnd() && !pb.atEnd()) {
        const char16_t x = pa.next(), y = pb.next();
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (!pa.atEnd() || !pb.atEnd())
        return pa.atEnd() ? -1 : 1;
    while (!a.atEnd() && !b.atEnd()) {
        const char16_t x = lowerOf(a.next()), y = lowerOf(b.next());
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.atEnd() && b.atEnd())
        return 0;
    return a.atEnd() ? -1 : 1;
}

bool isAscii(const unsigned char *p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i] >= 0x80)
            return false;
    return true;
}

int collateAscii(const unsigned char *a, int na, const unsigned char *b, int nb)
{
    const int n = na < nb ? na : nb;
    for (int i = 0; i < n; ++i) {
        unsigned char ca = a[i], cb = b[i];
        if (ca >= 'A' && ca <= 'Z')
            ca += 32;
        if (cb >= 'A' && cb <= 'Z')
            cb += 32;
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

int collateJetText(void *, int na, const void *a, int nb, const void *b)
{
    const auto *pa = static_cast<const unsigned char *>(a);
    const auto *pb = static_cast<const unsigned char *>(b);
    // Both passes compare character by character, so a common leading run of
    // equal bytes decides nothing and is skipped; neighbouring index keys
    // often share long ones. The cut is moved back to a character start.
    int same = 0;
    const int shorter = na < nb ? na : nb;
    while (same < shorter && pa[same] == pb[same])
        ++same;
    const auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (same > 0 && ((same < na && continuation(pa[same])) || (same < nb && continuation(pb[same]))))
        --same;
    pa += same;
    pb += same;
    na -= same;
    nb -= same;
    if (isAscii(pa, na) && isAscii(pb, nb))
        return collateAscii(pa, na, pb, nb);
    return compareTexts(Utf8Walker{pa, pa + na}, Utf8Walker{pb, pb + nb});
}

QString argText(sqlite3_value *v)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

// The lists search with "typed text*". With plain ASCII typed, and the
// value plain ASCII as far as the typed text goes, that is a comparison of
// bytes without case; 1 or 0, or -1 when the full matcher must decide.
int asciiPrefixLike(sqlite3_value *pattern, sqlite3_value *text)
{
    const auto *p = sqlite3_value_text(pattern);
    const int pn = sqlite3_value_bytes(pattern);
    if (pn == 0 || p[pn - 1] != '*')
        return -1;
    const int k = pn - 1;
    for (int i = 0; i < k; ++i) {
        const unsigned char c = p[i];
        if (c >= 0x80 || c == '*' || c == '?' || c == '#' || c == '[')
            return -1;
    }
    const auto *t = sqlite3_value_text(text);
    const int tn = sqlite3_value_bytes(text);
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : int(c); };
    for (int i = 0; i < k; ++i) {
        if (i >= tn)
            return 0; // fewer bytes than the typed characters: fewer characters too
        if (t[i] >= 0x80)
            return -1;
        if (lower(t[i]) != lower(p[i]))
            return 0;
    }
    return 1;
}

void likeFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    // SQLite calls like(pattern, text) for "text LIKE pattern".
    if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (const int quick = asciiPrefixLike(argv[0], argv[1]); quick >= 0) {
        sqlite3_result_int(ctx, quick);
        return;
    }
    sqlite3_result_int(ctx, jetLike(argText(argv[0]), argText(argv[1])) ? 1 : 0);
}

void lenFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, argText(argv[0]).size());
}

void trimFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray t = argText(argv[0]).trimmed().toUtf8();
    sqlite3_result_text(ctx, t.constData(), int(t.size()), SQLITE_TRANSIENT);
}

void caseFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const bool upper = sqlite3_user_data(ctx) != nullptr;
    const QString s = argText(argv[0]);
    const QByteArray t = (upper ? s.toUpper() : s.toLower()).toUtf8();
    sqlite3_result_text(ctx, t.constData(), int(t.size()), SQLITE_TRANSIENT);
}

void asciiSortFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) != SQLITE_TEXT)
            continue;
        const auto *p = sqlite3_value_text(argv[i]);
        if (!isAscii(p, sqlite3_value_bytes(argv[i]))) {
            sqlite3_result_error(ctx, kBeyondAscii, -1);
            return;
        }
    }
    sqlite3_result_int(ctx, 1);
}

bool charEqualNoCase(QChar a, QChar b)
{
    return a == b || a.toLower() == b.toLower();
}

// Matches one bracket class at pattern[pi] (pointing at '['); returns the index
// after ']' or -1 when the class is not closed (then '[' is taken literally).
int matchClass(const QString &p, int pi, QChar c, bool &matched)
{
    int i = pi + 1;
    bool negate = false;
    if (i < p.size() && p.at(i) == QLatin1Char('!')) {
        negate = true;
        ++i;
    }
    bool any = false;
    bool first = true;
    while (i < p.size() && (first || p.at(i) != QLatin1Char(']'))) {
        first = false;
        QChar lo = p.at(i);
        if (i + 2 < p.size() && p.at(i + 1) == QLatin1Char('-') && p.at(i + 2) != QLatin1Char(']')) {
            QChar hi = p.at(i + 2);
            const QChar lc = c.toLower();
            if ((c >= lo && c <= hi) || (lc >= lo.toLower() && lc <= hi.toLower()))
                any = true;
            i += 3;
        } else {
            if (charEqualNoCase(lo, c))
                any = true;
            ++i;
        }
    }
    if (i >= p.size())
        return -1;
    matched = negate ? !any : any;
    return i + 1;
}

} // namespace

int jetCompare(const QString &a, const QString &b)
{
    return compareTexts(QStringWalker{a.constData(), a.constData() + a.size()},
                        QStringWalker{b.constData(), b.constData() + b.size()});
}

bool jetLike(const QString &p, const QString &s)
{
    // Iterative matcher with backtracking to the last '*'.
    int pi = 0, si = 0;
    int starP = -1, starS = 0;
    while (si < s.size()) {
        bool step = false;
        int nextP = pi + 1;
        if (pi < p.size()) {
            const QChar pc = p.at(pi);
            if (pc == QLatin1Char('*')) {
                starP = pi++;
                starS = si;
                continue;
            }
            if (pc == QLatin1Char('?')) {
                step = true;
            } else if (pc == QLatin1Char('#')) {
                step = s.at(si).isDigit();
            } else if (pc == QLatin1Char('[')) {
                bool matched = false;
                const int after = matchClass(p, pi, s.at(si), matched);
                if (after < 0) {
                    step = charEqualNoCase(pc, s.at(si));
                } else {
                    step = matched;
                    nextP = after;
                }
            } else {
                step = charEqualNoCase(pc, s.at(si));
            }
        }
        if (step) {
            pi = nextP;
            ++si;
        } else if (starP >= 0) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p.at(pi) == QLatin1Char('*'))
        ++pi;
    return pi == p.size();
}

// One unit of a sort key as UTF-8, whose bytes compare as the units do:
// plain letters take one byte, which keeps keys short and their
// comparisons quick.
inline unsigned char *putUnit(unsigned char *o, char16_t u)
{
    if (u < 0x80) {
        *o++ = (unsigned char)u;
    } else if (u < 0x800) {
        *o++ = (unsigned char)(0xC0 | (u >> 6));
        *o++ = (unsigned char)(0x80 | (u & 0x3F));
    } else {
        *o++ = (unsigned char)(0xE0 | (u >> 12));
        *o++ = (unsigned char)(0x80 | ((u >> 6) & 0x3F));
        *o++ = (unsigned char)(0x80 | (u & 0x3F));
    }
    return o;
}

void sortKeyFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const auto *p = sqlite3_value_text(argv[0]);
    const int n = sqlite3_value_bytes(argv[0]);
    auto *key = static_cast<unsigned char *>(sqlite3_malloc64(sortKeyCapacity(n)));
    if (!key) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    sqlite3_result_blob64(ctx, key, sqlite3_uint64(writeSortKey(p, n, key) - key), sqlite3_free);
}

// The primary units, a zero unit that ends them (and sorts a shorter
// primary first), then the lowered units. Sorting by it compares bytes
// instead of walking both texts each time.
unsigned char *writeSortKey(const unsigned char *p, int n, unsigned char *o)
{
    const CodeMaps &m = maps();
    for (Utf8Walker w{p, p + n}; !w.atEnd();) {
        const char16_t u = w.next();
        if (u < 0x80) {
            *o++ = (unsigned char)m.primary[u];
        } else {
            // PrimaryStream's units, written without its per-unit state:
            // the key is built for every row a sort reads.
            o = putUnit(o, primaryOf(u));
            if (u == 0xDF)
                *o++ = 's';
        }
    }
    *o++ = 0;
    for (Utf8Walker w{p, p + n}; !w.atEnd();) {
        const char16_t u = w.next();
        o = u < 0x80 ? (*o = (unsigned char)m.lower[u], o + 1) : putUnit(o, lowerOf(u));
    }
    return o;
}

void registerSqlFunctions(sqlite3 *db)
{
    sqlite3_create_collation(db, "JETTEXT", SQLITE_UTF8, nullptr, collateJetText);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "len", 1, flags, nullptr, lenFunction, nullptr, nullptr);
    sqlite3_create_function(db, "jet_ascii_sort", -1, SQLITE_UTF8, nullptr, asciiSortFunction, nullptr, nullptr);
    sqlite3_create_function(db, "trim", 1, flags, nullptr, trimFunction, nullptr, nullptr);
    sqlite3_create_function(db, "jet_sortkey", 1, flags, nullptr, sortKeyFunction, nullptr, nullptr);
    static int upperTag = 1;
    sqlite3_create_function(db, "ucase", 1, flags, &upperTag, caseFunction, nullptr, nullptr);
    sqlite3_create_function(db, "lcase", 1, flags, nullptr, caseFunction, nullptr, nullptr);
}

namespace {
QByteArray passwordCheck(const QString &password)
{
    return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256).toHex();
}
} // namespace

void writePassword(sqlite3 *db, const QString &password)
{
    sqlite3_exec(db, "CREATE TABLE IF NOT EXISTS MSysPassword (pwd TEXT)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "DELETE FROM MSysPassword", nullptr, nullptr, nullptr);
    if (password.isEmpty())
        return;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO MSysPassword (pwd) VALUES (?)", -1, &st, nullptr);
    const QByteArray check = passwordCheck(password);
    sqlite3_bind_text(st, 1, check.constData(), int(check.size()), SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_finalize(st);
}

QString storedPassword(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT pwd FROM MSysPassword LIMIT 1", -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return {};
    }
    QString result;
    if (sqlite3_step(st) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return result;
}

// Used by Database::open to compare a given password with the stored check.
bool passwordMatches(sqlite3 *db, const QString &password)
{
    const QString stored = storedPassword(db);
    if (stored.isEmpty())
        return true;
    return QString::fromLatin1(passwordCheck(password)) == stored;
}

} // namespace engine
