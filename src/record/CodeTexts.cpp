#include "record/CodeTexts.h"

#include "engine/Database.h"

#include <QLocale>
#include <optional>

namespace {

bool isText(const QVariant &v, const char *code)
{
    return !engine::isNull(v) && v.toString() == QLatin1String(code);
}

// A stored code read as a number the way a clerk would read it; text that is
// no number (also the empty text) matches no numeric code.
std::optional<double> numberOf(const QVariant &v)
{
    if (engine::isNull(v))
        return std::nullopt;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1.0 : 0.0;
    const QString text = v.toString().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    double d = QLocale::c().toDouble(text, &ok);
    if (!ok)
        d = QLocale(QLocale::German).toDouble(text, &ok);
    if (!ok)
        return std::nullopt;
    return d;
}

bool isNumber(const QVariant &v, double n)
{
    const auto d = numberOf(v);
    return d && *d == n;
}

} // namespace

QString korrekturmeldungText(const QVariant &korrMeld)
{
    static const char *const texts[] = {
        "normale Korrekturmeldung",
        "Rechtsformänderung",
        "Eintritt gesetzl. Vertr. bei KapG",
        "Austritt gesetzl. Vertr. bei KapG",
        "Adressänderung",
        "Personenänderung",
        "Registerdatenänderung",
    };
    static const char *const codes[] = {"1", "2", "3", "4", "5", "6", "7"};
    for (int i = 0; i < 7; ++i)
        if (isText(korrMeld, codes[i]))
            return QString::fromUtf8(texts[i]);
    return {};
}

QString schwerpunktText(const QVariant &tkSchwerp)
{
    if (isText(tkSchwerp, "0"))
        return QStringLiteral("nein");
    if (isNumber(tkSchwerp, 1))
        return QStringLiteral("ja");
    return {};
}

QString ummeldungText(const QVariant &tkUmmeldung)
{
    if (isText(tkUmmeldung, "1"))
        return QStringLiteral("neue Tätigkeit");
    if (isNumber(tkUmmeldung, 2))
        return QStringLiteral("Tätigkeit wird weiterhin ausgeübt");
    return {};
}

QString funktionText(const QVariant &pFunktion)
{
    const auto n = numberOf(pFunktion);
    if (!n)
        return {};
    if (*n == 1)
        return QStringLiteral("Einzelgewerbetreibender");
    if (*n == 2)
        return QStringLiteral("Geschäftsführender Gesellschafter");
    if (*n == 3)
        return QStringLiteral("Gesetzlicher Vertreter");
    if (*n == 4)
        return QStringLiteral("Inhaber");
    return {};
}
