#pragma once

#include <QString>

namespace platform {

// File names are matched without regard to case, as the program has always
// done on its home platform: "PX_Org.mdb" finds "px_org.mdb". Returns the path
// as it exists on disk, or an empty text when nothing matches.
QString findPath(const QString &path);

// The existing path when one matches, otherwise the path unchanged (for
// creating a file under the name the caller uses).
QString resolvePath(const QString &path);

bool pathExists(const QString &path);

} // namespace platform
