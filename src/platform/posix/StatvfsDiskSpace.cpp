#include "platform/DiskSpace.h"

#include <sys/statvfs.h>

namespace tolvane {

namespace {

class StatvfsDiskSpace final : public DiskSpace {
public:
    bool query(const std::string& folder, DiskSpaceFigures* figures) override
    {
        *figures = {};
        struct statvfs volume {};
        if (::statvfs(folder.c_str(), &volume) != 0)
            return false;
        const auto unit = static_cast<std::int64_t>(volume.f_frsize);
        figures->availableToCaller = static_cast<std::int64_t>(volume.f_bavail) * unit;
        figures->total = static_cast<std::int64_t>(volume.f_blocks) * unit;
        figures->totalFree = static_cast<std::int64_t>(volume.f_bfree) * unit;
        return true;
    }
};

} // namespace

std::unique_ptr<DiskSpace> makeDiskSpace()
{
    return std::make_unique<StatvfsDiskSpace>();
}

} // namespace tolvane
