#pragma once

#include <QString>
#include <QVariant>

namespace engine {
class Recordset;
}

namespace print {

// A value as the printing shows it: Null as nothing, dates as DD.MM.YYYY,
// Booleans and numbers the way the German engine writes them.
QString fieldText(const QVariant &value);

// The value part of a field line of the record print: coded functions as
// their text, a date column as a date, everything else as text.
QString printedValue(const QString &fieldName, int fieldType, const QVariant &value);

// The text without its leading and trailing blanks (only blanks).
QString blankTrimmed(const QString &text);

// The numeric value a text begins with, as a classic Val() reads it: leading
// blanks skipped, optional sign, digits and one decimal point; 0 when there
// is none.
double leadingNumber(const QString &text);

} // namespace print
