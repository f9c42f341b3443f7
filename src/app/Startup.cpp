#include "app/Startup.h"

#include "app/MDIForm1.h"
#include "engine/Database.h"
#include "exchange/Import.h"
#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "platform/VersionInfo.h"
#include "print/Printer.h"
#include "record/Frm_Start.h"
#include "storage/DatabaseHandling.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/FileType.h"
#include "storage/Options.h"
#include "storage/RuntimeError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <optional>

namespace {

std::optional<QString> &commandLineOverride()
{
    static std::optional<QString> text;
    return text;
}

// The listing test of the start-up: an entry of that name, file or
// directory, in any letter case.
bool listed(const QString &path, const QString &name)
{
    const QString found = platform::findPath(path);
    return !found.isEmpty() && QFileInfo(found).fileName().toUpper() == name.toUpper();
}

void makeDirectory(const QString &path)
{
    if (!QDir().mkdir(path))
        runtime::raise(runtime::PathFileAccess, path);
}

// A missing working copy comes from the program directory; an existing one
// is never overwritten.
void copyTemplate(const QString &templateName, const QString &copyName)
{
    const Declare &g = G();
    if (listed(g.Verz_Programm + QStringLiteral("DB/") + templateName, templateName))
        return;
    const QString source = platform::findPath(g.Verz_Programm + templateName);
    if (source.isEmpty() || !QFileInfo(source).isFile())
        runtime::raise(runtime::FileNotFound, g.Verz_Programm + templateName);
    const QString dir = platform::findPath(g.Verz_DB);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        runtime::raise(runtime::PathNotFound, g.Verz_DB);
    const QString target = QDir(dir).filePath(copyName);
    if (!QFile::copy(source, target))
        runtime::raise(runtime::PathFileAccess, target);
    // A template installed read-only must not give a working copy that
    // cannot take a single record.
    QFile::setPermissions(target, QFile::permissions(target) | QFile::ReadOwner | QFile::WriteOwner);
}

void showStartPicture(Frm_Start *f)
{
    f->Image2->setGeometry(f->SSTab1->x(), f->Image2->y(), f->SSTab1->width(), f->Image2->height());
    f->Image2->setVisible(true);
    f->SSTab1->setVisible(false);
    f->Frame_Ueberschrift->setVisible(false);
    f->Frame_Anzahl->setVisible(false);
    f->Image1->setVisible(true);
    if (MDIForm1 *main = MDIForm1::instance())
        main->showStartWindow();
    f->Frame_Anzahl->setVisible(false);
}

void commandLineImport(const QString &text)
{
    const FormHooks &f = G().forms;
    if (f.processEvents)
        f.processEvents();
    if (f.closeChildWindows)
        f.closeChildWindows();
    if (f.setMainEnabled)
        f.setMainEnabled(false);
    if (f.setMenuChecked)
        f.setMenuChecked(QStringLiteral("menue_import_datenbank"), true);
    Upd_1_Start(text);
    if (f.setMainEnabled)
        f.setMainEnabled(true);
}

} // namespace

QString commandLineText()
{
    if (commandLineOverride())
        return *commandLineOverride();
    return QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
}

void setCommandLineText(const QString &text)
{
    commandLineOverride() = text;
}

int checkFileTypeAssociation()
{
    const Declare &g = G();
    const QString product = platform::versionInfo().productName;
    FileTypeRegistry &registry = fileTypeRegistry();
    registry.openKey(QStringLiteral(".rml"));
    // The buffer starts with filler so that a failed read can never look
    // like the product name.
    QByteArray buffer = QByteArray("Gebrabbel").leftJustified(255, ' ');
    const int size = 100;
    QByteArray value;
    long result = registry.queryDefaultValue(QStringLiteral(".rml"), value);
    if (result == 0) {
        if (value.size() + 1 > size)
            result = 234; // the value does not fit: nothing is copied
        else
            buffer.replace(0, value.size() + 1, value + '\0');
    }
    const QString command = g.Verz_Programm + product + QStringLiteral(".exe");
    int calls = 0;
    if (result != 0) {
        Reg_Dateityp(product, command, product, QStringLiteral("rml"));
        ++calls;
    }
    if (platform::fromCp1252(buffer.left(15)) != product.left(15)) {
        Reg_Dateityp(product, command, product, QStringLiteral("rml"));
        ++calls;
    }
    return calls;
}

void releaseEverything()
{
    G().reset();
    // The print surface holds a device of the window system, which must go
    // before the application object does.
    print::setPrinter(nullptr);
    engine::releaseAllFiles();
}

void A_Start()
{
    Declare &g = G();
    g.Fehler_geloggt = 0;
    g.Ortungs_Nr = 0;
    guarded(QStringLiteral("A_Start"), [&g] {
        const QString dir = platform::programDirectory();
        g.Verz_Programm = dir + QLatin1Char('/');
        g.Verz_Dat = dir + QStringLiteral("/Dat/");
        g.Verz_Log = dir + QStringLiteral("/Log/");
        g.Verz_DB = dir + QStringLiteral("/DB/");

        for (const QString &name : {QStringLiteral("Log"), QStringLiteral("Dat"), QStringLiteral("DB")}) {
            if (!listed(g.Verz_Programm + name, name))
                makeDirectory(g.Verz_Programm + name);
        }

        copyTemplate(QStringLiteral("PX_Org.mdb"), QStringLiteral("px_org.mdb"));
        copyTemplate(QStringLiteral("px_4x_b.mdb"), QStringLiteral("px_4x_b.mdb"));
        copyTemplate(QStringLiteral("px_4x_m.mdb"), QStringLiteral("px_4x_m.mdb"));

        g.DB_Passwort = QStringLiteral("wexor");
        g.Datenbank_Org = engine::Database::open(g.Verz_DB + QStringLiteral("PX_Org.mdb"), true, false,
                                                 QStringLiteral("; pwd=") + g.DB_Passwort.toString());
        g.RS_Optionen = g.Datenbank_Org->openRecordset(QStringLiteral("Optionen"));

        A_org_lesen();
        DB_Load();

        if (!g.Verz_Programm.contains(QStringLiteral("OrmKal"), Qt::CaseSensitive))
            checkFileTypeAssociation();

        if (MDIForm1 *main = MDIForm1::instance(); main && main->frmStart())
            showStartPicture(main->frmStart());

        const QString text = commandLineText();
        if (!text.isEmpty())
            commandLineImport(text);
    });
}
