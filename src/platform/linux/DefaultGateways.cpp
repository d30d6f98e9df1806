#include "DefaultGateways.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

namespace tolvane {

namespace {

constexpr std::uint32_t RTF_UP = 0x0001;
constexpr std::uint32_t RTF_GATEWAY = 0x0002;

bool parseHex(const std::string& text, std::uint32_t* value)
{
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, *value, 16);
    return error == std::errc() && next == end;
}

std::string dotted(std::uint32_t raw)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &raw, sizeof bytes);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

} // namespace

std::map<std::string, std::string> defaultGateways(std::string_view procNetRoute)
{
    struct Best {
        std::string gateway;
        std::uint32_t metric;
    };
    std::map<std::string, Best> best;
    std::istringstream lines{std::string(procNetRoute)};
    std::string line;
    std::getline(lines, line); // the column titles
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refCount, use, metric, mask;
        if (!(fields >> iface >> destination >> gateway >> flags >> refCount >> use >> metric >>
              mask))
            continue;
        std::uint32_t destinationValue, gatewayValue, flagsValue, maskValue, metricValue;
        if (!parseHex(destination, &destinationValue) || !parseHex(gateway, &gatewayValue) ||
            !parseHex(flags, &flagsValue) || !parseHex(mask, &maskValue))
            continue;
        const auto [next, error] =
            std::from_chars(metric.data(), metric.data() + metric.size(), metricValue);
        if (error != std::errc())
            continue;
        if (destinationValue != 0 || maskValue != 0 || (flagsValue & RTF_UP) == 0 ||
            (flagsValue & RTF_GATEWAY) == 0)
            continue;
        const auto found = best.find(iface);
        if (found == best.end() || metricValue < found->second.metric)
            best[iface] = {dotted(gatewayValue), metricValue};
    }
    std::map<std::string, std::string> gateways;
    for (const auto& [iface, route] : best)
        gateways[iface] = route.gateway;
    return gateways;
}

} // namespace tolvane
