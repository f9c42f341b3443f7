#include "exchange/Export.h"

void MDIForm1_menue_export_textdatei_Click()
{
}
