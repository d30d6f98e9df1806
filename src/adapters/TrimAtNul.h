#pragma once

#include <algorithm>
#include <array>
#include <string>

namespace tolvane {

// The text of a fixed-width field: what comes before the first NUL, or all of it if it has none.
template <std::size_t N> std::string TrimAtNul(const std::array<char, N>& field)
{
    return std::string(field.begin(), std::find(field.begin(), field.end(), '\0'));
}

} // namespace tolvane
