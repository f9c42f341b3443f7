#pragma once

#include "engine/EngineError.h"

#include <QString>

// Errors of the program's own file and object handling carry the classic
// runtime numbers (53 file not found, 75 path/file access, 76 path not found,
// 91 object not set) and the program as their source, so that the log reads
// like every other record.
namespace runtime {

constexpr int FileNotFound = 53;
constexpr int FileExists = 58;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int ObjectNotSet = 91;

inline QString source()
{
    return QStringLiteral("PLOXA_4x_Access");
}

[[noreturn]] inline void raise(int number, const QString &detail = {})
{
    throw engine::EngineError(number, source(), detail);
}

// A handle that was never set (a database or record set not opened).
template <typename Handle>
Handle &require(Handle &handle, const char *name)
{
    if (!handle)
        raise(ObjectNotSet, QString::fromLatin1(name));
    return handle;
}

} // namespace runtime
