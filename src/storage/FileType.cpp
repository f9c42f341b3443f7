#include "storage/FileType.h"

#include "platform/Cp1252.h"
#include "storage/Declare.h"
#include "storage/Options.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <functional>
#include <limits>

namespace {

// Windows' codes, so that callers read the same results on every desktop.
constexpr long kOk = 0;
constexpr long kNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kNotSupported = 50;
constexpr long kBadPathName = 161;

class EmptyRegistry : public FileTypeRegistry
{
public:
    long openKey(const QString &) override { return kNotFound; }
    long queryDefaultValue(const QString &, QByteArray &) override { return kNotFound; }
};

std::shared_ptr<FileTypeRegistry> &current()
{
    static std::shared_ptr<FileTypeRegistry> registry = std::make_shared<EmptyRegistry>();
    return registry;
}

const QString kDesktopGroup = QStringLiteral("Desktop Entry");
const QString kDefaultsGroup = QStringLiteral("Default Applications");

// Key names become file names: nothing that could climb out of the directory.
bool isExtensionKey(const QString &key)
{
    static const QRegularExpression re(QStringLiteral("^\\.[A-Za-z0-9_+-]+$"));
    return re.match(key).hasMatch();
}

bool isTypeNameKey(const QString &key)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9_.-]*$"));
    return re.match(key).hasMatch();
}

bool isCommandSubKey(const QString &subKey)
{
    QString s = subKey;
    s.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return s.compare(QStringLiteral("shell\\open\\command"), Qt::CaseInsensitive) == 0;
}

QString applicationsDir()
{
    return DesktopFileTypeRegistry::dataHome() + QStringLiteral("/applications");
}

QString packagesDir()
{
    return DesktopFileTypeRegistry::dataHome() + QStringLiteral("/mime/packages");
}

QString desktopFile(const QString &typeName)
{
    return applicationsDir() + QLatin1Char('/') + typeName + QStringLiteral(".desktop");
}

QString packageFile(const QString &typeName)
{
    return packagesDir() + QLatin1Char('/') + typeName + QStringLiteral(".xml");
}

QString mimeAppsFile()
{
    return DesktopFileTypeRegistry::configHome() + QStringLiteral("/mimeapps.list");
}

// --- key files (desktop entries and mimeapps.list) --------------------------
// Edited line by line, so that whatever else the user or the desktop keeps in
// them survives untouched.

QStringList readLines(const QString &path, bool *exists = nullptr)
{
    QFile f(path);
    const bool ok = f.open(QIODevice::ReadOnly);
    if (exists)
        *exists = ok;
    if (!ok)
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The whole file or nothing: a reader never sees it half-written.
bool writeText(const QString &path, const QString &text)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (f.write(bytes) != bytes.size())
        return false;
    return f.commit();
}

bool writeLines(const QString &path, const QStringList &lines)
{
    return writeText(path, lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool isGroupHeader(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'));
}

// The key of an entry line, or an empty text for comments and blank lines.
QString entryKey(const QString &line)
{
    if (line.trimmed().startsWith(QLatin1Char('#')))
        return {};
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

QString entryValue(const QString &line)
{
    const QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1);
    qsizetype start = 0;
    while (start < value.size() && value.at(start) == QLatin1Char(' '))
        ++start;
    return value.mid(start);
}

// A null text when the group or the key is missing.
QString entry(const QStringList &lines, const QString &group, const QString &key)
{
    bool inGroup = false;
    for (const QString &line : lines) {
        if (isGroupHeader(line)) {
            inGroup = line.trimmed() == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        if (inGroup && entryKey(line) == key)
            return entryValue(line);
    }
    return QString();
}

void setEntry(QStringList &lines, const QString &group, const QString &key, const QString &value)
{
    const QString newLine = key + QLatin1Char('=') + value;
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    qsizetype groupLine = -1;
    qsizetype lastEntry = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (isGroupHeader(line)) {
            if (groupLine >= 0)
                break;
            if (line.trimmed() == header)
                groupLine = lastEntry = i;
            continue;
        }
        if (groupLine < 0)
            continue;
        if (entryKey(line) == key) {
            lines[i] = newLine;
            return;
        }
        if (!line.trimmed().isEmpty())
            lastEntry = i;
    }
    if (groupLine < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << header << newLine;
        return;
    }
    lines.insert(lastEntry + 1, newLine);
}

// Desktop entry string values escape backslash and control characters.
QString escapeString(const QString &s)
{
    QString out;
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescapeString(const QString &s)
{
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i) != QLatin1Char('\\') || i + 1 == s.size()) {
            out += s.at(i);
            continue;
        }
        const QChar n = s.at(++i);
        out += n == QLatin1Char('n') ? QChar(u'\n') : n == QLatin1Char('t') ? QChar(u'\t')
             : n == QLatin1Char('r') ? QChar(u'\r') : n == QLatin1Char('s') ? QChar(u' ') : n;
    }
    return out;
}

