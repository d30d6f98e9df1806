#pragma once

#include <cstdint>

namespace tolvane {

// The millisecond tick counter and the event processing that Pause is made of.
class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary start; wraps around at 2^32 like the platform's counter.
    virtual std::uint32_t tickCount() = 0;

    // Handles pending events, sleeping while there are none, and returns after at most
    // maxWaitMs milliseconds of this clock.
    virtual void processEventsFor(std::uint32_t maxWaitMs) = 0;
};

} // namespace tolvane
