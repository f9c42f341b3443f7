#include "record/LoadBusiness.h"

void DB_Load_DATA(const QVariant &, const QVariant &, const QVariant &)
{
}
