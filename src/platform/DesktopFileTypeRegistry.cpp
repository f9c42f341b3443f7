#include "platform/DesktopFileTypeRegistry.h"

#include "platform/Cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include <glib.h>

namespace platform {

namespace {

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

// The whole file or nothing: a reader never sees it half-written.
bool writeText(const QString &path, const QByteArray &bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(bytes) != bytes.size())
        return false;
    return f.commit();
}

// --- key files (desktop entries and mimeapps.list) --------------------------

// A key file as the desktop's own library reads and writes it: its groups,
// the escaping of its values, its comments and translations kept on rewriting.
class KeyFile
{
public:
    enum Load { Missing, Read, Unreadable };

    KeyFile() : m_file(g_key_file_new()) {}
    ~KeyFile() { g_key_file_free(m_file); }
    KeyFile(const KeyFile &) = delete;
    KeyFile &operator=(const KeyFile &) = delete;

    // False for text the desktop would not read; the key file is then empty.
    bool parse(const QByteArray &text)
    {
        const auto flags = GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);
        if (g_key_file_load_from_data(m_file, text.constData(), gsize(text.size()), flags, nullptr))
            return true;
        g_key_file_free(m_file);
        m_file = g_key_file_new();
        return false;
    }

    Load load(const QString &path)
    {
        if (!QFileInfo::exists(path))
            return Missing;
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && parse(f.readAll()) ? Read : Unreadable;
    }

    bool hasKey(const QString &group, const QString &key) const
    {
        return g_key_file_has_key(m_file, group.toUtf8().constData(), key.toUtf8().constData(), nullptr);
    }

    // Nothing when the key is missing or its value is no valid string.
    std::optional<QString> string(const QString &group, const QString &key) const
    {
        gchar *s = g_key_file_get_string(m_file, group.toUtf8().constData(), key.toUtf8().constData(), nullptr);
        if (!s)
            return std::nullopt;
        const QString value = QString::fromUtf8(s);
        g_free(s);
        return value;
    }

    QStringList stringList(const QString &group, const QString &key) const
    {
        gchar **list =
            g_key_file_get_string_list(m_file, group.toUtf8().constData(), key.toUtf8().constData(), nullptr, nullptr);
        QStringList out;
        for (gchar **s = list; s && *s; ++s)
            out << QString::fromUtf8(*s);
        g_strfreev(list);
        return out;
    }

    void setString(const QString &group, const QString &key, const QString &value)
    {
        g_key_file_set_string(m_file, group.toUtf8().constData(), key.toUtf8().constData(),
                              value.toUtf8().constData());
    }

    void setStringList(const QString &group, const QString &key, const QStringList &values)
    {
        std::vector<QByteArray> bytes;
        std::vector<const gchar *> pointers;
        for (const QString &v : values)
            bytes.push_back(v.toUtf8());
        for (const QByteArray &b : bytes)
            pointers.push_back(b.constData());
        g_key_file_set_string_list(m_file, group.toUtf8().constData(), key.toUtf8().constData(), pointers.data(),
                                   pointers.size());
    }

    void setBoolean(const QString &group, const QString &key, bool value)
    {
        g_key_file_set_boolean(m_file, group.toUtf8().constData(), key.toUtf8().constData(), value);
    }

    QByteArray data() const
    {
        gsize size = 0;
        gchar *text = g_key_file_to_data(m_file, &size, nullptr);
        const QByteArray bytes(text, qsizetype(size));
        g_free(text);
        return bytes;
    }

private:
    GKeyFile *m_file;
};

// The entry that opens files of the type, without ".desktop"; the list may
// name several, the first one opens the file.
QString defaultApplication(const KeyFile &apps, const QString &mimeType)
{
    for (const QString &listed : apps.stringList(kDefaultsGroup, mimeType)) {
        QString app = listed.trimmed();
        if (app.isEmpty())
            continue;
        if (app.endsWith(QStringLiteral(".desktop")))
            app.chop(8);
        return app;
    }
    return {};
}

// --- mimeapps.list, edited line by line ---------------------------------------
// The list is the user's as much as the desktop's. GLib would lay out the whole
// file anew on writing (a blank line after a leading comment, the spacing
// around "="); here the line that names the default changes and every other
// line stays as it was.

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

