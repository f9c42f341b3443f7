#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Windows-1252, the code page of transfer files and the error log. Qt has no
// codec for it, and Latin-1 differs at 0x80-0x9F. Bytes 0x81, 0x8D, 0x8F, 0x90
// and 0x9D are unassigned; they map to the C1 controls of the same value so
// that every byte survives a round trip.
QString fromCp1252(const QByteArray &bytes);
QByteArray toCp1252(const QString &text, char replacement = '?');
// The same into out, which must have room for text.size() bytes; returns
// the end of what was written.
char *encodeCp1252(QStringView text, char *out, char replacement = '?');

} // namespace platform
