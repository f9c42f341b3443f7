#pragma once

#include <QString>
#include <QVariant>

// The texts the record window shows beside coded columns. Codes are stored as
// text; a value that is no code of the list gives an empty text.

// korr-meld: "1" to "7", compared as text ("01" is no code here).
QString korrekturmeldungText(const QVariant &korrMeld);
// tk-schwerp: "0" as text, 1 as a number ("01" counts as 1).
QString schwerpunktText(const QVariant &tkSchwerp);
// tk-ummeldung: "1" as text, 2 as a number.
QString ummeldungText(const QVariant &tkUmmeldung);
// p-funktion: by its numeric value, so "01" is 1.
QString funktionText(const QVariant &pFunktion);
