#pragma once

#include <cstdint>

namespace tolvane {

class IpHelper;
class MessageBoxes;

// Releases the DHCP lease of the adapter with this index. True only when the interface table
// could be read and the release call for the matching interface succeeded; false without any
// call when the table cannot be read or no interface matches.
bool ReleaseIP(IpHelper& ipHelper, std::int32_t adapterIndex);

// Renews the lease of the adapter with this index; the same rules as ReleaseIP.
bool RenewIP(IpHelper& ipHelper, std::int32_t adapterIndex);

// Starts the socket library, version 1.1. True when it started; nobody needs to look.
bool SocketsStartup(IpHelper& ipHelper);

// Ends the socket library. A failure is shown in a message box, in silent mode too.
bool SocketsCleanup(IpHelper& ipHelper, MessageBoxes& messageBoxes);

} // namespace tolvane
