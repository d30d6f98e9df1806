#include "IPReleaseRenew.h"

#include "adapters/AdaptersLog.h"
#include "platform/IpHelper.h"
#include "platform/MessageBoxes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tolvane {

Q_LOGGING_CATEGORY(lcAdapters, "tolvane.adapters", QtWarningMsg)

namespace {

using LeaseCall = std::uint32_t (IpHelper::*)(const IpAdapterIndexMap&);

bool callForAdapter(IpHelper& ipHelper, std::int32_t adapterIndex, LeaseCall call, const char* name)
{
    bool result = false;
    std::uint32_t size = 0;
    if (ipHelper.getInterfaceInfo(nullptr, &size) != ERROR_INSUFFICIENT_BUFFER)
        return result;
    std::vector<std::uint8_t> block(size); // freed on every way out
    if (ipHelper.getInterfaceInfo(block.data(), &size) != NO_ERROR ||
        block.size() < InterfaceTableHeaderSize)
        return result;
    std::int32_t count = 0;
    std::memcpy(&count, block.data(), sizeof count);
    if (count < 1)
        return result;

    // Only entries that lie inside the block are read, whatever the count claims.
    const std::size_t fitting =
        (block.size() - InterfaceTableHeaderSize) / sizeof(IpAdapterIndexMap);
    const std::size_t entries = std::min(static_cast<std::size_t>(count), fitting);
    for (std::size_t i = 0; i < entries; ++i) {
        IpAdapterIndexMap entry;
        std::memcpy(&entry, block.data() + InterfaceTableHeaderSize + i * sizeof entry,
                    sizeof entry);
        if (entry.Index != static_cast<std::uint32_t>(adapterIndex))
            continue;
        const std::uint32_t answer = (ipHelper.*call)(entry);
        qCDebug(lcAdapters) << name << adapterIndex << "answered" << answer;
        result = answer == NO_ERROR;
    }
    return result;
}

} // namespace

bool ReleaseIP(IpHelper& ipHelper, std::int32_t adapterIndex)
{
    return callForAdapter(ipHelper, adapterIndex, &IpHelper::ipReleaseAddress, "release");
}

bool RenewIP(IpHelper& ipHelper, std::int32_t adapterIndex)
{
    return callForAdapter(ipHelper, adapterIndex, &IpHelper::ipRenewAddress, "renew");
}

bool SocketsStartup(IpHelper& ipHelper)
{
    return ipHelper.socketsStartup(0x0101) == 0;
}

bool SocketsCleanup(IpHelper& ipHelper, MessageBoxes& messageBoxes)
{
    if (ipHelper.socketsCleanup() == 0)
        return true;
    messageBoxes.show("Windows Sockets error occurred in Cleanup.", ProgramTitle,
                      MessageIcon::Exclamation);
    return false;
}

} // namespace tolvane
