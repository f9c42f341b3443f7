#pragma once

class Frm_Start;

// The menu item "öffnen (&Person)": the person selection list.
void MDIForm1_menue_suchen_person_Click();

// "Personen anzeigen" of the record window: the person list in its
// representatives mode, listing who represents the juridical person shown in
// the record window's person view. Does nothing for a natural person, an
// empty person view, or while any window or job holds its busy flag.
void Frm_Start_Command1_Click(Frm_Start *start);
