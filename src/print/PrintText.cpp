#include "print/PrintText.h"

#include "engine/Database.h"
#include "engine/Recordset.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

namespace print {

namespace {

QString germanNumber(double d)
{
    QLocale german(QLocale::German);
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    return german.toString(d, 'g', 15);
}

QString dateText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date().toString(QStringLiteral("dd.MM.yyyy"));
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    return fieldText(value);
}

bool eightDigits(const QString &s)
{
    if (s.size() != 8)
        return false;
    for (QChar c : s) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

} // namespace

QString fieldText(const QVariant &value)
{
    if (engine::isNull(value))
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
    case QMetaType::Double:
    case QMetaType::Float:
        return germanNumber(value.toDouble());
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return dateText(value);
    default:
        return value.toString();
    }
}

QString blankTrimmed(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

double leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    QString digits;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        digits += text.at(i++);
    bool point = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits += c;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
            digits += c;
        } else {
            break;
        }
    }
    bool ok = false;
    const double v = digits.toDouble(&ok);
    return ok ? v : 0.0;
}

QString printedValue(const QString &fieldName, int fieldType, const QVariant &value)
{
    const QString text = fieldText(value);
    if (text.isEmpty())
        return {};
    if (fieldType == engine::ftype::Date)
        return dateText(value);
    if (fieldName == QLatin1String("geb-datum")) {
        // Stored like every date as DD.MM.YYYY; a bare YYYYMMDD, as the
        // transfer files carry it, is shown the same way.
        return eightDigits(text) ? text.mid(6, 2) + QLatin1Char('.') + text.mid(4, 2) + QLatin1Char('.') + text.left(4)
                                 : text;
    }
    if (fieldName == QLatin1String("p-funktion")) {
        const double code = leadingNumber(text);
        if (code == 1)
            return QStringLiteral("Einzelgewerbetreibender");
        if (code == 2)
            return QStringLiteral("Geschäftsführender Gesellschafter");
        if (code == 3)
            return QStringLiteral("Gesetzlicher Vertreter");
        if (code == 4)
            return QStringLiteral("Inhaber");
        return {};
    }
    return text;
}

} // namespace print
