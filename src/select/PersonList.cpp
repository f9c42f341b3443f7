#include "select/PersonList.h"

void MDIForm1_menue_suchen_person_Click()
{
}
