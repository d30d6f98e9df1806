#include "PublicFunctions.h"

#include "platform/FileSystem.h"
#include "resources/EmbeddedResources.h"

#include <exception>

namespace tolvane {

std::optional<std::size_t> resourceFileLength(std::int32_t number, std::size_t resourceSize)
{
    if (number == ResourceLogo)
        return resourceSize;
    if (resourceSize < 2)
        return std::nullopt;
    return resourceSize - 2;
}

std::optional<std::span<const std::byte>> resourceFileBytes(std::int32_t number,
                                                            const std::string& type)
{
    const auto block = loadResource(number, type);
    if (!block)
        return std::nullopt;
    const auto length = resourceFileLength(number, block->size());
    if (!length)
        return std::nullopt;
    return block->first(*length);
}

bool WriteResourceFile(std::int32_t number, const std::string& type, const std::string& path,
                       FileSystem& fileSystem)
{
    try {
        const auto bytes = resourceFileBytes(number, type);
        return bytes && fileSystem.writeWholeFile(path, *bytes);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace tolvane
