#pragma once

#include <string>

namespace tolvane {

// The program's texts are UTF-8 on every platform; the Win32 calls that take any character take
// UTF-16. Unpaired surrogates and invalid bytes become U+FFFD.
std::wstring toUtf16(const std::string& utf8);
std::string toUtf8(const wchar_t* utf16, std::size_t length);
inline std::string toUtf8(const std::wstring& utf16)
{
    return toUtf8(utf16.data(), utf16.size());
}

} // namespace tolvane
