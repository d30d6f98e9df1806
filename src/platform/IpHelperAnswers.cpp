#include "platform/IpHelper.h"

#include <cstring>

namespace tolvane {

std::uint32_t answerAdaptersInfo(const std::vector<IpAdapterInfo>& adapters, IpAdapterInfo* buffer,
                                 std::uint32_t* count)
{
    const auto needed = static_cast<std::uint32_t>(adapters.size());
    if (needed == 0) {
        *count = 0;
        return ERROR_NO_DATA;
    }
    if (!buffer || *count < needed) {
        *count = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    for (std::uint32_t i = 0; i < needed; ++i) {
        buffer[i] = adapters[i];
        buffer[i].Next = i + 1 < needed ? &buffer[i + 1] : nullptr;
    }
    return NO_ERROR;
}

std::uint32_t answerInterfaceInfo(const std::vector<IpAdapterIndexMap>& interfaces,
                                  std::uint8_t* block, std::uint32_t* size)
{
    if (interfaces.empty())
        return ERROR_NO_DATA;
    const auto count = static_cast<std::uint32_t>(interfaces.size());
    const std::uint32_t needed = InterfaceTableHeaderSize + count * sizeof(IpAdapterIndexMap);
    if (!block || *size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    const auto numAdapters = static_cast<std::int32_t>(count);
    std::memcpy(block, &numAdapters, sizeof numAdapters);
    std::memcpy(block + InterfaceTableHeaderSize, interfaces.data(),
                count * sizeof(IpAdapterIndexMap));
    return NO_ERROR;
}

} // namespace tolvane
