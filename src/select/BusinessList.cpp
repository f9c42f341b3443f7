#include "select/BusinessList.h"

void MDIForm1_menue_suchen_betrieb_Click()
{
}
