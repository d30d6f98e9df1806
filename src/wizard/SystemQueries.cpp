#include "SystemQueries.h"

#include "platform/OsVersion.h"

#include <cmath>

namespace tolvane {

std::string GetOSName(const OsVersionRecord& record)
{
    if (record.platformId == 1) {
        switch (record.minorVersion) {
        case 0:
            return "Windows 95";
        case 10:
            return "Windows 98";
        case 90:
            return "Windows Millennium";
        default:
            return "";
        }
    }
    if (record.platformId == 2) {
        switch (record.majorVersion) {
        case 3:
            return "Windows NT 3.51";
        case 4:
            return "Windows NT 4.0";
        case 5:
            return record.minorVersion == 0 ? "Windows 2000" : "Windows XP";
        default:
            return "";
        }
    }
    return "Failed";
}

std::string DriveTextOf(const std::string& folder)
{
    const auto colon = folder.find(":\\");
    if (colon != std::string::npos)
        return folder.substr(0, colon + 2);
    return folder.substr(0, 1);
}

std::int64_t CharacterCount(std::int64_t bytes)
{
    return bytes / 2;
}

std::int64_t MinimumSpaceMegabytes(std::int64_t bytesNeeded)
{
    const double megabytes = static_cast<double>(bytesNeeded) / 1024 / 1024;
    return static_cast<std::int64_t>(std::nearbyint(megabytes)) + 1; // default mode: half to even
}

} // namespace tolvane
