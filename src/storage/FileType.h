#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// The desktop's file-type registry as the start-up and the registration see
// it: keys below the root of file types, each with an unnamed default value.
// Result codes follow the Windows registry calls: 0 is success.
class FileTypeRegistry
{
public:
    virtual ~FileTypeRegistry();
    // Opens a key below the root of file types (".rml").
    virtual long openKey(const QString &key) = 0;
    // Reads the key's default value as 8-bit text without its terminating zero.
    virtual long queryDefaultValue(const QString &key, QByteArray &value) = 0;
    // Creates or opens a key below the root. A registry that cannot be written
    // answers "access denied".
    virtual long createKey(const QString &key);
    // Sets the default value of the key, or of its subkey ("shell\open\command")
    // when one is named, creating that subkey.
    virtual long setDefaultValue(const QString &key, const QString &subKey, const QString &value);
    // Lets the desktop take note of what was written (its caches); called once
    // after a registration, whatever its outcome.
    virtual void flush();
};

// The association on a freedesktop.org desktop. An extension is a MIME type
// "application/x-ploxa-<extension>" with the glob "*.<extension>" in the
// package $XDG_DATA_HOME/mime/packages/<type name>.xml; a type name is the
// desktop entry $XDG_DATA_HOME/applications/<type name>.desktop (its Name is
// the description, its Exec the open command with %f for %1); the default
// value of the extension is the entry that $XDG_CONFIG_HOME/mimeapps.list
// names as the type's default application, without ".desktop".
class DesktopFileTypeRegistry : public FileTypeRegistry
{
public:
    // refreshCaches: run update-mime-database and update-desktop-database
    // (where installed) after a registration.
    explicit DesktopFileTypeRegistry(bool refreshCaches = true);

    long openKey(const QString &key) override;
    long queryDefaultValue(const QString &key, QByteArray &value) override;
    long createKey(const QString &key) override;
    long setDefaultValue(const QString &key, const QString &subKey, const QString &value) override;
    void flush() override;

    // The places, from the environment at the time of the call.
    static QString dataHome();
    static QString configHome();
    static QString mimeTypeFor(const QString &extension);

private:
    bool m_refreshCaches;
    bool m_mimeChanged = false;
    bool m_desktopChanged = false;
};

// The registry in use. Until the program installs the desktop's, it answers
// every key with "not found" and takes no value, so code run without the
// program (tests) never touches the user's desktop settings.
FileTypeRegistry &fileTypeRegistry();
// The program (and tests) put their registry here; nullptr restores the empty one.
void setFileTypeRegistry(std::shared_ptr<FileTypeRegistry> registry);

// Registers the transfer-file type for this program: description, command
// (full path of the program file), type name and extension without the point.
// When all six registry calls succeed, Dateityp_registriert is set and stored
// with the options record; otherwise nothing is reported and the start-up
// tries again at its next run.
void Reg_Dateityp(const QString &beschreibung, const QString &befehl, const QString &typName, const QString &endung);
