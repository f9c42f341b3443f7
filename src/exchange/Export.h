#pragma once

// The menu item "Daten-E&xport (Access --> RML)": the export header dialog.
void MDIForm1_menue_export_textdatei_Click();
