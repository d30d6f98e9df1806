#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// Result codes of the IP Helper and socket calls, with the platform's numbers. Include this header
// before <windows.h>, which defines the same names as macros.
inline constexpr std::uint32_t NO_ERROR = 0;
inline constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
inline constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
inline constexpr std::uint32_t ERROR_BUFFER_OVERFLOW = 111;
inline constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t ERROR_NO_DATA = 232;
inline constexpr std::uint32_t ERROR_NOT_FOUND = 1168;
inline constexpr int WSANOTINITIALISED = 10093;

// One adapter as GetAdaptersInfo describes it, reduced to the fields the adapter window reads.
// The texts keep the platform's fixed widths: NUL-terminated inside the field, except that a
// text filling the whole field has no NUL. The platform's own record layout holds pointers and
// so differs between 32- and 64-bit builds; the back-ends copy into this one.
struct IpAdapterInfo {
    const IpAdapterInfo* Next = nullptr; // the next record of the chain, in the same buffer
    std::array<char, 132> Description{};
    std::int32_t Index = 0;
    std::array<char, 16> IpAddress{};      // IpAddressList.IpAddress
    std::array<char, 16> GatewayAddress{}; // GatewayList.IpAddress
};

// Fills a fixed-width text field the way the platform does: cut to the field's width, the rest NUL.
template <std::size_t N> void setFixedText(std::array<char, N>& field, std::string_view text)
{
    field.fill('\0');
    text.copy(field.data(), N);
}

// One entry of the interface table (IP_ADAPTER_INDEX_MAP), in the platform's own layout, which is
// the same for every build: the table is a 32-bit entry count followed by the entries.
struct IpAdapterIndexMap {
    std::uint32_t Index = 0;
    std::array<char16_t, 128> Name{};
};
static_assert(sizeof(IpAdapterIndexMap) == 260);
inline constexpr std::uint32_t InterfaceTableHeaderSize = 4;

// The IP Helper and socket library calls of the adapter tool. Calls never throw; they answer
// NO_ERROR (0) or a platform code.
class IpHelper {
public:
    virtual ~IpHelper() = default;

    // GetAdaptersInfo, counted in records: with no buffer, or *count smaller than the number of
    // adapters, writes that number to *count and answers ERROR_BUFFER_OVERFLOW (*count 0 and
    // ERROR_NO_DATA when there are none). Otherwise fills the first records of `buffer` in list
    // order, chained through Next (the last one's is null), and answers NO_ERROR.
    virtual std::uint32_t getAdaptersInfo(IpAdapterInfo* buffer, std::uint32_t* count) = 0;

    // GetInterfaceInfo, counted in bytes: with no block, or *size too small for the table, writes
    // the size needed to *size and answers ERROR_INSUFFICIENT_BUFFER (ERROR_NO_DATA when there
    // are no interfaces). Otherwise writes the table into `block` and answers NO_ERROR.
    virtual std::uint32_t getInterfaceInfo(std::uint8_t* block, std::uint32_t* size) = 0;

    // IpReleaseAddress / IpRenewAddress of the interface the entry names. Blocks until the
    // platform has finished with the lease. An interface whose address no DHCP client manages
    // fails (ERROR_NOT_SUPPORTED on the POSIX back-ends).
    virtual std::uint32_t ipReleaseAddress(const IpAdapterIndexMap& entry) = 0;
    virtual std::uint32_t ipRenewAddress(const IpAdapterIndexMap& entry) = 0;

    // WSAStartup with the requested version (0x0101 for 1.1) and WSACleanup. Each start is ended
    // by one cleanup; a cleanup without a start answers WSANOTINITIALISED.
    virtual int socketsStartup(std::uint16_t version) = 0;
    virtual int socketsCleanup() = 0;
};

// The size protocols of GetAdaptersInfo and GetInterfaceInfo above, for back-ends that hold the
// adapters or interfaces as a list: answer a call from the list.
std::uint32_t answerAdaptersInfo(const std::vector<IpAdapterInfo>& adapters, IpAdapterInfo* buffer,
                                 std::uint32_t* count);
std::uint32_t answerInterfaceInfo(const std::vector<IpAdapterIndexMap>& interfaces,
                                  std::uint8_t* block, std::uint32_t* size);

// The IP Helper of this platform: on Windows the system's; on Linux the kernel's adapters and
// routes with leases kept by dhclient. Releasing and renewing need administrator rights.
std::unique_ptr<IpHelper> makeSystemIpHelper();

// The simulated IP Helper when TOLVANE_ADAPTERS names an adapters file, otherwise the system's.
std::unique_ptr<IpHelper> makeIpHelper();

} // namespace tolvane
