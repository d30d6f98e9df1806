#include "Utf16.h"
#include "platform/ProgramInfo.h"

#include <windows.h>

namespace tolvane {

// The raw command line after the program's name, as the platform hands it to the program, in
// UTF-8 so that keys and passwords outside the ANSI code page arrive as written: the name ends
// at the first blank, or at its closing quotation mark when it is quoted.
CommandLine commandLine(const std::vector<std::string>&)
{
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return toUtf8(std::wstring(p));
}

std::string programFolder()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    const auto slash = folder.find_last_of('\\');
    return slash == std::string::npos ? folder : folder.substr(0, slash);
}

} // namespace tolvane
