#include "ModemSimHarness.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace modemsimtest;
using tolvane::modemsim::parseSimCommandLine;

namespace {

std::vector<std::string> words(const QStringList& list)
{
    std::vector<std::string> result;
    for (const QString& word : list)
        result.push_back(word.toStdString());
    return result;
}

QString simulatorPath()
{
    return qEnvironmentVariable("TOLVANE_BIN") + "/tolvane-modem-sim";
}

// Starts the executable and returns the port from its "listening on" line, or 0.
int startSimulator(QProcess& process, const QStringList& arguments)
{
    process.start(simulatorPath(), arguments);
    if (!process.waitForStarted(10000))
        return 0;
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000))
            return 0;
    }
    const QString line = QString::fromUtf8(process.readLine()).trimmed();
    const auto match = QRegularExpression("^listening on 127\\.0\\.0\\.1:(\\d+)$").match(line);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace

class ModemSimCommandLineTest final : public QObject {
    Q_OBJECT

private slots:
    void parse_readsEveryOption()
    {
        const auto parsed = parseSimCommandLine(words({"--listen",
                                                       "[::1]:0",
                                                       "--version=0.38f (Aug 30 2005)",
                                                       "--mode",
                                                       "mini",
                                                       "--password",
                                                       "",
                                                       "--annex",
                                                       "B",
                                                       "--mac",
                                                       "00:11:22:33:44:55",
                                                       "--write-seconds",
                                                       "2.5",
                                                       "--restart-seconds",
                                                       "0",
                                                       "--time-scale",
                                                       "0.01",
                                                       "--state-file",
                                                       "/tmp/x.json",
                                                       "--fault",
                                                       "no-adsl-tag,delay=40",
                                                       "--fault",
                                                       "drop-upload"}));
        QCOMPARE(parsed.error, std::string());
        const SimOptions& o = parsed.options;
        QCOMPARE(o.listenHost, std::string("::1"));
        QCOMPARE(o.listenPort, 0);
        QCOMPARE(o.versionText, std::string("0.38f (Aug 30 2005)"));
        QVERIFY(o.mode == SimMode::Mini);
        QCOMPARE(o.password, std::string());
        QCOMPARE(o.annex, std::string("B"));
        QCOMPARE(o.mac, std::string("00:11:22:33:44:55"));
        QCOMPARE(o.writeSeconds, 2.5);
        QCOMPARE(o.restartSeconds, 0.0);
        QCOMPARE(o.timeScale, 0.01);
        QCOMPARE(o.stateFile, std::string("/tmp/x.json"));
        QVERIFY(o.faults.noAdslTag && o.faults.dropUpload && !o.faults.garbageStatus);
        QCOMPARE(o.faults.delayMs, 40);
    }

    void parse_defaultsFitTheProgramsWaits()
    {
        const SimOptions o = parseSimCommandLine({}).options;
        QCOMPARE(o.listenHost, std::string("127.0.0.1"));
        // Back with the new version well before the 70.5 s progress bar and the 3 s after it
        // (kernel), and before the 15 s that follow a mini kernel's save and restart.
        QVERIFY(o.writeSeconds + o.restartSeconds <= 40);
        QVERIFY(o.restartSeconds <= 10);
    }

    void parse_rejectsBadOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--port", "80"};
        QTest::newRow("missing value") << QStringList{"--password"};
        QTest::newRow("listen without port") << QStringList{"--listen", "127.0.0.1"};
        QTest::newRow("port too large") << QStringList{"--listen", "127.0.0.1:65536"};
        QTest::newRow("IPv6 without brackets") << QStringList{"--listen", "::1:80"};
        QTest::newRow("mode") << QStringList{"--mode", "Kernel"};
        QTest::newRow("annex") << QStringList{"--annex", "C"};
        QTest::newRow("negative seconds") << QStringList{"--write-seconds", "-1"};
        QTest::newRow("seconds not a number") << QStringList{"--restart-seconds", "5s"};
        QTest::newRow("zero time scale") << QStringList{"--time-scale", "0"};
        QTest::newRow("unknown fault") << QStringList{"--fault", "no-adsl"};
        QTest::newRow("delay without number") << QStringList{"--fault", "delay=soon"};
    }

    void parse_rejectsBadOptions()
    {
        QFETCH(QStringList, arguments);
        QVERIFY(!parseSimCommandLine(words(arguments)).error.empty());
    }

    void executable_servesOnFreePortAndStopsOnSigterm()
    {
        QProcess process;
        const int port = startSimulator(process, {"--listen", "127.0.0.1:0"});
        QVERIFY(port > 0);

        httplib::Client client("127.0.0.1", port);
        const auto answer = client.Get("/login.stm");
        QVERIFY(answer && answer->status == 200);
        process.terminate();
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardError().contains("127.0.0.1 GET /login.stm 200"));
    }

    void executable_refusesTakenPort()
    {
        QProcess first;
        const int port = startSimulator(first, {"--listen", "127.0.0.1:0"});
        QVERIFY(port > 0);

        QProcess second;
        second.start(simulatorPath(), {"--listen", QString("127.0.0.1:%1").arg(port)});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("cannot listen"));
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
    }

    void executable_explainsBadOptionAndHelp()
    {
        QProcess bad;
        bad.start(simulatorPath(), {"--annex", "C"});
        QVERIFY(bad.waitForFinished(10000));
        QCOMPARE(bad.exitCode(), 2);
        QVERIFY(bad.readAllStandardError().contains("--annex"));

        QProcess help;
        help.start(simulatorPath(), {"--help"});
        QVERIFY(help.waitForFinished(10000));
        QCOMPARE(help.exitCode(), 0);
        QVERIFY(help.readAllStandardOutput().contains("--fault NAME"));
    }
};

QTEST_GUILESS_MAIN(ModemSimCommandLineTest)
#include "ModemSimCommandLineTest.moc"
