#pragma once

#include <QString>

// The start-up: directories, working copies of the templates, the options
// record, both databases, the file-type test, the start picture and the
// import of a file named on the command line.
void A_Start();

// The end of a run, once every window is gone: the module-wide state is
// released and every database closed, so that each file stands complete
// without a journal beside it and a copy of the files alone loses nothing.
void releaseEverything();

// The file-type test of the start-up: asks the registry for ".rml" and calls
// Reg_Dateityp when the key is missing (and again when its value does not
// begin with the product name). Returns how often it called.
int checkFileTypeAssociation();

// The command-line text: the program's arguments joined by blanks, as given.
QString commandLineText();
// Tests start with a command line of their choosing.
void setCommandLineText(const QString &text);
