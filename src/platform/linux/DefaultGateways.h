#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tolvane {

// The default gateway of each interface, as dotted text, from the text of /proc/net/route: of
// the routes that are up, lead through a gateway and match every destination, the one with the
// lowest metric (the first listed among equals). Addresses there are the raw 32-bit values in
// the host's byte order, which on the usual little-endian host reads reversed.
std::map<std::string, std::string> defaultGateways(std::string_view procNetRoute);

} // namespace tolvane