// Makes the type name's entry the default for the MIME type. A list the
// desktop could not read, or one in which the new line would not be the one
// it reads, is left alone: the desktop would never open the type with us.
bool setDefaultApplication(const QString &mimeType, const QString &typeName)
{
    const QString path = mimeAppsFile();
    QStringList lines;
    if (QFileInfo::exists(path)) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(f.readAll());
        if (utf8.hasError())
            return false;
        lines = text.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
    }
    setEntry(lines, kDefaultsGroup, mimeType, typeName + QStringLiteral(".desktop;"));
    const QByteArray text = (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    KeyFile check;
    if (!check.parse(text) || defaultApplication(check, mimeType) != typeName)
        return false;
    return writeText(path, text);
}

// --- the open command -------------------------------------------------------
// The registry keeps the command as plain text ("path %1", no quotation marks
// even around blanks); an Exec line must quote such a path or the desktop
// would start the part before the first blank. GLib offers only the shell's
// quoting, with single quotes, which an Exec line does not allow; the quoting
// of the desktop entry format is written here.

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

// The Exec value of a command; empty when the link it needs cannot be made.
QString execCommand(const QString &command, const QString &typeName)
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
    return execArgument(program) + (withFile ? QStringLiteral(" %f") : QString());
}

// Back from an Exec value to the registry's form of the command.
QString commandOf(const QString &exec)
{
    QString program;
    qsizetype i = 0;
    if (exec.startsWith(QLatin1Char('"'))) {
        for (i = 1; i < exec.size() && exec.at(i) != QLatin1Char('"'); ++i) {
            if (exec.at(i) == QLatin1Char('\\') && i + 1 < exec.size())
                ++i;
            program += exec.at(i);
        }
        ++i;
    } else {
        while (i < exec.size() && exec.at(i) != QLatin1Char(' '))
            program += exec.at(i++);
    }
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    // A link of ours stands for the program it points to.
    const QFileInfo link(program);
    if (link.isSymLink() && program.startsWith(DesktopFileTypeRegistry::dataHome() + QLatin1Char('/')))
        program = link.symLinkTarget();
    const QString rest = exec.mid(i);
    return rest.contains(QStringLiteral("%f")) || rest.contains(QStringLiteral("%F")) ? program + QStringLiteral(" %1")
                                                                                       : program;
}

// --- MIME packages ----------------------------------------------------------
// GLib reads the desktop's compiled MIME database but writes no packages; a
// package of ours is a fixed shape of a few lines per type.

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

bool writePackage(const QString &typeName, const QStringList &extensions, const QString &comment)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
    for (const QString &ext : extensions) {
        xml += QStringLiteral("  <mime-type type=\"%1\">\n").arg(DesktopFileTypeRegistry::mimeTypeFor(ext));
        xml += QStringLiteral("    <comment>%1</comment>\n").arg(comment.toHtmlEscaped());
        // Transfer files are text: editors stay on offer beside the program.
        xml += QStringLiteral("    <sub-class-of type=\"text/plain\"/>\n");
        xml += QStringLiteral("    <glob pattern=\"*.%1\"/>\n").arg(ext);
        xml += QStringLiteral("  </mime-type>\n");
    }
    xml += QStringLiteral("</mime-info>\n");
    return writeText(packageFile(typeName), xml.toUtf8());
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

// --- desktop entries --------------------------------------------------------

// The desktop entry of a type name, with its MIME types taken from the
// package of the same name. An entry the desktop could not read stays as it is.
bool writeDesktopEntry(const QString &typeName, const std::function<void(KeyFile &)> &change)
{
    KeyFile entry;
    if (entry.load(desktopFile(typeName)) == KeyFile::Unreadable)
        return false;
    entry.setString(kDesktopGroup, QStringLiteral("Type"), QStringLiteral("Application"));
    change(entry);
    QStringList types;
    for (const QString &ext : packageExtensions(packageFile(typeName)))
        types << DesktopFileTypeRegistry::mimeTypeFor(ext);
    if (!types.isEmpty())
        entry.setStringList(kDesktopGroup, QStringLiteral("MimeType"), types);
    // Like the registry entry, the association adds no item to the menus.
    entry.setBoolean(kDesktopGroup, QStringLiteral("NoDisplay"), true);
    entry.setBoolean(kDesktopGroup, QStringLiteral("Terminal"), false);
    return writeText(desktopFile(typeName), entry.data());
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

// Read at each call: GLib's g_get_user_data_dir() keeps its first answer for
// the life of the process, and a test gives every case a desktop of its own.
QString envDir(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    // Relative paths are invalid there and are to be ignored.
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QDir::homePath() + fallback;
}

} // namespace

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
        if (typeDeclared(type))
            return Ok;
        KeyFile apps;
        return apps.load(mimeAppsFile()) == KeyFile::Read && apps.hasKey(kDefaultsGroup, type) ? Ok : NotFound;
    }
    return isTypeNameKey(key) && QFileInfo(desktopFile(key)).isFile() ? Ok : NotFound;
}

