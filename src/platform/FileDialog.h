#pragma once

#include <QString>
#include <functional>

namespace platform {

// What a caller asks the file-open dialog: start directory, start name,
// filter text in the classic "description|pattern|..." form and the 1-based
// index of the preselected filter.
struct OpenFileRequest
{
    QString directory;
    QString fileName;
    QString filter;
    int filterIndex = 1;
};

// Shows the dialog and returns the chosen path, or an empty text when the
// user cancelled.
QString showOpenFileDialog(const OpenFileRequest &request);

// Test seam: when set, the function answers instead of the dialog. One seam
// serves every caller; only one such dialog is ever open at a time.
using OpenFileDialog = std::function<QString(const OpenFileRequest &)>;
void setOpenFileDialog(OpenFileDialog dialog);

} // namespace platform
