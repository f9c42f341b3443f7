#include "storage/FileType.h"

#include "storage/Declare.h"

namespace {

// Windows' ERROR_FILE_NOT_FOUND: what a registry without the key answers.
constexpr long kNotFound = 2;

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

} // namespace

FileTypeRegistry::~FileTypeRegistry() = default;

FileTypeRegistry &fileTypeRegistry()
{
    return *current();
}

void setFileTypeRegistry(std::shared_ptr<FileTypeRegistry> registry)
{
    current() = registry ? std::move(registry) : std::make_shared<EmptyRegistry>();
}

void Reg_Dateityp(const QString &, const QString &, const QString &, const QString &)
{
    G().Ortungs_Nr = 0;
}
