#include "platform/ProgramInfo.h"

#include <filesystem>

namespace tolvane {

std::string commandLineText(const std::vector<std::string>& argumentsAfterProgramName)
{
    std::string text;
    for (const std::string& argument : argumentsAfterProgramName) {
        if (!text.empty())
            text += ' ';
        text += argument;
    }
    return text;
}

std::string programFolder()
{
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : executable.parent_path().string();
}

} // namespace tolvane
