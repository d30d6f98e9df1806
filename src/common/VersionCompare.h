#pragma once

#include <string_view>

namespace tolvane {

// Firmware versions are compared as plain text, character code by character code and
// case-sensitive; a text that begins another is the smaller. "0.100" < "0.42" < "0.5" on purpose:
// the image choice rules of the modem maker are written for this order.
inline bool VersionLess(std::string_view a, std::string_view b)
{
    return a < b; // char_traits<char> compares as unsigned char
}

} // namespace tolvane
