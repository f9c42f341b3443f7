#pragma once

// The menu item "öffnen (&Person)": the person selection list.
void MDIForm1_menue_suchen_person_Click();
