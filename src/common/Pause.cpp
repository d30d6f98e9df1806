#include "Pause.h"

#include "Clock.h"
#include "EventHandler.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cassert>
#include <limits>

namespace tolvane {

namespace {
// Every wait the program makes, as asked: "tolvane.pause.debug=true" shows where time goes.
Q_LOGGING_CATEGORY(lcPause, "tolvane.pause", QtWarningMsg)

Clock* g_clock = nullptr;
double g_scale = 1.0;

std::uint32_t scaledLimit(std::int64_t milliseconds)
{
    const double scaled = static_cast<double>(std::max<std::int64_t>(milliseconds, 0)) * g_scale;
    // Leave room for the "+ 1" below and for the strictly-greater test to become true.
    constexpr double most = std::numeric_limits<std::uint32_t>::max() - 2.0;
    return static_cast<std::uint32_t>(std::clamp(scaled, 0.0, most));
}
} // namespace

void InstallPauseClock(Clock* clock)
{
    g_clock = clock;
}

void SetPauseScale(double scale)
{
    g_scale = scale > 0 ? scale : 1.0;
}

void Pause(std::int64_t milliseconds)
{
    assert(g_clock);
    qCDebug(lcPause, "pause %lld ms", static_cast<long long>(milliseconds));
    const std::uint32_t limit = scaledLimit(milliseconds);
    const std::uint32_t start = g_clock->tickCount();
    for (;;) {
        // Unsigned difference: correct across one wrap of the counter.
        const std::uint32_t elapsed = g_clock->tickCount() - start;
        if (elapsed > limit)
            return;
        g_clock->processEventsFor(limit - elapsed + 1);
        RethrowPendingEnd();
    }
}

} // namespace tolvane
