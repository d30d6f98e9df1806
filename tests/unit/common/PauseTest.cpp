#include "common/Pause.h"

#include "common/Clock.h"
#include "common/ErrorRule.h"
#include "common/EventHandler.h"
#include "common/EventLoopClock.h"
#include "common/VersionCompare.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <vector>

using namespace tolvane;

namespace {

// A tick counter that moves by a fixed step each time events are processed, recording the
// longest wait Pause asked for.
class SteppingClock final : public Clock {
public:
    SteppingClock(std::uint32_t start, std::uint32_t step) : m_now(start), m_step(step) {}
    std::uint32_t tickCount() override { return m_now; }
    void processEventsFor(std::uint32_t maxWaitMs) override
    {
        ++m_rounds;
        m_lastWait = maxWaitMs;
        QCoreApplication::processEvents();
        m_now += std::min(m_step, maxWaitMs);
    }
    std::uint32_t m_now;
    std::uint32_t m_step;
    std::uint32_t m_lastWait = 0;
    int m_rounds = 0;
};

} // namespace

class PauseTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        SetPauseScale(1.0);
        InstallPauseClock(nullptr);
    }

    void pause_waitsStrictlyLongerThanAsked_data()
    {
        QTest::addColumn<quint32>("start");
        QTest::addColumn<quint32>("step");
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<double>("scale");
        QTest::addColumn<quint32>("expectedElapsed");

        QTest::newRow("ends one tick past the limit") << 0u << 100u << 500LL << 1.0 << 501u;
        QTest::newRow("the counter wraps during the wait")
            << 0xFFFFFF00u << 100u << 1000LL << 1.0 << 1001u;
        QTest::newRow("the counter wraps right at the start")
            << 0xFFFFFFFFu << 1u << 10LL << 1.0 << 11u;
        QTest::newRow("zero still lets events run once") << 7u << 1u << 0LL << 1.0 << 1u;
        QTest::newRow("negative counts as zero") << 7u << 1u << -50LL << 1.0 << 1u;
        QTest::newRow("time scale shortens the wait") << 0u << 10u << 700LL << 0.1 << 71u;
    }
    void pause_waitsStrictlyLongerThanAsked()
    {
        QFETCH(quint32, start);
        QFETCH(quint32, step);
        QFETCH(qint64, milliseconds);
        QFETCH(double, scale);
        QFETCH(quint32, expectedElapsed);

        SteppingClock clock(start, step);
        InstallPauseClock(&clock);
        SetPauseScale(scale);
        Pause(milliseconds);
        QCOMPARE(clock.m_now - start, expectedElapsed);
    }

    void pause_asksNoLongerWaitThanRemains()
    {
        SteppingClock clock(0xFFFFFFF0u, 1000);
        InstallPauseClock(&clock);
        Pause(2500);
        QCOMPARE(clock.m_rounds, 3);
        QCOMPARE(clock.m_lastWait, 501u); // 2500 - 2000 + 1: the last round needs only the rest
    }

    void pause_runsEventHandlersWhileWaiting()
    {
        EventLoopClock clock;
        InstallPauseClock(&clock);
        bool ran = false;
        QTimer::singleShot(10, [&] { ran = true; });
        QElapsedTimer timer;
        timer.start();
        Pause(60);
        QVERIFY(ran);
        QVERIFY(timer.elapsed() > 60);
    }

    void pause_raisesAnEndRequestedByAHandler()
    {
        SteppingClock clock(0, 10);
        InstallPauseClock(&clock);
        bool after = false;
        QTimer::singleShot(0, [] { RunEventHandler([] { throw ProgramEnded{}; }); });
        try {
            Pause(1000);
            after = true;
        } catch (const ProgramEnded&) {
        }
        QVERIFY(!after);
        QVERIFY(clock.m_rounds < 100);
    }

    void skipFailedStep_dropsErrorsButNotTheEnd()
    {
        int steps = 0;
        SkipFailedStep([&] {
            ++steps;
            throw StepError("no such element");
        });
        SkipFailedStep([&] { ++steps; });
        QCOMPARE(steps, 2);
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, SkipFailedStep([] { throw ProgramEnded{}; }));
    }

    void versionLess_comparesAsPlainText_data()
    {
        QTest::addColumn<QString>("smaller");
        QTest::addColumn<QString>("larger");
        const std::vector<std::pair<const char*, const char*>> ordered{
            {"", "0"},          {"0.39", "0.39k"}, {"0.39k", "0.4"},   {"0.4", "0.42"},
            {"0.42", "0.5"},    {"0.100", "0.42"}, {"0.38f", "0.38g"}, {"0.39a", "0.39k"},
            {"0.39K", "0.39k"}, {"0.42", "0.42 "},
        };
        for (const auto& [a, b] : ordered)
            QTest::newRow(qPrintable(QStringLiteral("\"%1\" < \"%2\"").arg(a, b))) << a << b;
    }
    void versionLess_comparesAsPlainText()
    {
        QFETCH(QString, smaller);
        QFETCH(QString, larger);
        QVERIFY(VersionLess(smaller.toStdString(), larger.toStdString()));
        QVERIFY(!VersionLess(larger.toStdString(), smaller.toStdString()));
        QVERIFY(!VersionLess(larger.toStdString(), larger.toStdString()));
    }

    void versionLess_ordersHighBytesAboveAscii() { QVERIFY(VersionLess("0.4z", "0.4\xE9")); }
};

QTEST_GUILESS_MAIN(PauseTest)
#include "PauseTest.moc"
