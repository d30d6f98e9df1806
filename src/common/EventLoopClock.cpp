#include "EventLoopClock.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace tolvane {

std::uint32_t EventLoopClock::tickCount()
{
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void EventLoopClock::processEventsFor(std::uint32_t maxWaitMs)
{
    // A nested loop sleeps in the dispatcher until an event or the timer arrives, and unlike a
    // hand-written processEvents() loop it also runs deleteLater() requests made inside it.
    // Precise timers: coarse ones may fire up to 5% early, which would only cost another round.
    QEventLoop loop;
    QTimer deadline;
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(static_cast<int>(std::min<std::uint32_t>(maxWaitMs, 0x7FFFFFFF)));
    loop.exec();
}

} // namespace tolvane
