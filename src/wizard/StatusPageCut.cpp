#include "StatusPageCut.h"

namespace tolvane {

namespace {

std::string trimmedBlanks(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::size_t FindText(const std::string& text, const std::string& what)
{
    const std::size_t found = text.find(what);
    return found == std::string::npos ? 0 : found + 1;
}

std::optional<std::string> CutTagValue(const std::string& text, std::size_t tagPosition,
                                       std::size_t tagLength, char delimiter)
{
    // 1-based: the value starts one past the opening quote that follows the tag.
    // The delimiter's 0-based index is one less than its position, so the length of the value
    // without its closing quote is found - start; negative means the cut fails.
    const std::size_t start = tagPosition + tagLength + 1;
    const std::size_t found = text.find(delimiter, start - 1);
    if (found == std::string::npos || found < start)
        return std::nullopt;
    return trimmedBlanks(text.substr(start - 1, found - start));
}

std::string VersionNumberOf(const std::string& versionText)
{
    return trimmedBlanks(versionText.substr(0, versionText.find('(')));
}

} // namespace tolvane