long DesktopFileTypeRegistry::queryDefaultValue(const QString &key, QByteArray &value)
{
    if (isExtensionKey(key)) {
        const QString type = mimeTypeFor(key.mid(1));
        if (!typeDeclared(type))
            return NotFound;
        // A list the desktop cannot read names no default.
        KeyFile apps;
        apps.load(mimeAppsFile());
        value = toCp1252(defaultApplication(apps, type));
        return Ok;
    }
    QString typeName = key;
    bool command = false;
    const qsizetype slash = key.indexOf(QLatin1Char('\\'));
    if (slash > 0) {
        typeName = key.left(slash);
        command = isCommandSubKey(key.mid(slash + 1));
        if (!command)
            return NotFound;
    }
    if (!isTypeNameKey(typeName))
        return NotFound;
    KeyFile entry;
    if (entry.load(desktopFile(typeName)) != KeyFile::Read)
        return NotFound;
    const std::optional<QString> field =
        entry.string(kDesktopGroup, command ? QStringLiteral("Exec") : QStringLiteral("Name"));
    if (!field)
        return NotFound;
    value = toCp1252(command ? commandOf(*field) : *field);
    return Ok;
}

long DesktopFileTypeRegistry::createKey(const QString &key)
{
    if (!isExtensionKey(key) && !isTypeNameKey(key))
        return BadPathName;
    const QString dir = isExtensionKey(key) ? packagesDir() : applicationsDir();
    return QDir().mkpath(dir) ? Ok : AccessDenied;
}

long DesktopFileTypeRegistry::setDefaultValue(const QString &key, const QString &subKey, const QString &value)
{
    if (isExtensionKey(key)) {
        if (!subKey.isEmpty())
            return NotSupported;
        if (!isTypeNameKey(value))
            return BadPathName;
        const QString ext = key.mid(1).toLower();
        QStringList extensions = packageExtensions(packageFile(value));
        if (!extensions.contains(ext))
            extensions << ext;
        QByteArray description;
        const QString comment = queryDefaultValue(value, description) == Ok && !description.isEmpty()
                                    ? fromCp1252(description)
                                    : value;
        if (!writePackage(value, extensions, comment))
            return AccessDenied;
        m_mimeChanged = true;
        if (!setDefaultApplication(mimeTypeFor(ext), value))
            return AccessDenied;
        m_desktopChanged = true;
        // An entry written before the extension learns its new type.
        if (QFileInfo(desktopFile(value)).isFile() && !writeDesktopEntry(value, [](KeyFile &) {}))
            return AccessDenied;
        return Ok;
    }
    if (!isTypeNameKey(key))
        return BadPathName;
    const bool command = !subKey.isEmpty();
    if (command && !isCommandSubKey(subKey))
        return NotSupported;
    const QString exec = command ? execCommand(value, key) : QString();
    if (command && exec.isEmpty())
        return AccessDenied;
    const bool ok = writeDesktopEntry(key, [&](KeyFile &entry) {
        if (command)
            entry.setString(kDesktopGroup, QStringLiteral("Exec"), exec);
        else
            entry.setString(kDesktopGroup, QStringLiteral("Name"), value);
    });
    if (!ok)
        return AccessDenied;
    m_desktopChanged = true;
    return Ok;
}

void DesktopFileTypeRegistry::flush()
{
    if (m_refreshCaches && m_mimeChanged)
        runTool(QStringLiteral("update-mime-database"), dataHome() + QStringLiteral("/mime"));
    if (m_refreshCaches && m_desktopChanged)
        runTool(QStringLiteral("update-desktop-database"), applicationsDir());
    m_mimeChanged = m_desktopChanged = false;
}

} // namespace platform
