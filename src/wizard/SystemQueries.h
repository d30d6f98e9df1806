#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

struct OsVersionRecord;

// The Windows name of a version record: "Windows XP", "Windows 2000" and their older kin; an
// empty text for a Windows version the table does not know; "Failed" for any platform that is
// neither Windows family.
std::string GetOSName(const OsVersionRecord& record);

// The drive part of a folder: up to and including the first ":\" ("C:\" of "C:\Tools\Upgrade");
// a folder without one gives its first character ("/" on Linux).
std::string DriveTextOf(const std::string& folder);

// Bytes of the carried resources measured as text: B bytes count as B / 2 characters.
std::int64_t CharacterCount(std::int64_t bytes);

// The "Minimum Space" of the disk space message: the bytes needed in megabytes, rounded half to
// even, plus one.
std::int64_t MinimumSpaceMegabytes(std::int64_t bytesNeeded);

} // namespace tolvane
