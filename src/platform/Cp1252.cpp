#include "platform/Cp1252.h"

#include <QHash>

namespace platform {

namespace {
const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const QHash<char16_t, char> &reverseTable()
{
    static const QHash<char16_t, char> table = [] {
        QHash<char16_t, char> t;
        for (int i = 0; i < 32; ++i)
            t.insert(kHigh[i], char(0x80 + i));
        return t;
    }();
    return table;
}
} // namespace

QString fromCp1252(const QByteArray &bytes)
{
    // Only the codes 0x80 to 0x9F differ from Latin-1, whose conversion is
    // the fast one; they are mended after it (whole transfer files pass here).
    QString out = QString::fromLatin1(bytes);
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    QChar *d = nullptr;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (b[i] - 0x80u < 0x20u) {
            if (!d)
                d = out.data();
            d[i] = QChar(kHigh[b[i] - 0x80]);
        }
    }
    return out;
}

char *encodeCp1252(QStringView text, char *out, char replacement)
{
    const auto &rev = reverseTable();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            *out++ = char(u);
        } else {
            const auto it = rev.constFind(u);
            *out++ = it != rev.constEnd() ? *it : replacement;
        }
    }
    return out;
}

QByteArray toCp1252(const QString &text, char replacement)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    encodeCp1252(text, out.data(), replacement);
    return out;
}

} // namespace platform
