#include "UpgradePath.h"

#include "common/VersionCompare.h"

namespace tolvane::modemsim {

std::string versionNumberOf(std::string_view versionText)
{
    std::string_view number = versionText.substr(0, versionText.find('('));
    while (!number.empty() && number.front() == ' ')
        number.remove_prefix(1);
    while (!number.empty() && number.back() == ' ')
        number.remove_suffix(1);
    return std::string(number);
}

std::string upgradeRefusal(std::string_view currentVersion, std::string_view label,
                           std::string_view variant)
{
    const std::string image = std::string(label) + " " + std::string(variant);
    const std::string refused =
        "no upgrade path from " + std::string(currentVersion) + " to the " + image + " image";
    if (label == "0.38f" && variant == "STD")
        return {};
    if (label == "0.42" && variant == "STD")
        return currentVersion == "0.38f" || !VersionLess(currentVersion, "0.39k") ? "" : refused;
    if (label == "0.42" && variant == "SPECIAL")
        return VersionLess("0.39", currentVersion) && VersionLess(currentVersion, "0.39k")
                   ? ""
                   : refused;
    return "unknown image " + image;
}

std::string versionTextAfter(std::string_view label)
{
    if (label == "0.38f")
        return "0.38f (Aug 30 2005)";
    if (label == "0.42")
        return "0.42 (Mar 14 2006)";
    return std::string(label);
}

} // namespace tolvane::modemsim
