#pragma once

#include "Clock.h"

#include <chrono>

namespace tolvane {

// The real clock: a monotonic millisecond counter, and Qt's event loop sleeping between events.
class EventLoopClock final : public Clock {
public:
    std::uint32_t tickCount() override;
    void processEventsFor(std::uint32_t maxWaitMs) override;

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

} // namespace tolvane
