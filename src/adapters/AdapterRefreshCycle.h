#pragma once

namespace tolvane {

class IpHelper;
class MessageBoxes;
class MousePointer;
struct GatewayTable;

// Refreshes the PC's DHCP leases and gathers its default gateways into `gateways`, the only way
// the upgrade reaches the adapter tool: loads the adapter window without showing it, hides it,
// pauses a second and unloads it. Lasts at least six seconds plus the release and renew calls.
// Ending the program during a Pause unwinds through it without unloading the window.
void AdapterRefreshCycle(IpHelper& ipHelper, MousePointer& mousePointer, MessageBoxes& messageBoxes,
                         GatewayTable& gateways);

} // namespace tolvane
