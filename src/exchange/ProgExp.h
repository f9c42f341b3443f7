#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <array>
#include <functional>

namespace engine {
class Recordset;
}
namespace exchange {
class ExportSelection;
}

// The export module: the working database into transfer files.
//
// RML_Exp_1 drives one export (selection, header, status pass, progress,
// ESC, one file or one file per key value); RML_Exp_4_BearbStatus marks the
// selection's rows; RML_Exp_2_Tabellen writes the body of one business and
// RML_Exp_3_Felder the field elements of one row.

namespace exchange {

// The export mode that asks for one file per value of schluesselfeld.
inline const QString kSchluesselfeld = QStringLiteral("schluesselfeld");

// The texts of the header dialog's fields Text1(0) to Text1(14), as the
// driver reads them; Text1(10) is shown only and never written.
struct ExportHeader
{
    std::array<QString, 15> text;
};

// The program's format version as the header carries it: the first three
// digits of the minor version number joined by "." (151 gives "1.5.1").
QString rmlVersionText();

// A header date as the dialog holds it (day.month.year) as "YYYYMMDD"; an
// empty or unreadable text gives an empty element.
QString headerDate(const QString &dialogText);

// The key value as part of a file name: characters that a file system does
// not take in a name (path separators, colon, wildcards, quotes, angle
// brackets, bar, control characters) become "_", and blanks at both ends go.
QString fileNamePart(const QString &key);

// The moment the export and its dialog take as "now"; tests fix it.
QDateTime now();
void setClock(std::function<QDateTime()> clock);

// The output files by their number, as the driver hands the open file to the
// business writer. A file is written under a temporary name and takes its
// final name only on finishExportFile, so that a crash or a failed write
// never leaves a half file under the name of a finished one.
int openExportFile(const QString &path);
// Appends one line with CR LF in Windows-1252; error 52 when the number is
// not open, 61 when the disk is full.
void writeExportLine(int number, const QString &line);
// The same for the line "<name>value</name>".
void writeExportElement(int number, QStringView name, QStringView value);
void finishExportFile(int number);
void discardExportFile(int number);

// While a session lives, the business writer keeps its record sets on the
// working database open from one business to the next; without one it opens
// them for each business.
class BodySession
{
public:
    BodySession();
    ~BodySession();
    BodySession(const BodySession &) = delete;
    BodySession &operator=(const BodySession &) = delete;
};

} // namespace exchange

// The driver. art: "schluesselfeld" for one file per key value, anything
// else for one file of all rows. afterFirstHeader runs once the first file's
// header is written (the dialog unloads itself there).
void RML_Exp_1(const QVariant &art, const exchange::ExportHeader &header,
               const std::function<void()> &afterFirstHeader = {});
// Marks every row of the file's selection with its processing status E, A
// or H.
void RML_Exp_4_BearbStatus(exchange::ExportSelection &selection);

// The body of the business on the current row of RS_betrieb, written to the
// file Exp_Dateinummer.
void RML_Exp_2_Tabellen(const QVariant &betrNr, const QVariant &betrHistNr);
// The same for the business on the current row of the driver's selection.
void RML_Exp_2_Tabellen(const QVariant &betrNr, const QVariant &betrHistNr, const exchange::ExportSelection &business);
// One element line per column of the current row that has a value.
void RML_Exp_3_Felder(engine::Recordset &rs);

// The three cleaners of a field value, each in place.
void Txt_CrLf_Weg(QString &text);
void Txt_Semikolon_Weg(QString &text);
void Txt_Klammern_Weg(QString &text);
