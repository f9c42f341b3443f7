#include "exchange/Export.h"

#include "exchange/Frm_Verwaltungsblock.h"
#include "storage/Declare.h"

void MDIForm1_menue_export_textdatei_Click()
{
    const FormHooks &f = G().forms;
    const QString item = QStringLiteral("menue_export_textdatei");
    // The mark is the busy flag: the dialog is open or an export runs.
    if (f.menuChecked && f.menuChecked(item))
        return;
    if (f.closeChildWindows)
        f.closeChildWindows();
    if (f.setMenuChecked)
        f.setMenuChecked(item, true);
    auto *dialog = new Frm_Verwaltungsblock;
    dialog->showAsChild();
}
