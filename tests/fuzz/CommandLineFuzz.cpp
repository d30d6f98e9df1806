// The command line on arbitrary bytes: SplitCommandLine and Main's option loop.
#include "FuzzCheck.h"
#include "common/ProcessState.h"
#include "platform/InstanceCheck.h"
#include "platform/RegistryStore.h"
#include "registry/Registry.h"
#include "startup/Module1.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace tolvane;

namespace {

bool isRootHandle(RegistryStore::Key key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS;
}

// Every key exists; deletions are recorded instead of made.
class DeletionRecorder final : public RegistryStore {
public:
    std::vector<std::pair<Key, std::string>> deletions;

    long openKey(Key, const std::string&, std::uint32_t, Key* result) override
    {
        *result = 1;
        return ERROR_SUCCESS;
    }
    long createKey(Key, const std::string&, std::uint32_t, Key* result) override
    {
        return openKey(0, {}, 0, result);
    }
    void closeKey(Key) override {}
    long deleteKey(Key parent, const std::string& path) override
    {
        deletions.emplace_back(parent, path);
        return ERROR_SUCCESS;
    }
    long queryValue(Key, const std::string&, std::uint32_t*, std::uint8_t*, std::uint32_t*) override
    {
        return ERROR_FILE_NOT_FOUND;
    }
    long setValue(Key, const std::string&, std::uint32_t, const std::uint8_t*,
                  std::uint32_t) override
    {
        return ERROR_SUCCESS;
    }
    long deleteValue(Key, const std::string&) override { return ERROR_FILE_NOT_FOUND; }
    long enumKey(Key, std::uint32_t, std::string*) override { return ERROR_NO_MORE_ITEMS; }
    long enumValue(Key, std::uint32_t, std::string*) override { return ERROR_NO_MORE_ITEMS; }
};

class NoEarlierInstance final : public InstanceCheck {
public:
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
        return std::count(words.begin() + 1, words.end(), option);
    };
    DeletionRecorder store;
    Registry registry(store);
    NoEarlierInstance instance;
    ProcessState state;
    int shown = 0;
    const bool started = Main(commandLine, state, registry, instance, [&shown] { ++shown; });
    const RunOptions& options = state.runOptions;

    FUZZ_CHECK(shown == (started ? 1 : 0));
    if (started)
        FUZZ_CHECK(options.Silent == (given("-s") > 0));
    else
        FUZZ_CHECK(words.size() > 1 && (words.back() == "-k" || words.back() == "-p"));
    FUZZ_CHECK(options.Password.empty() || given("-p"));
    FUZZ_CHECK(static_cast<long>(store.deletions.size()) <= given("-k"));
    for (const auto& [root, path] : store.deletions)
        FUZZ_CHECK(isRootHandle(root) && path.find_first_not_of('\\') != std::string::npos);
    if (options.ReportEnabled)
        FUZZ_CHECK(!store.deletions.empty() && store.deletions.back().first == options.ReportRoot &&
                   store.deletions.back().second == options.ReportPath);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string commandLine(reinterpret_cast<const char*>(data), size);
    checkSplit(commandLine);
    checkMain(commandLine);
    return 0;
}
