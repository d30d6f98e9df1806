#pragma once

#include <string>
#include <vector>

namespace tolvane {

// The command line as the platform passes it to the program: the text after the program's own
// name. On Windows that is the raw text; where the shell has already split the words, they are
// joined again with single blanks, so words are split by one rule on every platform.
std::string commandLineText(const std::vector<std::string>& argumentsAfterProgramName);

// The folder that holds the program's executable, without a trailing separator.
std::string programFolder();

} // namespace tolvane
