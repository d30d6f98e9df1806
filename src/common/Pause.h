#pragma once

#include <cstdint>

namespace tolvane {

class Clock;

// Waits until more than `milliseconds` (times the time scale) have passed on the installed clock,
// handling events meanwhile so that the window stays responsive and its handlers can run.
void Pause(std::int64_t milliseconds);

// The clock every Pause waits on: the event loop's in the program, a virtual one in tests.
void InstallPauseClock(Clock* clock);

// Factor applied to every Pause (TOLVANE_TIME_SCALE); 1 by default.
void SetPauseScale(double scale);

} // namespace tolvane
