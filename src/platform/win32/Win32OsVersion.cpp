#include "platform/OsVersion.h"

#include <windows.h>

namespace tolvane {

namespace {

class Win32OsVersion final : public OsVersion {
public:
    OsVersionRecord query() override
    {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info; // 148 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        GetVersionExA(&info);
#pragma GCC diagnostic pop
        return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
    }
};

} // namespace

std::unique_ptr<OsVersion> makeOsVersion()
{
    return std::make_unique<Win32OsVersion>();
}

} // namespace tolvane
