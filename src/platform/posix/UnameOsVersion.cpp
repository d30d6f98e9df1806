#include "platform/OsVersion.h"

#include <cstdio>
#include <sys/utsname.h>

namespace tolvane {

namespace {

// No Windows version record exists here: the platform id names neither Windows family.
class UnameOsVersion final : public OsVersion {
public:
    OsVersionRecord query() override
    {
        OsVersionRecord record;
        utsname name{};
        if (::uname(&name) == 0)
            std::sscanf(name.release, "%u.%u", &record.majorVersion, &record.minorVersion);
        return record;
    }
};

} // namespace

std::unique_ptr<OsVersion> makeOsVersion()
{
    return std::make_unique<UnameOsVersion>();
}

} // namespace tolvane
