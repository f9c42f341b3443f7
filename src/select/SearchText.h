#pragma once

#include <QString>

// A text typed into a search field goes into a LIKE criterion as a pattern:
// its *, ?, # and [..] keep their meaning, only its apostrophes are doubled so
// that it can never end the literal early.
QString doubledApostrophes(const QString &typed);
