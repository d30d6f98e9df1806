#include "VirtualClock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace tolvane::test {

void VirtualClock::processEventsFor(std::uint32_t maxWaitMs)
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

} // namespace tolvane::test
