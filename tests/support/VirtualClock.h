#pragma once

#include "common/Clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace tolvane::test {

// A clock for tests: time moves only when a Pause waits, and only after the work in flight (a
// page load, say) has finished in real time, so procedures never race against a deadline.
class VirtualClock final : public Clock {
public:
    // Asked before time moves: true while work is in flight that must finish first.
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }

    std::uint32_t tickCount() override { return m_now; }
    void processEventsFor(std::uint32_t maxWaitMs) override
    {
        // Let posted events run, then wait in real time (bounded) for work in flight.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const QDeadlineTimer limit(30000);
        while (m_busy && m_busy() && !limit.hasExpired()) {
            QEventLoop loop;
            QTimer::singleShot(5, &loop, &QEventLoop::quit);
            loop.exec();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_now += maxWaitMs;
        m_waited += maxWaitMs;
    }

    // Milliseconds of virtual time waited in all.
    std::uint64_t waited() const { return m_waited; }

private:
    std::uint32_t m_now = 0;
    std::uint64_t m_waited = 0;
    std::function<bool()> m_busy;
};

} // namespace tolvane::test
