#pragma once

#include <string>

namespace tolvane::modemsim {

// Cuts the TCP connection between the server's local port and the client at remoteAddress:
// remotePort at once, with a reset, as a modem does when it crashes in the middle of a request.
// False when no such connection is open in this process.
bool dropConnection(int localPort, const std::string& remoteAddress, int remotePort);

} // namespace tolvane::modemsim
