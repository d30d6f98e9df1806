#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tolvane {

// The status page's values are found by plain text search, not by parsing its script: the page
// carries each as its tag, a quote, the value, a quote and ";" (runtime_code_version="...";).

// The 1-based position of the first occurrence of `what` in `text`, case-sensitive; 0 when the
// text does not hold it.
std::size_t FindText(const std::string& text, const std::string& what);

// The value of the tag of `tagLength` characters found at 1-based `tagPosition`: from the
// character after the tag's opening quote up to the character before the first `delimiter`
// behind it (the closing quote is dropped), blanks at either end removed. Nothing when no
// delimiter follows the value's start, or one follows at once: the target then keeps its value.
std::optional<std::string> CutTagValue(const std::string& text, std::size_t tagPosition,
                                       std::size_t tagLength, char delimiter);

// The version number of a version text such as "0.39k (Nov 15 2005)": the text before its own
// first "(", blanks at either end removed; the whole text, trimmed, when it holds no "(".
std::string VersionNumberOf(const std::string& versionText);

} // namespace tolvane
