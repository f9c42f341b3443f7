#include "exchange/DateColumns.h"

#include <QHash>
#include <array>

namespace exchange {

namespace {

bool lookUp(const QString &name)
{
    static const std::array<QLatin1String, 18> dateColumns{
        QLatin1String("b-reg-datum"),      QLatin1String("meld-datum"),    QLatin1String("anzeige-datum"),
        QLatin1String("betr-beginn"),      QLatin1String("betr-Ende"),     QLatin1String("b-Erl-datum"),
        QLatin1String("b-hwk-datum"),      QLatin1String("tk-beginn"),     QLatin1String("tk-Ende"),
        QLatin1String("p-eintr-datum"),    QLatin1String("p-austr-datum"), QLatin1String("p-reg-datum"),
        QLatin1String("geb-datum"),        QLatin1String("aufenth-datum"), QLatin1String("fzeug-datum"),
        QLatin1String("p-gzr-ausk-datum"), QLatin1String("p-Erl-datum"),   QLatin1String("p-hwk-datum"),
    };
    for (const QLatin1String &d : dateColumns)
        if (name.compare(d, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

bool isDateColumn(const QString &name)
{
    // Asked for every value an import stores or an export writes, always for
    // the same few dozen column names.
    // Each of them ends in "datum", "beginn" or "Ende": any other name is
    // answered by its last letter.
    if (name.isEmpty())
        return false;
    const char16_t last = name.back().toLower().unicode();
    if (last != u'm' && last != u'n' && last != u'e')
        return false;
    static QHash<QString, bool> known;
    const auto it = known.constFind(name);
    if (it != known.constEnd())
        return *it;
    const bool date = lookUp(name);
    if (known.size() < 1024)
        known.insert(name, date);
    return date;
}

} // namespace exchange
