#pragma once

#include <string>
#include <string_view>

namespace tolvane::modemsim {

// What the modem makes of an uploaded file by the 96-byte trailer at its end.
struct ImageCheck {
    bool valid = false;
    std::string model;
    std::string annex;
    std::string label;   // "0.38f", "0.42"
    std::string variant; // "STD", "SPECIAL"
    std::string reason;  // why the file is not an image for this modem; empty when valid
};

inline constexpr std::size_t TrailerSize = 96;
inline constexpr std::string_view ModelName = "KVX4120/07";

// Checks magic, format, trailer checksum, model, annex, archive length and archive checksum.
ImageCheck checkImage(std::string_view file, std::string_view modemAnnex);

} // namespace tolvane::modemsim