// --- the open command -------------------------------------------------------
// The registry keeps the command as plain text ("path %1", no quotation marks
// even around blanks); an Exec line must quote such a path or the desktop
// would start the part before the first blank.

const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

QString execArgument(const QString &arg)
{
    QString out = arg;
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    bool quote = out.isEmpty();
    for (const QChar c : out)
        quote = quote || kReserved.contains(c);
    if (!quote)
        return out;
    QString quoted;
    for (const QChar c : out) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The program file of the command. The command names the program file as it
// is called on Windows; where only the file without ".exe" exists, that one
// is the program here.
QString programFile(const QString &path)
{
    if (path.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive) && !QFileInfo(path).isFile()) {
        const QString bare = path.chopped(4);
        if (QFileInfo(bare).isFile())
            return bare;
    }
    return path;
}

// Desktops drop an entry whose Exec names a path with "%" in it, although
// "%%" is the written form of one. Such a program is reached through a link
// of the type's own, under the user's data directory, whose path has none.
QString linkDir(const QString &typeName)
{
    return DesktopFileTypeRegistry::dataHome() + QLatin1Char('/') + typeName;
}

// The Exec line of a command; empty when the link it needs cannot be made.
QString execLine(const QString &command, const QString &typeName)
{
    QString program = command;
    bool withFile = false;
    for (const QString &placeholder : {QStringLiteral(" %1"), QStringLiteral(" \"%1\"")}) {
        if (program.endsWith(placeholder)) {
            program.chop(placeholder.size());
            withFile = true;
            break;
        }
    }
    program = programFile(program);
    if (program.contains(QLatin1Char('%'))) {
        const QString link = linkDir(typeName) + QLatin1Char('/')
                             + QFileInfo(program).fileName().replace(QLatin1Char('%'), QLatin1Char('_'));
        if (link.contains(QLatin1Char('%')) || !QDir().mkpath(linkDir(typeName)))
            return {};
        QFile::remove(link);
        if (!QFile::link(QFileInfo(program).absoluteFilePath(), link))
            return {};
        program = link;
    }
    return escapeString(execArgument(program) + (withFile ? QStringLiteral(" %f") : QString()));
}

// Back from an Exec line to the registry's form of the command.
QString commandOf(const QString &exec)
{
    const QString line = unescapeString(exec);
    QString program;
    qsizetype i = 0;
    if (line.startsWith(QLatin1Char('"'))) {
        for (i = 1; i < line.size() && line.at(i) != QLatin1Char('"'); ++i) {
            if (line.at(i) == QLatin1Char('\\') && i + 1 < line.size())
                ++i;
            program += line.at(i);
        }
        ++i;
    } else {
        while (i < line.size() && line.at(i) != QLatin1Char(' '))
            program += line.at(i++);
    }
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    // A link of ours stands for the program it points to.
    const QFileInfo link(program);
    if (link.isSymLink() && program.startsWith(DesktopFileTypeRegistry::dataHome() + QLatin1Char('/')))
        program = link.symLinkTarget();
    const QString rest = line.mid(i);
    return rest.contains(QStringLiteral("%f")) || rest.contains(QStringLiteral("%F")) ? program + QStringLiteral(" %1")
                                                                                       : program;
}

// --- MIME packages ----------------------------------------------------------

// The extensions a package of ours declares.
QStringList packageExtensions(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression glob(QStringLiteral("<glob pattern=\"\\*\\.([^\"]+)\""));
    QStringList extensions;
    auto it = glob.globalMatch(QString::fromUtf8(f.readAll()));
    while (it.hasNext())
        extensions << it.next().captured(1);
    return extensions;
}

QString xmlEscaped(const QString &s)
{
    return s.toHtmlEscaped();
}

bool writePackage(const QString &typeName, const QStringList &extensions, const QString &comment)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
    for (const QString &ext : extensions) {
        xml += QStringLiteral("  <mime-type type=\"%1\">\n").arg(DesktopFileTypeRegistry::mimeTypeFor(ext));
        xml += QStringLiteral("    <comment>%1</comment>\n").arg(xmlEscaped(comment));
        // Transfer files are text: editors stay on offer beside the program.
        xml += QStringLiteral("    <sub-class-of type=\"text/plain\"/>\n");
        xml += QStringLiteral("    <glob pattern=\"*.%1\"/>\n").arg(ext);
        xml += QStringLiteral("  </mime-type>\n");
    }
    xml += QStringLiteral("</mime-info>\n");
    return writeText(packageFile(typeName), xml);
}

