#pragma once

#include <cstdint>

namespace tolvane {

// What the modem at ModemAddress serves: reset before each search, set by the probe.
enum class KernelMode : std::uint8_t {
    Undetermined = 0,
    MiniKernel = 1, // only the firmware upgrade page
    Kernel = 2,     // the modem's normal pages
};

} // namespace tolvane
