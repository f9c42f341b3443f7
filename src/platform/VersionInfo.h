#pragma once

#include <QString>

namespace platform {

// The program's version resource: what the info window shows and what the
// transfer files carry as the program's version.
struct VersionInfo
{
    QString productName;
    QString companyName;
    QString legalNotice;
    int major = 0;
    int minor = 0;
    int revision = 0;
};

const VersionInfo &versionInfo();

} // namespace platform
