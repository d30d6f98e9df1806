#pragma once

#include "platform/IpHelper.h"

#include <string>
#include <vector>

namespace tolvane {

// A PC whose adapters are given, for tests and the demo. Release and renew succeed for DHCP
// adapters and fail with ERROR_NOT_SUPPORTED for the others; a released adapter shows the
// address 0.0.0.0 and no gateway until it is renewed. Every release, renew and socket call is
// recorded in calls() and, when a log path is given, appended to that file as it happens:
//   release <index> <answer> | renew <index> <answer> | startup <version> <answer> | cleanup
//   <answer>
class SimIpHelper final : public IpHelper {
public:
    struct Adapter {
        std::int32_t index = 0;
        std::string description;
        std::string ip;
        std::string gateway; // may carry a port; empty when the adapter has none
        bool dhcp = false;
    };

    explicit SimIpHelper(std::vector<Adapter> adapters, std::string callLogPath = {});

    // The adapters of a TOLVANE_ADAPTERS file ({"adapters": [{"index", "description", "ip",
    // "gateway", "dhcp"}, ...]}). A file that cannot be read gives no adapters and a warning.
    static std::vector<Adapter> readAdaptersFile(const std::string& path);

    const std::vector<std::string>& calls() const { return m_calls; }

    // Replaces the PC's adapters, all of them holding their leases.
    void setAdapters(std::vector<Adapter> adapters);

    std::uint32_t getAdaptersInfo(IpAdapterInfo* buffer, std::uint32_t* count) override;
    std::uint32_t getInterfaceInfo(std::uint8_t* block, std::uint32_t* size) override;
    std::uint32_t ipReleaseAddress(const IpAdapterIndexMap& entry) override;
    std::uint32_t ipRenewAddress(const IpAdapterIndexMap& entry) override;
    int socketsStartup(std::uint16_t version) override;
    int socketsCleanup() override;

private:
    std::uint32_t changeLease(const char* name, std::uint32_t index, bool released);
    void record(const std::string& line);

    std::vector<Adapter> m_adapters;
    std::vector<bool> m_released;
    std::string m_callLogPath;
    std::vector<std::string> m_calls;
    int m_socketStarts = 0;
};

} // namespace tolvane
