#pragma once

// The menu item "öffnen (&Betrieb)": the business selection list.
void MDIForm1_menue_suchen_betrieb_Click();
