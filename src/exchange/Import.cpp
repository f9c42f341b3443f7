#include "exchange/Import.h"

#include "platform/FileDialog.h"
#include "storage/Declare.h"

#include <QDir>

void MDIForm1_menue_import_datenbank_Click()
{
    Declare &g = G();
    const FormHooks &f = g.forms;
    const QString item = QStringLiteral("menue_import_datenbank");
    // The mark is the busy flag: an import runs, or one ended on an error.
    if (f.menuChecked && f.menuChecked(item))
        return;
    if (f.closeChildWindows)
        f.closeChildWindows();
    if (f.setMenuChecked)
        f.setMenuChecked(item, true);

    const QString datei = platform::showOpenFileDialog(
        {g.Verz_Dat, QString(), QStringLiteral("Alle Dateien (*.*)|*.*| Update-Dateien (*.rml)|*.rml|"), 2});
    if (!datei.trimmed().isEmpty()) {
        if (f.setMainEnabled)
            f.setMainEnabled(false);
        Upd_1_Start(datei);
        if (f.setMainEnabled)
            f.setMainEnabled(true);
    } else {
        g.Msg_Titel = QStringLiteral("Auswahl einer Update-Datei!");
        g.Msg_Text = QStringLiteral("Es wurde keine Update-Datei ausgewählt!");
        g.Msg_Stil = 64;
        Msg_Box();
        if (f.setMenuChecked)
            f.setMenuChecked(item, false);
    }
    // The dialog may have changed the current directory.
    QDir::setCurrent(g.Verz_Programm);
}
