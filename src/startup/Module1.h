#pragma once

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

// The entry procedure: fills RunOptions from the command line ("-s", "-k KEY", "-p PASSWORD"),
// deletes the report key it names, refuses to run beside an earlier instance when words were
// given, and calls showForm1. Returns false when it ended the program without a window.
bool Main(const std::string& commandLine, ProcessState& state, Registry& registry,
          InstanceCheck& instance, const std::function<void()>& showForm1);

} // namespace tolvane
