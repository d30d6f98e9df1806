#pragma once

#include <string>
#include <string_view>

namespace tolvane::modemsim {

// The number part of a version text: "0.39k (Nov 15 2005)" gives "0.39k".
std::string versionNumberOf(std::string_view versionText);

// Why a modem running `currentVersion` (a number) refuses the image; empty when it takes it.
// The maker's rules: "0.38f" from anything; "0.42" from "0.38f" or from "0.39k" on; the special
// "0.42" only from above "0.39" to below "0.39k". Versions compare as plain text.
std::string upgradeRefusal(std::string_view currentVersion, std::string_view label,
                           std::string_view variant);

// The version text the modem reports once it runs the image with that label.
std::string versionTextAfter(std::string_view label);

} // namespace tolvane::modemsim
