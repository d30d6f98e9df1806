#include "Module1.h"

#include "common/ProcessState.h"
#include "platform/InstanceCheck.h"
#include "registry/Registry.h"

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

namespace {

// A recognised root with nothing after its backslash would name the root key itself.
bool namesRootItself(const KeyName& key)
{
    return !key.root.empty() && key.path.find_first_not_of('\\') == std::string::npos;
}

void takeReportKey(const std::string& keyText, RunOptions& options, Registry& registry)
{
    const KeyName key = SplitKeyName(keyText);
    if (namesRootItself(key))
        return; // refused: a report key is never a root, and a root is never deleted
    if (!key.root.empty()) {
        options.ReportRoot = RootKeyOf(key.root);
        options.ReportPath = key.path;
    } else {
        options.ReportRoot = HKEY_LOCAL_MACHINE;
        options.ReportPath = "Software\\" + keyText;
    }
    options.ReportEnabled = true;
    registry.DeleteKey(options.ReportRoot, options.ReportPath);
}

} // namespace

bool Main(const std::string& commandLine, ProcessState& state, Registry& registry,
          InstanceCheck& instance, const std::function<void()>& showForm1)
{
    const std::vector<std::string> words = SplitCommandLine(commandLine);
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