// True when some package in the user's MIME directory declares the type.
bool typeDeclared(const QString &mimeType)
{
    const QDir dir(packagesDir());
    const QByteArray needle = "type=\"" + mimeType.toUtf8() + '"';
    for (const QString &name : dir.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains(needle))
            return true;
    }
    return false;
}

// The desktop entry of a type name, with its MIME types taken from the
// package of the same name.
bool writeDesktopEntry(const QString &typeName, const std::function<void(QStringList &)> &change)
{
    bool exists = false;
    QStringList lines = readLines(desktopFile(typeName), &exists);
    if (!exists)
        lines << QLatin1Char('[') + kDesktopGroup + QLatin1Char(']');
    setEntry(lines, kDesktopGroup, QStringLiteral("Type"), QStringLiteral("Application"));
    change(lines);
    QStringList types;
    for (const QString &ext : packageExtensions(packageFile(typeName)))
        types << DesktopFileTypeRegistry::mimeTypeFor(ext) + QLatin1Char(';');
    if (!types.isEmpty())
        setEntry(lines, kDesktopGroup, QStringLiteral("MimeType"), types.join(QString()));
    // Like the registry entry, the association adds no item to the menus.
    setEntry(lines, kDesktopGroup, QStringLiteral("NoDisplay"), QStringLiteral("true"));
    setEntry(lines, kDesktopGroup, QStringLiteral("Terminal"), QStringLiteral("false"));
    return writeLines(desktopFile(typeName), lines);
}

void runTool(const QString &tool, const QString &dir)
{
    const QString exe = QStandardPaths::findExecutable(tool);
    if (exe.isEmpty())
        return;
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(exe, {dir});
    // A cache the desktop rebuilds later anyway is not worth a hanging start.
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(500);
    }
}

QString envDir(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    // Relative paths are invalid there and are to be ignored.
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QDir::homePath() + fallback;
}

} // namespace

// --- the interface's defaults -------------------------------------------------

FileTypeRegistry::~FileTypeRegistry() = default;

long FileTypeRegistry::createKey(const QString &)
{
    return kAccessDenied;
}

long FileTypeRegistry::setDefaultValue(const QString &, const QString &, const QString &)
{
    return kAccessDenied;
}

void FileTypeRegistry::flush() {}

FileTypeRegistry &fileTypeRegistry()
{
    return *current();
}

void setFileTypeRegistry(std::shared_ptr<FileTypeRegistry> registry)
{
    current() = registry ? std::move(registry) : std::make_shared<EmptyRegistry>();
}

// --- the desktop's registry ---------------------------------------------------

DesktopFileTypeRegistry::DesktopFileTypeRegistry(bool refreshCaches) : m_refreshCaches(refreshCaches) {}

