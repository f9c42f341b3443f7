#include "select/SearchText.h"

QString doubledApostrophes(const QString &typed)
{
    QString out = typed;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}
