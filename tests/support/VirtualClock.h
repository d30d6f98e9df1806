#pragma once

#include "common/Clock.h"

#include <functional>

namespace tolvane::test {

// A clock for tests: time moves only when a Pause waits, and only after the work in flight (a
// page load, say) has finished in real time, so procedures never race against a deadline.
class VirtualClock final : public Clock {
public:
    // Asked before time moves: true while work is in flight that must finish first.
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }

    std::uint32_t tickCount() override { return m_now; }
    void processEventsFor(std::uint32_t maxWaitMs) override;

    // Milliseconds of virtual time waited in all.
    std::uint64_t waited() const { return m_waited; }

private:
    std::uint32_t m_now = 0;
    std::uint64_t m_waited = 0;
    std::function<bool()> m_busy;
};

} // namespace tolvane::test