QString DesktopFileTypeRegistry::dataHome()
{
    return envDir("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString DesktopFileTypeRegistry::configHome()
{
    return envDir("XDG_CONFIG_HOME", QStringLiteral("/.config"));
}

QString DesktopFileTypeRegistry::mimeTypeFor(const QString &extension)
{
    return QStringLiteral("application/x-ploxa-") + extension.toLower();
}

long DesktopFileTypeRegistry::openKey(const QString &key)
{
    if (isExtensionKey(key)) {
        const QString type = mimeTypeFor(key.mid(1));
        return typeDeclared(type) || !entry(readLines(mimeAppsFile()), kDefaultsGroup, type).isNull() ? kOk
                                                                                                        : kNotFound;
    }
    return isTypeNameKey(key) && QFileInfo(desktopFile(key)).isFile() ? kOk : kNotFound;
}

long DesktopFileTypeRegistry::queryDefaultValue(const QString &key, QByteArray &value)
{
    if (isExtensionKey(key)) {
        const QString type = mimeTypeFor(key.mid(1));
        if (!typeDeclared(type))
            return kNotFound;
        // The list may name several entries; the first one opens the file.
        const QString apps = entry(readLines(mimeAppsFile()), kDefaultsGroup, type);
        QString app = apps.split(QLatin1Char(';'), Qt::SkipEmptyParts).value(0).trimmed();
        if (app.endsWith(QStringLiteral(".desktop")))
            app.chop(8);
        value = platform::toCp1252(app);
        return kOk;
    }
    QString typeName = key;
    bool command = false;
    const qsizetype slash = key.indexOf(QLatin1Char('\\'));
    if (slash > 0) {
        typeName = key.left(slash);
        command = isCommandSubKey(key.mid(slash + 1));
        if (!command)
            return kNotFound;
    }
    if (!isTypeNameKey(typeName))
        return kNotFound;
    bool exists = false;
    const QStringList lines = readLines(desktopFile(typeName), &exists);
    if (!exists)
        return kNotFound;
    const QString field = entry(lines, kDesktopGroup, command ? QStringLiteral("Exec") : QStringLiteral("Name"));
    if (field.isNull())
        return kNotFound;
    value = platform::toCp1252(command ? commandOf(field) : unescapeString(field));
    return kOk;
}

long DesktopFileTypeRegistry::createKey(const QString &key)
{
    if (!isExtensionKey(key) && !isTypeNameKey(key))
        return kBadPathName;
    const QString dir = isExtensionKey(key) ? packagesDir() : applicationsDir();
    return QDir().mkpath(dir) ? kOk : kAccessDenied;
}

long DesktopFileTypeRegistry::setDefaultValue(const QString &key, const QString &subKey, const QString &value)
{
    if (isExtensionKey(key)) {
        if (!subKey.isEmpty())
            return kNotSupported;
        if (!isTypeNameKey(value))
            return kBadPathName;
        const QString ext = key.mid(1).toLower();
        QStringList extensions = packageExtensions(packageFile(value));
        if (!extensions.contains(ext))
            extensions << ext;
        QByteArray description;
        const QString comment = queryDefaultValue(value, description) == kOk && !description.isEmpty()
                                    ? platform::fromCp1252(description)
                                    : value;
        if (!writePackage(value, extensions, comment))
            return kAccessDenied;
        m_mimeChanged = true;
        QStringList apps = readLines(mimeAppsFile());
        setEntry(apps, kDefaultsGroup, mimeTypeFor(ext), value + QStringLiteral(".desktop;"));
        if (!writeLines(mimeAppsFile(), apps))
            return kAccessDenied;
        m_desktopChanged = true;
        // An entry written before the extension learns its new type.
        if (QFileInfo(desktopFile(value)).isFile() && !writeDesktopEntry(value, [](QStringList &) {}))
            return kAccessDenied;
        return kOk;
    }
    if (!isTypeNameKey(key))
        return kBadPathName;
    const bool command = !subKey.isEmpty();
    if (command && !isCommandSubKey(subKey))
        return kNotSupported;
    const QString exec = command ? execLine(value, key) : QString();
    if (command && exec.isEmpty())
        return kAccessDenied;
    const bool ok = writeDesktopEntry(key, [&](QStringList &lines) {
        if (command)
            setEntry(lines, kDesktopGroup, QStringLiteral("Exec"), exec);
        else
            setEntry(lines, kDesktopGroup, QStringLiteral("Name"), escapeString(value));
    });
    if (!ok)
        return kAccessDenied;
    m_desktopChanged = true;
    return kOk;
}

void DesktopFileTypeRegistry::flush()
{
    if (m_refreshCaches && m_mimeChanged)
        runTool(QStringLiteral("update-mime-database"), dataHome() + QStringLiteral("/mime"));
    if (m_refreshCaches && m_desktopChanged)
        runTool(QStringLiteral("update-desktop-database"), applicationsDir());
    m_mimeChanged = m_desktopChanged = false;
}

// --- the registration -----------------------------------------------------------

void Reg_Dateityp(const QString &beschreibung, const QString &befehl, const QString &typName, const QString &endung)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    FileTypeRegistry &registry = fileTypeRegistry();
    // The 16-bit sum of the codes: a code or a total outside that range ends
    // the registration as an overflow would.
    qint16 sum = 0;
    auto add = [&sum](long code) {
        const long total = long(sum) + code;
        if (code < std::numeric_limits<qint16>::min() || code > std::numeric_limits<qint16>::max()
            || total < std::numeric_limits<qint16>::min() || total > std::numeric_limits<qint16>::max())
            return false;
        sum = qint16(total);
        return true;
    };
    const QString extensionKey = QLatin1Char('.') + endung;
    // The registration leaves silently on any error, with no log entry: a
    // clerk without rights on the file types must not be bothered at each start.
    try {
        const bool complete = add(registry.createKey(typName))
                              && add(registry.setDefaultValue(typName, QString(), beschreibung))
                              && add(registry.createKey(extensionKey))
                              && add(registry.setDefaultValue(extensionKey, QString(), typName))
                              && add(registry.createKey(typName))
                              && add(registry.setDefaultValue(typName, QStringLiteral("shell\\open\\command"),
                                                              befehl + QStringLiteral(" %1")));
        registry.flush();
        if (complete && sum == 0) {
            g.Dateityp_registriert = true;
            A_org_update();
        }
    } catch (...) {
    }
}
