#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "platform/DesktopFileTypeRegistry.h"
#include "platform/VersionInfo.h"
#include "platform/WidgetServices.h"
#include "storage/FileType.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::versionInfo().productName);
    QApplication::setOrganizationName(platform::versionInfo().companyName);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    // Standard buttons and dialogs speak German ("Ja", "Nein", "Abbrechen").
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    platform::installWidgetServices([]() -> QWidget * {
        if (QWidget *modal = QApplication::activeModalWidget())
            return modal;
        return MDIForm1::instance();
    });

    // Only the program itself registers the transfer-file type with the desktop.
    setFileTypeRegistry(std::make_shared<platform::DesktopFileTypeRegistry>());

    int status = 0;
    {
        MDIForm1 main;
        main.loadStartWindow();
        // The record window may have been closed while the start-up was still running.
        if (!main.programEnded())
            status = app.exec();
    }
    releaseEverything();
    return status;
}
