#pragma once

#include <QString>
#include <QVariant>
#include <memory>

class BoundView;

namespace engine {
class Recordset;
}

// The menu items "aktueller &Betrieb" and "aktuelle &Person" of "&drucken...":
// print what the record window shows, on the current printer when that is a
// printer queue; where it is a file or there is none they ask for the printer
// first. They do nothing while another window or job holds its busy flag.
void MDIForm1_menue_druck_betrieb_Click();
void MDIForm1_menue_druck_Person_Click();

enum class ListKind { Betrieb, Person };

// The title of the printer selection for business or person data.
QString printDialogTitle(ListKind kind);

// The "drucken" buttons of the two selection lists: "Satz" prints the record
// of the list's current row, "Liste" the list. data: the list's data view.
// Both ask for the printer first; a list without a current row prints nothing.
void List_Druck_Satz(ListKind kind, BoundView *data);
void List_Druck_Liste(ListKind kind, BoundView *data);

// The printer selection. Returns 0 when the user chose a printer, 32755 when
// he cancelled, another number when the dialog failed (after telling the user
// under the given title). Print only when the result is below 1.
qint16 DS_Drucker_Dialog(const QString &title);

// Prints one business report ("Betrieb": all its tables and all its persons)
// or one person of it ("Person"). The printed rows stay in the table record
// sets RS_betrieb ... RS_person_handwerkskarte and the person query in
// SQL_Abfrage until the next DB_Load.
void DS_Druck_1(const QString &kind, const QString &betrNr, const QString &betrHistNr, const QVariant &persNr);

// Prints the rows of a record set with a title per row: every row when nr is
// 0, else only the current row, titled with nr when it is 1 or more.
void DS_Druck_2(const std::shared_ptr<engine::Recordset> &recordSet, const QString &tableName, qint16 nr);

// Prints one line, with a new page and the page header when the line would
// start too low. A printer failure is logged and shown once, in a box titled
// "Druckerfehler!" that says what failed; after it the line printer prints
// nothing until the next print run starts.
void DS_Druck_Zeile(const QVariant &text);

// Ends the document of a print run. A printer failure there is the run's
// failure, shown as above and raised for the caller's handler to log; after
// an earlier failure of the same run it is dropped, told and logged already.
void endPrintRun();
