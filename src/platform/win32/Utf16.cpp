#include "Utf16.h"

#include <windows.h>

namespace tolvane {

std::wstring toUtf16(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    std::wstring result(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, result.data(),
                        static_cast<int>(result.size()));
    return result;
}

std::string toUtf8(const wchar_t* utf16, std::size_t length)
{
    if (length == 0)
        return {};
    const int size = static_cast<int>(length);
    std::string result(WideCharToMultiByte(CP_UTF8, 0, utf16, size, nullptr, 0, nullptr, nullptr),
                       '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16, size, result.data(), static_cast<int>(result.size()),
                        nullptr, nullptr);
    return result;
}

} // namespace tolvane
