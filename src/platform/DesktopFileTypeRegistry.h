#pragma once

#include "platform/FileTypeRegistry.h"

namespace platform {

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

} // namespace platform
