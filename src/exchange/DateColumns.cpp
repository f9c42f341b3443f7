#include "exchange/DateColumns.h"

#include <QHash>
#include <array>

namespace exchange {

namespace {

const std::array<QLatin1String, 18> &dateColumns()
{
    static const std::array<QLatin1String, 18> columns{
        QLatin1String("b-reg-datum"),      QLatin1String("meld-datum"),    QLatin1String("anzeige-datum"),
        QLatin1String("betr-beginn"),      QLatin1String("betr-Ende"),     QLatin1String("b-Erl-datum"),
        QLatin1String("b-hwk-datum"),      QLatin1String("tk-beginn"),     QLatin1String("tk-Ende"),
        QLatin1String("p-eintr-datum"),    QLatin1String("p-austr-datum"), QLatin1String("p-reg-datum"),
        QLatin1String("geb-datum"),        QLatin1String("aufenth-datum"), QLatin1String("fzeug-datum"),
        QLatin1String("p-gzr-ausk-datum"), QLatin1String("p-Erl-datum"),   QLatin1String("p-hwk-datum"),
    };
    return columns;
}

bool lookUp(const QString &name)
{
    for (const QLatin1String &d : dateColumns())
        if (name.compare(d, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

bool isDateColumn(const QString &name)
{
    // Asked for every value an import stores or an export writes, always for
    // the same few dozen column names; most are answered by their last
    // letter, which no date column ends in.
    static const std::array<bool, 128> dateLast = [] {
        std::array<bool, 128> last{};
        for (const QLatin1String &d : dateColumns())
            last[size_t(QChar(d.back()).toLower().unicode()) & 127] = true;
        return last;
    }();
    if (name.isEmpty())
        return false;
    const char16_t last = name.back().toLower().unicode();
    if (last < 128 && !dateLast[last])
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
