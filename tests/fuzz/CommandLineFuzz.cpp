// The command line on arbitrary bytes: SplitCommandLine and Main's option loop, against a store
// whose roots each hold a Software key that no report key may take away, and a Setup key that
// a report key there replaces.
#include "FuzzCheck.h"
#include "common/ProcessState.h"
#include "platform/InstanceCheck.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"
#include "startup/Module1.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace tolvane;

namespace {

constexpr std::uint32_t Roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                   HKEY_USERS};

struct NoEarlierInstance final : InstanceCheck {
    bool earlierInstanceRunning() override { return false; }
};

void checkSplit(const std::string& commandLine)
{
    std::string all = commandLine;
    std::erase_if(all, [](char c) { return c == ' ' || c == '\t'; });
    for (const int maximum : {10, 1, 3}) {
        const std::vector<std::string> words = SplitCommandLine(commandLine, maximum);
        const auto count = static_cast<int>(words.size()) - 1;
        FUZZ_CHECK(count >= 0 && count <= maximum && words[0] == std::to_string(count));
        std::string joined;
        for (int i = 1; i <= count; ++i) {
            FUZZ_CHECK(!words[i].empty() && words[i].find_first_of(" \t") == std::string::npos);
            joined += words[i];
        }
        FUZZ_CHECK(count < maximum ? joined == all : all.starts_with(joined));
    }
}

void checkMain(const std::string& commandLine)
{
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    const auto given = [&](const char* option) {
        return std::count(words.begin() + 1, words.end(), option) > 0;
    };
    SqliteRegistryStore store(":memory:");
    Registry registry(store);
    for (const std::uint32_t root : Roots) {
        registry.CreateKey(root, "Software");
        registry.CreateKey(root, "Setup");
        registry.SetKeyValue(root, "Software", "Kept", "1", ValueKindString);
    }
    NoEarlierInstance instance;
    ProcessState state;
    int shown = 0;
    const bool started = Main(commandLine, state, registry, instance, [&shown] { ++shown; });
    const RunOptions& options = state.runOptions;

    FUZZ_CHECK(shown == (started ? 1 : 0));
    if (started)
        FUZZ_CHECK(options.Silent == given("-s"));
    else
        FUZZ_CHECK(words.size() > 1 && (words.back() == "-k" || words.back() == "-p"));
    FUZZ_CHECK(options.Password.empty() || given("-p"));
    for (const std::uint32_t root : Roots)
        FUZZ_CHECK(registry.QueryKeyValue(root, "Software", "Kept") == "1");
    if (options.ReportEnabled)
        FUZZ_CHECK(!OpenedKey(store, options.ReportRoot, options.ReportPath, KEY_ACCESS).open());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string commandLine(reinterpret_cast<const char*>(data), size);
    checkSplit(commandLine);
    checkMain(commandLine);
    return 0;
}
