#pragma once

#include <string>
#include <variant>
#include <vector>

namespace tolvane {

// The command line as the platform passes it to the program. Windows passes one text, the text
// after the program's own name, which the program splits itself; a POSIX shell has already
// separated the words, and a word may hold blanks, so they are passed on as they stand.
using CommandLine = std::variant<std::string, std::vector<std::string>>;
CommandLine commandLine(const std::vector<std::string>& argumentsAfterProgramName);

// The folder that holds the program's executable, without a trailing separator.
std::string programFolder();

} // namespace tolvane
