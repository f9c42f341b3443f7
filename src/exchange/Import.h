#pragma once

#include <QString>

// Imports a transfer file into the working database.
void Upd_1_Start(const QString &datei);
// The menu item "Daten-&Import (RML --> Access)".
void MDIForm1_menue_import_datenbank_Click();
