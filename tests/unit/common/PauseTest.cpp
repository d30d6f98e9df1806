#include "common/Pause.h"

#include "common/ErrorRule.h"
#include "common/EventHandler.h"
#include "support/VirtualClock.h"

#include <QTimer>
#include <QtTest>

using namespace tolvane;

// A tick counter that moves by at most 100 ms each time events are processed.
struct SteppingClock final : Clock {
    explicit SteppingClock(std::uint32_t start) : m_now(start) {}
    std::uint32_t tickCount() override { return m_now; }
    void processEventsFor(std::uint32_t maxWaitMs) override { m_now += std::min(100u, maxWaitMs); }
    std::uint32_t m_now;
};

class PauseTest : public QObject {
    Q_OBJECT

private slots:
    void pause_waitsStrictlyLongerThanAsked_data()
    {
        QTest::addColumn<quint32>("start");
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<double>("scale");
        QTest::addColumn<quint32>("elapsed");
        QTest::newRow("one tick past the limit, no round longer") << 0u << 500LL << 1.0 << 501u;
        QTest::newRow("the counter wraps") << 0xFFFFFF00u << 1000LL << 1.0 << 1001u;
        QTest::newRow("zero still lets events run once") << 7u << 0LL << 1.0 << 1u;
        QTest::newRow("time scale shortens the wait") << 0u << 700LL << 0.1 << 71u;
    }
    void pause_waitsStrictlyLongerThanAsked()
    {
        QFETCH(quint32, start);
        QFETCH(qint64, milliseconds);
        QFETCH(double, scale);
        QFETCH(quint32, elapsed);
        SteppingClock clock(start);
        InstallPauseClock(&clock);
        SetPauseScale(scale);
        Pause(milliseconds);
        QCOMPARE(clock.m_now - start, elapsed);
    }

    // An end asked while a pause runs events passes through it, and through a skipped step.
    void end_passesThroughPausesAndSkippedSteps()
    {
        test::VirtualClock clock;
        InstallPauseClock(&clock);
        QTimer::singleShot(0, [] { RunEventHandler([] { throw ProgramEnded{}; }); });
        SkipFailedStep([] { throw StepError("no such element"); });
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, SkipFailedStep([] { Pause(1000); }));
    }
};

QTEST_GUILESS_MAIN(PauseTest)
#include "PauseTest.moc"
