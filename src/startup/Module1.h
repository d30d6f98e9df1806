#pragma once

#include "platform/ProgramInfo.h"

#include <functional>
#include <string>
#include <vector>

namespace tolvane {

class InstanceCheck;
class Registry;
struct ProcessState;

// The words of a command line: element 0 holds their count N as decimal text, elements 1 to N
// the words in order. Blanks and tabs separate words; quotation marks are ordinary characters.
// Scanning stops at the beginning of word maximum + 1.
std::vector<std::string> SplitCommandLine(const std::string& commandLine, int maximum = 10);

// The same word list from words a shell has already separated: each word as it stands, blanks
// and empty words included, up to the maximum.
std::vector<std::string> ShellWordList(const std::vector<std::string>& words, int maximum = 10);

// The entry procedure: fills RunOptions from the command line ("-s", "-k KEY", "-p PASSWORD"),
// deletes the report key it names, refuses to run beside an earlier instance when words were
// given, and calls showForm1. Returns false when it ended the program without a window. A text is
// split by SplitCommandLine; shell words go through ShellWordList.
bool Main(const CommandLine& commandLine, ProcessState& state, Registry& registry,
          InstanceCheck& instance, const std::function<void()>& showForm1);

} // namespace tolvane
