#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tolvane {

// The PC's default gateways, gathered each time the adapter window loads. Only the entries
// 0 to GatewayCount - 1 are meaningful; later entries keep what an earlier load left there.
struct GatewayTable {
    static constexpr int Capacity = 16;
    std::array<std::string, Capacity> GatewayAddresses;
    std::int16_t GatewayCount = 0;
};

} // namespace tolvane
