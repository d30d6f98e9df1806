#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tolvane {

// The resources the program carries, all of type "CUSTOM".
inline constexpr const char* ResourceTypeCustom = "CUSTOM";
inline constexpr std::int32_t ResourceLogo = 101;      // logo.bmp, a Windows bitmap file
inline constexpr std::int32_t Resource38f = 102;       // firmware image "0.38f"
inline constexpr std::int32_t Resource42 = 103;        // firmware image "0.42"
inline constexpr std::int32_t Resource42Special = 104; // firmware image "0.42", special variant

// The bytes of the resource of that number and type (compared exactly), valid for the whole run;
// nothing when the program carries no such resource.
std::optional<std::span<const std::byte>> loadResource(std::int32_t number,
                                                       const std::string& type);

} // namespace tolvane
