#include "platform/ProgramInfo.h"

#include <windows.h>

namespace tolvane {

// The raw command line after the program's name, as the platform hands it to the program:
// the name ends at the first blank, or at its closing quotation mark when it is quoted.
CommandLine commandLine(const std::vector<std::string>&)
{
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return std::string(p);
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
