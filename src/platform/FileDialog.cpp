#include "platform/FileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace platform {

namespace {

OpenFileDialog &seam()
{
    static OpenFileDialog dialog;
    return dialog;
}

} // namespace

void setOpenFileDialog(OpenFileDialog dialog)
{
    seam() = std::move(dialog);
}

QString showOpenFileDialog(const OpenFileRequest &request)
{
    if (seam())
        return seam()(request);
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return {};
    // "Alle Dateien (*.*)|*.*|" or "px_4x_b.mdb|px_4x_b.mdb|" pair a
    // description with its pattern; Qt reads the pattern from the parentheses
    // of a filter's text, so a description without them gets the pattern
    // added.
    QStringList filters;
    const QStringList parts = request.filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString pattern = parts.at(i + 1).trimmed();
        if (description.isEmpty() && pattern.isEmpty())
            continue;
        filters << (description.contains(QLatin1Char('('))
                        ? description
                        : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    QFileDialog dialog(QApplication::activeWindow(), QString(), request.directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    // An index past the last filter keeps the first one, as the classic dialog did.
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(request.filterIndex - 1));
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace platform
