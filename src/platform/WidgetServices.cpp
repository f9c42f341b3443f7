#include "platform/WidgetServices.h"

#include "platform/MessageService.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace platform {

void installWidgetServices(std::function<QWidget *()> parent)
{
    MessageService::setPresenter([parent](const MessageRecord &rec) {
        QWidget *owner = parent ? parent() : nullptr;
        QMessageBox box(owner);
        box.setWindowTitle(rec.title);
        box.setText(rec.text);
        switch (rec.style & 0xF0) {
        case 16:
            box.setIcon(QMessageBox::Critical);
            break;
        case 32:
            box.setIcon(QMessageBox::Question);
            break;
        case 48:
            box.setIcon(QMessageBox::Warning);
            break;
        case 64:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
        }
        switch (rec.style & 0x0F) {
        case 1:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case 3:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case 4:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        }
        // A child of a disabled window would come up disabled and hang.
        box.setEnabled(true);
        box.setWindowModality(Qt::ApplicationModal);
        switch (box.exec()) {
        case QMessageBox::Yes:
            return vbYes;
        case QMessageBox::No:
            return vbNo;
        case QMessageBox::Cancel:
            return vbCancel;
        default:
            return vbOK;
        }
    });
    setViewer([](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
}

} // namespace platform
