#include "storage/FileType.h"

#include "storage/Declare.h"
#include "storage/Options.h"

#include <limits>

namespace {

class EmptyRegistry : public FileTypeRegistry
{
public:
    long openKey(const QString &) override { return NotFound; }
    long queryDefaultValue(const QString &, QByteArray &) override { return NotFound; }
};

std::shared_ptr<FileTypeRegistry> &current()
{
    static std::shared_ptr<FileTypeRegistry> registry = std::make_shared<EmptyRegistry>();
    return registry;
}

} // namespace

FileTypeRegistry &fileTypeRegistry()
{
    return *current();
}

void setFileTypeRegistry(std::shared_ptr<FileTypeRegistry> registry)
{
    current() = registry ? std::move(registry) : std::make_shared<EmptyRegistry>();
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
