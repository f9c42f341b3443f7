#pragma once

#include <QString>
#include <QVariant>
#include <optional>

class BoundView;

// Loads one business (municipality key, business number, history number)
// into the record window's views: the business first, then its municipality,
// its own tables and last its persons, each view on its first row. A business
// that is not found leaves every other view as it was. Errors are logged under
// "DB_Load_DATA" with the business number; nothing is shown.
void DB_Load_DATA(const QVariant &gemKz, const QVariant &betrNr, const QVariant &betrHistNr);

// The person change, run on every Reposition of DATA_PERS: re-queries the
// link, nationalities, permits and craft cards of the current person and sets
// the person counter. Returns the function text of the person, or nothing
// when no business is loaded (then nothing was touched). Engine errors are
// thrown to the caller.
std::optional<QString> DATA_PERS_Reposition();

// The navigator caption of a record counter: "Satz 2 von 5", or "0" when the
// view has no row.
QString recordCounterText(BoundView *view);

// True when the view holds a result with at least one row.
bool hasRows(BoundView *view);
