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
};

// The registry in use. Until the desktop association is built it answers
// every key with "not found", so the start-up asks for a registration each run.
FileTypeRegistry &fileTypeRegistry();
// Tests (and later the desktop association) put their own registry here;
// nullptr restores the empty one.
void setFileTypeRegistry(std::shared_ptr<FileTypeRegistry> registry);

// Registers the transfer-file type for this program: description, command
// (full path of the program file), type name and extension without the point.
// Nothing is written yet; the stored flag Dateityp_registriert stays as it is.
void Reg_Dateityp(const QString &beschreibung, const QString &befehl, const QString &typName, const QString &endung);
