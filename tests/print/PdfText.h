#pragma once

#include <QByteArray>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QtEndian>
#include <algorithm>

// The printed lines of a PDF as Qt's PDF engine writes it: each drawn text is
// one text object (BT ... ET) whose glyphs are shown one by one in hex codes,
// and each font carries a ToUnicode map from those codes back to characters.
// Enough to tell what a print put on paper; not a general PDF reader.
class PdfText
{
public:
    static QStringList lines(const QByteArray &pdf)
    {
        PdfText reader(pdf);
        return reader.m_lines;
    }

private:
    explicit PdfText(const QByteArray &pdf)
    {
        static const QRegularExpression object(QStringLiteral("(\\d+) 0 obj"));
        const QString latin = QString::fromLatin1(pdf);
        for (auto it = object.globalMatch(latin); it.hasNext();) {
            const auto m = it.next();
            const qsizetype start = m.capturedEnd();
            const qsizetype end = pdf.indexOf("endobj", start);
            if (end < 0)
                break;
            const QByteArray body = pdf.mid(start, end - start);
            const qsizetype s = body.indexOf("stream");
            const int nr = m.captured(1).toInt();
            m_dicts.insert(nr, s < 0 ? body : body.left(s));
            if (s >= 0) {
                qsizetype from = s + 6;
                if (body.mid(from, 2) == "\r\n")
                    from += 2;
                else if (body.at(from) == '\n')
                    from += 1;
                QByteArray data = body.mid(from, body.lastIndexOf("endstream") - from);
                if (body.left(s).contains("/FlateDecode"))
                    data = inflate(data);
                m_streams.insert(nr, data);
            }
        }
        readFonts();
        // Pages come in the order the file numbers their objects.
        QList<int> numbers = m_streams.keys();
        std::sort(numbers.begin(), numbers.end());
        for (int nr : numbers)
            readContent(m_streams.value(nr));
    }

    static QByteArray inflate(const QByteArray &deflated)
    {
        // qUncompress wants the expected size in front; it grows as needed.
        QByteArray framed(4, '\0');
        qToBigEndian<quint32>(quint32(deflated.size() * 4 + 64), framed.data());
        return qUncompress(framed + deflated);
    }

    void readFonts()
    {
        static const QRegularExpression fontDict(QStringLiteral("/Font\\s*<<([^>]*)>>"));
        static const QRegularExpression entry(QStringLiteral("/(\\w+)\\s+(\\d+) 0 R"));
        static const QRegularExpression toUnicode(QStringLiteral("/ToUnicode\\s+(\\d+) 0 R"));
        for (const QByteArray &dict : std::as_const(m_dicts)) {
            for (auto f = fontDict.globalMatch(QString::fromLatin1(dict)); f.hasNext();) {
                const QString entries = f.next().captured(1);
                for (auto e = entry.globalMatch(entries); e.hasNext();) {
                    const auto m = e.next();
                    const auto map = toUnicode.match(QString::fromLatin1(m_dicts.value(m.captured(2).toInt())));
                    if (map.hasMatch())
                        m_fonts.insert(m.captured(1), readCMap(m_streams.value(map.captured(1).toInt())));
                }
            }
        }
    }

    static QHash<uint, QChar> readCMap(const QByteArray &cmap)
    {
        QHash<uint, QChar> codes;
        const QString text = QString::fromLatin1(cmap);
        static const QRegularExpression hex(QStringLiteral("<([0-9A-Fa-f]+)>"));
        const auto values = [](const QString &line) {
            QList<uint> out;
            for (auto h = hex.globalMatch(line); h.hasNext();)
                out << h.next().captured(1).toUInt(nullptr, 16);
            return out;
        };
        bool chars = false, ranges = false;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            if (line.endsWith(QLatin1String("beginbfchar")))
                chars = true;
            else if (line.endsWith(QLatin1String("beginbfrange")))
                ranges = true;
            else if (line.startsWith(QLatin1String("end")))
                chars = ranges = false;
            else if (chars) {
                const QList<uint> v = values(line);
                if (v.size() == 2)
                    codes.insert(v[0], QChar(v[1]));
            } else if (ranges) {
                const QList<uint> v = values(line);
                if (v.size() < 3)
                    continue;
                const bool listed = line.contains(QLatin1Char('['));
                for (uint c = v[0]; c <= v[1]; ++c) {
                    const uint i = c - v[0];
                    if (listed && int(i) + 2 < v.size())
                        codes.insert(c, QChar(v[int(i) + 2]));
                    else if (!listed)
                        codes.insert(c, QChar(v[2] + i));
                }
            }
        }
        return codes;
    }

    void readContent(const QByteArray &content)
    {
        if (!content.contains("BT"))
            return;
        static const QRegularExpression token(QStringLiteral("/(\\w+)\\s+[\\d.]+\\s+Tf|<([0-9A-Fa-f]*)>\\s*Tj|\\bBT\\b|\\bET\\b"));
        QHash<uint, QChar> font;
        QString line;
        bool inText = false;
        for (auto t = token.globalMatch(QString::fromLatin1(content)); t.hasNext();) {
            const auto m = t.next();
            if (!m.captured(1).isEmpty()) {
                font = m_fonts.value(m.captured(1));
            } else if (m.captured(0) == QLatin1String("BT")) {
                inText = true;
                line.clear();
            } else if (m.captured(0) == QLatin1String("ET")) {
                if (inText)
                    m_lines << line;
                inText = false;
            } else {
                const QString codes = m.captured(2);
                for (qsizetype i = 0; i + 4 <= codes.size(); i += 4) {
                    const QChar c = font.value(codes.mid(i, 4).toUInt(nullptr, 16), QChar(u'?'));
                    // The engine maps the blank's glyph back to the tab that shares it.
                    line += c == QLatin1Char('\t') ? QLatin1Char(' ') : c;
                }
            }
        }
    }

    QHash<int, QByteArray> m_dicts;
    QHash<int, QByteArray> m_streams;
    QHash<QString, QHash<uint, QChar>> m_fonts;
    QStringList m_lines;
};
