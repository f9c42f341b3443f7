#pragma once

// Helpers shared by the block procedures of the import; not for other areas.

#include "storage/Declare.h"
#include "storage/ErrorLog.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

namespace exchange::detail {

// The record set behind a global, or error 91 when it was never opened (a
// failed DB_Load leaves it so); the handlers log that like any other error.
engine::Recordset &recordset(const RS &rs, const char *name);

// "[column] = 'value'" with the value's apostrophes doubled.
QString keyIs(const QString &column, const QString &value);

// The same for a history number: an empty one also matches the Null that a
// betrieb row keeps when its betr-hist-nr element had no content, so that a
// re-import replaces that row instead of adding a second one.
QString histKeyIs(const QString &column, const QString &value);

// The same as criteria patterns (engine::criteriaWithValues) for the
// deletes, which bind the keys instead of quoting them into a text:
// "[column] = ?", and for an empty history number "([column] = ? OR
// [column] Is Null)" with the empty value.
QString keyPattern(const QString &column);
QString histKeyPattern(const QString &column, const QString &value);

// Upd_6_Kill for the criteria of a pattern and its values.
void killMatching(const QString &pattern, const std::vector<QString> &values, RS &rs);

// An element line taken apart without copies, as Upd_9_ExtrFeldInhalt and
// Upd_8_ExtrFeldInhalt hand it out. named: the name is not "kein Name";
// filled: the content is neither blank nor "kein Inhalt". The content view
// is only meant when filled.
struct Element
{
    QStringView name, content;
    bool named = false, filled = false;
};
Element elementOf(const QString &line);
// The element name alone: "kein Name" when the line has none.
QStringView elementName(const QString &line);

// Imp_Inhalt and Imp_Name follow the element lines written. Nothing reads
// them while a block is written, so the procedures note the last line (or
// that they were emptied) and a LineGlobals hands it to them on leaving.
void noteLine(const QString &line);
void emptyLineGlobals();
class LineGlobals
{
public:
    LineGlobals() = default;
    ~LineGlobals();
    LineGlobals(const LineGlobals &) = delete;
    LineGlobals &operator=(const LineGlobals &) = delete;
};

// Writes one element line into the row being added to rs: its content into
// the column of its name. True when a value was written; a line without name
// or content writes nothing; a name that is no column fails at the lookup
// and is logged at site. Runs inside a LineGlobals, which hands the line on
// to Imp_Inhalt and Imp_Name while the line still exists.
bool writeLine(const QString &line, RS &rs, const ErrorSite &site);

// The typ of a legal form in Rechtsformen, nothing when the code is not
// there. The table does not change while an import runs, so each code is read
// once per import; forgetLegalForms starts over.
std::optional<QString> legalFormType(const QString &code);
void forgetLegalForms();

// A key taken from a line that had no content counts as no key.
inline QString keyValue(const QString &content)
{
    return content == QStringLiteral("kein Inhalt") ? QString() : content;
}

} // namespace exchange::detail
