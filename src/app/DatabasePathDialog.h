#pragma once

#include <QString>
#include <functional>

// What the options window asks the file-open dialog when the clerk picks a
// working database: start directory, start name, filter text in the classic
// "description|pattern|" form and the 1-based index of the preselected filter.
struct DatabasePathRequest
{
    QString directory;
    QString fileName;
    QString filter;
    int filterIndex = 1;
};

// Shows the dialog and returns the chosen path, or an empty text when the
// clerk cancelled.
QString showDatabasePathDialog(const DatabasePathRequest &request);

// Test seam: when set, the function answers instead of the dialog.
using DatabasePathDialog = std::function<QString(const DatabasePathRequest &)>;
void setDatabasePathDialog(DatabasePathDialog dialog);
