#include "RegTool.h"
#include "platform/posix/SqliteRegistryStore.h"

#include <filesystem>
#include <iostream>
#include <strings.h>

namespace {

bool changesStore(const std::vector<std::string>& args)
{
    return !args.empty() &&
           (strcasecmp(args[0].c_str(), "add") == 0 || strcasecmp(args[0].c_str(), "delete") == 0);
}

// Anything but add and delete, on a store that does not exist yet, answers as a new store would,
// from one made in memory, and leaves no file or folder behind; add and delete make the store as
// the program does.
std::unique_ptr<tolvane::RegistryStore> storeFor(const std::vector<std::string>& args)
{
    std::error_code ignored;
    if (!changesStore(args) &&
        std::filesystem::status(tolvane::registryStorePath(), ignored).type() ==
            std::filesystem::file_type::not_found)
        return std::make_unique<tolvane::SqliteRegistryStore>(":memory:");
    return tolvane::makeRegistryStore();
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tolvane::runRegTool(*storeFor(args), args, std::cout, std::cerr);
}
