#pragma once

#include <cstdint>
#include <memory>

namespace tolvane {

// The fields of the platform's version record (GetVersionExA) that the program looks at.
struct OsVersionRecord {
    std::uint32_t platformId = 0; // 1: Windows 9x family, 2: Windows NT family
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
};

class OsVersion {
public:
    virtual ~OsVersion() = default;
    virtual OsVersionRecord query() = 0;
};

// On systems other than Windows the record names no Windows platform (platform id 0), with the
// kernel's own major and minor version.
std::unique_ptr<OsVersion> makeOsVersion();

} // namespace tolvane
