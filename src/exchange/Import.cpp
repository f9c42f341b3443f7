#include "exchange/Import.h"

void Upd_1_Start(const QString &)
{
}

void MDIForm1_menue_import_datenbank_Click()
{
}
