#include "print/Print.h"

void MDIForm1_menue_druck_betrieb_Click()
{
}

void MDIForm1_menue_druck_Person_Click()
{
}

void List_Druck_Satz(ListKind, BoundView *)
{
}

void List_Druck_Liste(ListKind, BoundView *)
{
}
