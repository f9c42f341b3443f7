#pragma once

class BoundView;

// The menu items "aktueller &Betrieb" and "aktuelle &Person" of "&drucken...".
void MDIForm1_menue_druck_betrieb_Click();
void MDIForm1_menue_druck_Person_Click();

enum class ListKind { Betrieb, Person };

// The "drucken" buttons of the two selection lists: "Satz" prints the record
// of the list's current row, "Liste" the list. data: the list's data view.
void List_Druck_Satz(ListKind kind, BoundView *data);
void List_Druck_Liste(ListKind kind, BoundView *data);
