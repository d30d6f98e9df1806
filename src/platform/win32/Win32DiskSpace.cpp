#include "platform/DiskSpace.h"

#include <windows.h>

namespace tolvane {

namespace {

class Win32DiskSpace final : public DiskSpace {
public:
    bool query(const std::string& folder, DiskSpaceFigures* figures) override
    {
        *figures = {};
        ULARGE_INTEGER available{};
        ULARGE_INTEGER total{};
        ULARGE_INTEGER totalFree{};
        if (!GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &totalFree))
            return false;
        figures->availableToCaller = static_cast<std::int64_t>(available.QuadPart);
        figures->total = static_cast<std::int64_t>(total.QuadPart);
        figures->totalFree = static_cast<std::int64_t>(totalFree.QuadPart);
        return true;
    }
};

} // namespace

std::unique_ptr<DiskSpace> makeDiskSpace()
{
    return std::make_unique<Win32DiskSpace>();
}

} // namespace tolvane
