// The IP Helper and socket calls of the adapter tool over the real iphlpapi and ws2_32, run by
// ip-helper-in-netns inside a network namespace of its own: first with one adapter that has an
// address and a default gateway beside one that has neither ("present"), then with loopback
// alone, which Windows does not list ("none"). Release and renew are linked but never called:
// Wine only pretends to do them.

#include "WinTest.h"
#include "platform/IpHelper.h"

#include <cstring>
#include <set>
#include <vector>

using namespace tolvane;

namespace {

std::string g_address;
std::string g_gateway;

template <std::size_t N> std::string textOf(const std::array<char, N>& field)
{
    return std::string(field.data(), strnlen(field.data(), N));
}

std::vector<IpAdapterInfo> readAdapters(IpHelper& helper)
{
    std::uint32_t count = 0;
    if (!CHECK_EQ(helper.getAdaptersInfo(nullptr, &count), ERROR_BUFFER_OVERFLOW))
        return {};
    std::vector<IpAdapterInfo> buffer(count);
    if (count > 1) {
        std::uint32_t tooFew = count - 1;
        CHECK_EQ(helper.getAdaptersInfo(buffer.data(), &tooFew), ERROR_BUFFER_OVERFLOW);
        CHECK_EQ(tooFew, count);
    }
    if (!CHECK_EQ(helper.getAdaptersInfo(buffer.data(), &count), NO_ERROR))
        return {};
    std::vector<IpAdapterInfo> chain;
    for (const IpAdapterInfo* record = buffer.data(); record; record = record->Next)
        chain.push_back(*record);
    CHECK_EQ(chain.size(), buffer.size());
    return chain;
}

std::vector<IpAdapterIndexMap> readInterfaces(IpHelper& helper)
{
    std::uint32_t size = 0;
    const std::uint32_t first = helper.getInterfaceInfo(nullptr, &size);
    if (first == ERROR_NO_DATA)
        return {};
    if (!CHECK_EQ(first, ERROR_INSUFFICIENT_BUFFER) || !CHECK(size >= InterfaceTableHeaderSize))
        return {};
    std::vector<std::uint8_t> block(size);
    if (!CHECK_EQ(helper.getInterfaceInfo(block.data(), &size), NO_ERROR))
        return {};
    std::int32_t count = 0;
    std::memcpy(&count, block.data(), sizeof count);
    if (!CHECK(count >= 0) ||
        !CHECK_EQ(block.size(), InterfaceTableHeaderSize + count * sizeof(IpAdapterIndexMap)))
        return {};
    std::vector<IpAdapterIndexMap> entries(static_cast<std::size_t>(count));
    std::memcpy(entries.data(), block.data() + InterfaceTableHeaderSize,
                entries.size() * sizeof(IpAdapterIndexMap));
    return entries;
}

void adapters_areListedWithAddressGatewayAndIndex()
{
    const auto helper = makeSystemIpHelper();
    const auto adapters = readAdapters(*helper);
    int withAddress = 0;
    int withoutAddress = 0;
    for (const IpAdapterInfo& adapter : adapters) {
        CHECK(adapter.Index > 0);
        CHECK(!textOf(adapter.Description).empty());
        if (textOf(adapter.IpAddress) == g_address) {
            ++withAddress;
            CHECK_EQ(textOf(adapter.GatewayAddress), g_gateway);
        } else {
            // The other end of the pair: no address and no gateway, which the system writes as
            // 0.0.0.0, not as an empty text.
            ++withoutAddress;
            CHECK_EQ(textOf(adapter.IpAddress), "0.0.0.0");
            CHECK_EQ(textOf(adapter.GatewayAddress), "0.0.0.0");
        }
    }
    CHECK_EQ(withAddress, 1);
    CHECK_EQ(withoutAddress, 1);
}

void interfaces_areTheAdaptersByIndex()
{
    const auto helper = makeSystemIpHelper();
    std::set<std::uint32_t> adapterIndexes;
    for (const IpAdapterInfo& adapter : readAdapters(*helper))
        adapterIndexes.insert(static_cast<std::uint32_t>(adapter.Index));
    std::set<std::uint32_t> interfaceIndexes;
    for (const IpAdapterIndexMap& entry : readInterfaces(*helper)) {
        interfaceIndexes.insert(entry.Index);
        CHECK(entry.Name[0] != u'\0');
    }
    CHECK(!adapterIndexes.empty());
    CHECK((interfaceIndexes == adapterIndexes));
}

void noAdapters_areReportedAsNone()
{
    const auto helper = makeSystemIpHelper();
    std::uint32_t count = 99;
    CHECK_EQ(helper->getAdaptersInfo(nullptr, &count), ERROR_NO_DATA);
    CHECK_EQ(count, 0u);
    // An empty interface table, or none at all: either gives no entry to act on.
    CHECK(readInterfaces(*helper).empty());
}

void sockets_startAndEndInPairs()
{
    const auto helper = makeSystemIpHelper();
    CHECK_EQ(helper->socketsStartup(0x0101), 0);
    CHECK_EQ(helper->socketsStartup(0x0101), 0);
    CHECK_EQ(helper->socketsCleanup(), 0);
    CHECK_EQ(helper->socketsCleanup(), 0);
    CHECK_EQ(helper->socketsCleanup(), WSANOTINITIALISED);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "present" && argc == 4) {
        g_address = argv[2];
        g_gateway = argv[3];
        return wintest::runTests(
            "win32_ip_helper_present",
            {
                {"adapters_areListedWithAddressGatewayAndIndex",
                 adapters_areListedWithAddressGatewayAndIndex},
                {"interfaces_areTheAdaptersByIndex", interfaces_areTheAdaptersByIndex},
                {"sockets_startAndEndInPairs", sockets_startAndEndInPairs},
            },
            1, argv);
    }
    if (mode == "none") {
        return wintest::runTests("win32_ip_helper_none",
                                 {
                                     {"noAdapters_areReportedAsNone", noAdapters_areReportedAsNone},
                                     {"sockets_startAndEndInPairs", sockets_startAndEndInPairs},
                                 },
                                 1, argv);
    }
    std::fprintf(stderr, "usage: %s present ADDRESS GATEWAY | none\n", argv[0]);
    return 2;
}
