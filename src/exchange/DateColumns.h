#pragma once

#include <QString>

namespace exchange {

// The 18 date fields of a transfer file: carried as YYYYMMDD (or the two
// placeholders) in the file, stored as text DD.MM.YYYY in the database. The
// names are compared without regard to case.
bool isDateColumn(const QString &name);

} // namespace exchange
