#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The desktop's file-type registry as the start-up and the registration see
// it: keys below the root of file types, each with an unnamed default value.
// Result codes follow the Windows registry calls: 0 is success.
class FileTypeRegistry
{
public:
    // Windows' codes, so that callers read the same results on every desktop.
    static constexpr long Ok = 0;
    static constexpr long NotFound = 2;
    static constexpr long AccessDenied = 5;
    static constexpr long NotSupported = 50;
    static constexpr long BadPathName = 161;

    virtual ~FileTypeRegistry() = default;
    // Opens a key below the root of file types (".rml").
    virtual long openKey(const QString &key) = 0;
    // Reads the key's default value as 8-bit text without its terminating zero.
    virtual long queryDefaultValue(const QString &key, QByteArray &value) = 0;
    // Creates or opens a key below the root. A registry that cannot be written
    // answers "access denied".
    virtual long createKey(const QString &) { return AccessDenied; }
    // Sets the default value of the key, or of its subkey ("shell\open\command")
    // when one is named, creating that subkey.
    virtual long setDefaultValue(const QString &, const QString &, const QString &) { return AccessDenied; }
    // Lets the desktop take note of what was written (its caches); called once
    // after a registration, whatever its outcome.
    virtual void flush() {}
};

} // namespace platform
