#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tolvane {

struct DiskSpaceFigures {
    std::int64_t availableToCaller = 0;
    std::int64_t total = 0;
    std::int64_t totalFree = 0;
};

// The size of the volume that holds a folder (GetDiskFreeSpaceExA; statvfs elsewhere).
class DiskSpace {
public:
    virtual ~DiskSpace() = default;
    // False, with the figures left at zero, when the volume cannot be queried.
    virtual bool query(const std::string& folder, DiskSpaceFigures* figures) = 0;
};

std::unique_ptr<DiskSpace> makeDiskSpace();

} // namespace tolvane
