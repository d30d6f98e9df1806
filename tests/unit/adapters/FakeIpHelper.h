#pragma once

#include "platform/IpHelper.h"
#include "platform/MousePointer.h"

#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::test {

inline IpAdapterInfo adapterRecord(std::int32_t index, const std::string& ip,
                                   const std::string& gateway,
                                   const std::string& description = "LAN")
{
    IpAdapterInfo record;
    record.Index = index;
    setFixedText(record.IpAddress, ip);
    setFixedText(record.GatewayAddress, gateway);
    setFixedText(record.Description, description);
    return record;
}

// An IP Helper whose answers a test sets. The calls that matter for order are written to a log
// shared with the mouse pointer: "list" for every filled adapter list, "release 7", "renew 7",
// "startup 0x0101", "cleanup", "busy", "default".
class FakeIpHelper final : public IpHelper {
public:
    explicit FakeIpHelper(std::vector<std::string>& log) : m_log(log) {}

    std::vector<IpAdapterInfo> adapters;
    // The interface table; by default one entry per adapter.
    std::optional<std::vector<std::uint32_t>> interfaceIndexes;
    std::optional<std::uint32_t> firstTableAnswer;
    std::optional<std::uint32_t> secondTableAnswer;
    std::optional<std::int32_t> tableCount;
    std::optional<std::uint32_t> secondListAnswer;
    bool chainBackwards = false;
    // The answers of release and renew, entry by entry in call order; 0 once they run out.
    std::vector<std::uint32_t> leaseAnswers;
    // Runs after each lease call that answered 0.
    std::function<void(FakeIpHelper&)> afterSuccess;
    int cleanupAnswer = 0;
    int listCalls = 0;

    std::uint32_t getAdaptersInfo(IpAdapterInfo* buffer, std::uint32_t* count) override
    {
        ++listCalls;
        if (buffer && secondListAnswer)
            return *secondListAnswer;
        const std::uint32_t rc = answerAdaptersInfo(adapters, buffer, count);
        if (rc == NO_ERROR) {
            m_log.push_back("list");
            // Chained first, last, last but one, ...: the chain's order, not the buffer's.
            const std::size_t n = adapters.size();
            if (chainBackwards && n > 1) {
                buffer[0].Next = &buffer[n - 1];
                for (std::size_t i = n - 1; i >= 1; --i)
                    buffer[i].Next = i > 1 ? &buffer[i - 1] : nullptr;
            }
        }
        return rc;
    }

    std::uint32_t getInterfaceInfo(std::uint8_t* block, std::uint32_t* size) override
    {
        if (!block && firstTableAnswer)
            return *firstTableAnswer;
        if (block && secondTableAnswer)
            return *secondTableAnswer;
        std::vector<IpAdapterIndexMap> entries;
        if (interfaceIndexes) {
            for (const std::uint32_t index : *interfaceIndexes)
                entries.push_back(IpAdapterIndexMap{index, {}});
        } else {
            for (const IpAdapterInfo& adapter : adapters)
                entries.push_back(IpAdapterIndexMap{static_cast<std::uint32_t>(adapter.Index), {}});
        }
        const std::uint32_t rc = answerInterfaceInfo(entries, block, size);
        if (rc == NO_ERROR && tableCount)
            std::memcpy(block, &*tableCount, sizeof *tableCount);
        return rc;
    }

    std::uint32_t ipReleaseAddress(const IpAdapterIndexMap& entry) override
    {
        return leaseCall("release", entry);
    }
    std::uint32_t ipRenewAddress(const IpAdapterIndexMap& entry) override
    {
        return leaseCall("renew", entry);
    }
    int socketsStartup(std::uint16_t version) override
    {
        m_log.push_back(version == 0x0101 ? "startup 0x0101" : "startup ?");
        return 0;
    }
    int socketsCleanup() override
    {
        m_log.push_back("cleanup");
        return cleanupAnswer;
    }

private:
    std::uint32_t leaseCall(const char* name, const IpAdapterIndexMap& entry)
    {
        m_log.push_back(name + (" " + std::to_string(static_cast<std::int32_t>(entry.Index))));
        const std::uint32_t answer =
            m_leaseCalls < leaseAnswers.size() ? leaseAnswers[m_leaseCalls] : 0;
        ++m_leaseCalls;
        if (answer == NO_ERROR && afterSuccess)
            afterSuccess(*this);
        return answer;
    }

    std::vector<std::string>& m_log;
    std::size_t m_leaseCalls = 0;
};

class RecordingMousePointer final : public MousePointer {
public:
    explicit RecordingMousePointer(std::vector<std::string>& log) : m_log(log) {}
    void setShape(PointerShape shape) override
    {
        m_log.push_back(shape == PointerShape::Busy ? "busy" : "default");
    }

private:
    std::vector<std::string>& m_log;
};

} // namespace tolvane::test
