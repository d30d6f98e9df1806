#include "Module1.h"

#include "common/ProcessState.h"
#include "platform/InstanceCheck.h"
#include "registry/Registry.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string_view>

namespace tolvane {

std::vector<std::string> SplitCommandLine(const std::string& commandLine, int maximum)
{
    std::vector<std::string> words(1);
    bool inWord = false;
    for (const char c : commandLine) {
        if (c == ' ' || c == '\t') {
            inWord = false;
            continue;
        }
        if (!inWord) {
            if (static_cast<int>(words.size()) - 1 == maximum)
                break;
            words.emplace_back();
            inWord = true;
        }
        words.back() += c;
    }
    words[0] = std::to_string(words.size() - 1);
    return words;
}

std::vector<std::string> ShellWordList(const std::vector<std::string>& words, int maximum)
{
    const auto count = std::min(words.size(), static_cast<std::size_t>(maximum));
    std::vector<std::string> list{std::to_string(count)};
    list.insert(list.end(), words.begin(), words.begin() + static_cast<std::ptrdiff_t>(count));
    return list;
}

namespace {

// True when the path is empty or is the root's Software key alone (`-k HKEY_CURRENT_USER\`,
// `-k \`): a report key there would delete and fill a key that holds far more than the report.
bool namesNoReportKey(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream components(path);
    while (std::getline(components, part, '\\'))
        if (!part.empty())
            parts.push_back(part);
    const auto isSoftware = [](const std::string& name) {
        return std::ranges::equal(name, std::string_view("software"), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
    };
    return parts.empty() || (parts.size() == 1 && isSoftware(parts[0]));
}

void takeReportKey(const std::string& keyText, RunOptions& options, Registry& registry)
{
    const KeyName key = SplitKeyName(keyText);
    const std::uint32_t root = key.root.empty() ? HKEY_LOCAL_MACHINE : RootKeyOf(key.root);
    const std::string path = key.root.empty() ? "Software\\" + keyText : key.path;
    if (namesNoReportKey(path))
        return; // ignored like a bare root: nothing is deleted, and nothing reported there
    options.ReportRoot = root;
    options.ReportPath = path;
    options.ReportEnabled = true;
    registry.DeleteKey(root, path);
}

} // namespace

bool Main(const CommandLine& commandLine, ProcessState& state, Registry& registry,
          InstanceCheck& instance, const std::function<void()>& showForm1)
{
    const std::vector<std::string> words =
        std::holds_alternative<std::string>(commandLine)
            ? SplitCommandLine(std::get<std::string>(commandLine))
            : ShellWordList(std::get<std::vector<std::string>>(commandLine));
    RunOptions& options = state.runOptions;
    options.ReportValueNames = RunOptions::DefaultReportValueNames();
    options.Silent = false;
    options.ReportEnabled = false;
    options.ReportPath = "Software";
    options.ReportRoot = HKEY_LOCAL_MACHINE;

    const std::size_t last = words.size() - 1;
    if (last > 0) {
        if (instance.earlierInstanceRunning())
            return false;
        for (std::size_t i = 0; i <= last; ++i) {
            if (words[i] == "-s") {
                options.Silent = true;
            } else if (words[i] == "-k") {
                if (i == last)
                    return false;
                takeReportKey(words[i + 1], options, registry);
            } else if (words[i] == "-p") {
                if (i == last)
                    return false;
                options.Password = words[i + 1];
            }
        }
    }
    showForm1();
    return true;
}

} // namespace tolvane
