#include "platform/ProgramInfo.h"

#include <filesystem>

namespace tolvane {

CommandLine commandLine(const std::vector<std::string>& argumentsAfterProgramName)
{
    return argumentsAfterProgramName;
}

std::string programFolder()
{
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : executable.parent_path().string();
}

} // namespace tolvane
