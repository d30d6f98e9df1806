#include "platform/IpHelper.h"

// Without it <windows.h> brings the old <winsock.h>, which clashes with <winsock2.h>.
#define WIN32_LEAN_AND_MEAN

#include <cstring>
#include <iphlpapi.h>
#include <vector>
#include <windows.h>
#include <winsock2.h>

namespace tolvane {

namespace {

class Win32IpHelper final : public IpHelper {
public:
    // The system's records hold pointers, so their layout depends on the build; the whole list
    // is read here and copied into the portable records, keeping the caller's size protocol.
    std::uint32_t getAdaptersInfo(IpAdapterInfo* buffer, std::uint32_t* count) override
    {
        ULONG size = 0;
        std::vector<unsigned char> native;
        DWORD rc = ::GetAdaptersInfo(nullptr, &size);
        for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW && size > 0; ++attempt) {
            native.assign(size, 0);
            rc = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(native.data()), &size);
        }
        if (rc == ERROR_NO_DATA || (rc == ERROR_BUFFER_OVERFLOW && size == 0)) {
            *count = 0;
            return ERROR_NO_DATA;
        }
        if (rc != NO_ERROR)
            return rc;

        std::vector<IpAdapterInfo> records;
        for (const IP_ADAPTER_INFO* adapter =
                 reinterpret_cast<const IP_ADAPTER_INFO*>(native.data());
             adapter; adapter = adapter->Next) {
            IpAdapterInfo record;
            record.Index = static_cast<std::int32_t>(adapter->Index);
            static_assert(sizeof adapter->Description == sizeof record.Description);
            std::memcpy(record.Description.data(), adapter->Description,
                        sizeof adapter->Description);
            std::memcpy(record.IpAddress.data(), adapter->IpAddressList.IpAddress.String,
                        sizeof record.IpAddress);
            std::memcpy(record.GatewayAddress.data(), adapter->GatewayList.IpAddress.String,
                        sizeof record.GatewayAddress);
            records.push_back(record);
        }
        return answerAdaptersInfo(records, buffer, count);
    }

    // The portable table is the system's own layout, so the block is passed through.
    std::uint32_t getInterfaceInfo(std::uint8_t* block, std::uint32_t* size) override
    {
        ULONG length = *size;
        const DWORD rc = ::GetInterfaceInfo(reinterpret_cast<IP_INTERFACE_INFO*>(block), &length);
        *size = length;
        return rc;
    }

    std::uint32_t ipReleaseAddress(const IpAdapterIndexMap& entry) override
    {
        IP_ADAPTER_INDEX_MAP native = toNative(entry);
        return ::IpReleaseAddress(&native);
    }

    std::uint32_t ipRenewAddress(const IpAdapterIndexMap& entry) override
    {
        IP_ADAPTER_INDEX_MAP native = toNative(entry);
        return ::IpRenewAddress(&native);
    }

    int socketsStartup(std::uint16_t version) override
    {
        WSADATA data;
        std::memset(&data, 0, sizeof data);
        return ::WSAStartup(version, &data);
    }

    int socketsCleanup() override { return ::WSACleanup() == 0 ? 0 : ::WSAGetLastError(); }

private:
    static IP_ADAPTER_INDEX_MAP toNative(const IpAdapterIndexMap& entry)
    {
        static_assert(sizeof(IP_ADAPTER_INDEX_MAP) == sizeof(IpAdapterIndexMap));
        IP_ADAPTER_INDEX_MAP native;
        native.Index = entry.Index;
        std::memcpy(native.Name, entry.Name.data(), sizeof native.Name);
        return native;
    }
};

} // namespace

std::unique_ptr<IpHelper> makeSystemIpHelper()
{
    return std::make_unique<Win32IpHelper>();
}

} // namespace tolvane
