#include "common/EventHandler.h"
#include "support/Form1Scenario.h"
#include "support/ScenarioRig.h"
#include "support/StandInModem.h"

#include <QJsonArray>
#include <QTcpServer>
#include <QtTest>

using namespace tolvane;

namespace {

const std::string WritingText = "Update Firmware, Don't switch off your wireless modem, do not "
                                "close any application, do not disconnect the network";
const std::string FailureText = "Firmware Update not successful!!!. Please check all cables "
                                "connected to your wireless modem, and power on/off the modem..";
const std::string RetryText = "Please check the power and all connections of your wireless "
                              "modem. If everything is OK, Please wait... try to connect...";

// A refused port on loopback: nothing listens there.
std::string refusedAddress()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return "127.0.0.1:" + std::to_string(probe.serverPort());
}

// What the window showed each time the procedure waited.
struct Moment {
    std::string label1;
    bool start;
    bool exit;
    float progress;
};

// The Start button's procedure on the test clock, with the images deployed, adapters whose
// gateways are given, and a note of the window at every wait.
struct UpgradeRig : test::ScenarioRig {
    explicit UpgradeRig(bool silent = false, bool reporting = true) : ScenarioRig(silent, reporting)
    {
        deploy();
        form.Firmware1();
        QObject::connect(&m_watch, &QTimer::timeout, [this] { note(); });
        m_watch.start(0);
    }
    void gateways(const std::vector<std::string>& addresses)
    {
        std::vector<SimIpHelper::Adapter> adapters;
        std::int32_t index = 7;
        for (const auto& address : addresses)
            adapters.push_back({index++, "Simulated LAN", "127.0.0.1", address, true});
        ipHelper.setAdapters(adapters);
    }
    bool start()
    {
        return ends([&] { form.Command1_Click(); });
    }
    std::vector<std::string> label1() const { return view.captionsOf(Control::Label1); }
    void note()
    {
        moments.push_back(
            {form.control(Control::Label1).caption, form.control(Control::Command1).enabled,
             form.control(Control::Command2).enabled, form.control(Control::ProgressLab).width});
    }

    std::vector<Moment> moments;
    QTimer m_watch;
};

QStringList uploads(const test::StandInModem& modem, const char* which)
{
    QStringList labels;
    for (const auto& upload : modem.state()["uploads"].toObject()[which].toArray())
        labels << upload.toObject()["label"].toString() + " " +
                      upload.toObject()["variant"].toString();
    return labels;
}

} // namespace

class UpgradeScenarioTest : public QObject {
    Q_OBJECT

private slots:
    void start_upgradesTheModemAndSaysSo()
    {
        test::StandInModem modem;
        UpgradeRig rig;
        test::Form1Scenario scenario(rig);
        rig.gateways({modem.address()});
        rig.state.runOptions.Password = "admin";

        QVERIFY(!rig.start());
        QCOMPARE(uploads(modem, "accepted"), QStringList{"0.42 STD"});
        QCOMPARE(rig.form.control(Control::Label1).caption,
                 "Congratulations!! The firmware 0.42 (Mar 14 2006) update was successful. Exit "
                 "now.");
        QCOMPARE(rig.reported("Firmware_Status"), "Done");
        QCOMPARE(rig.reported("Operation_System"), "Windows XP");
        QCOMPARE(rig.reported("Old_Firmware_Version"), "0.39k");
        QVERIFY(!rig.form.control(Control::Command1).enabled);
        QVERIFY(rig.form.control(Control::Command2).enabled);
        QVERIFY(!rig.form.control(Control::ProgressLab).visible);
        QVERIFY(rig.imagesOnDisk()); // interactive: they go when the user presses Exit

        const auto texts = rig.label1();
        const std::vector<std::string> expected{
            "IP release and renew and check IP of the wireless modem",
            "Connect...",
            "Begin login machine",
            "Check Firmware..",
            "Current Firmware version : 0.39k (Nov 15 2005)",
            "Update Config...Firmware 0.42",
            WritingText};
        auto at = texts.begin();
        for (const auto& text : expected) {
            at = std::find(at, texts.end(), text);
            QVERIFY2(at != texts.end(), text.c_str());
        }

        // Exit is disabled from the upload until the outcome; Start throughout.
        float widest = 0;
        for (const Moment& m : rig.moments) {
            QVERIFY(!m.start || m.label1.starts_with("Congratulations"));
            if (m.label1 == WritingText || m.label1.starts_with("Update Config"))
                QVERIFY(!m.exit);
            if (m.label1 == "Connect...")
                QVERIFY(m.exit);
            widest = std::max(widest, m.progress);
        }
        QVERIFY(qAbs(widest - 4320.0F) < 0.5F); // the bar filled its track
        // Fixed waits only: two and a half minutes of them, taken in test time.
        QVERIFY(scenario.clock.waited() > 150000);
    }

    void start_choosesTheImageByPlainTextOrder_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("firstImage");
        QTest::newRow("0.38f takes 42.bin") << "0.38f (Aug 30 2005)"
                                            << "0.42 STD";
        QTest::newRow("0.39a takes the special image") << "0.39a (Oct 11 2005)"
                                                       << "0.42 SPECIAL";
        QTest::newRow("0.39 takes 38f.bin") << "0.39 (Oct 3 2005)"
                                            << "0.38f STD";
        QTest::newRow("0.38g takes 38f.bin") << "0.38g (Sep 1 2005)"
                                             << "0.38f STD";
        QTest::newRow("0.4 is below 0.42 as text") << "0.4 (Jan 2 2006)"
                                                   << "0.42 STD";
        QTest::newRow("0.100 is below 0.39 as text") << "0.100 (Feb 1 2006)"
                                                     << "0.38f STD";
    }
    void start_choosesTheImageByPlainTextOrder()
    {
        QFETCH(QString, version);
        QFETCH(QString, firstImage);
        auto options = test::StandInModem::instantOptions();
        options.versionText = version.toStdString();
        test::StandInModem modem(options);
        UpgradeRig rig;
        test::Form1Scenario scenario(rig);
        rig.gateways({modem.address()});
        rig.state.runOptions.Password = "admin";
        QVERIFY(!rig.start());
        const QStringList tried = uploads(modem, "accepted") + uploads(modem, "rejected");
        QVERIFY(!tried.isEmpty());
        QCOMPARE(tried.first(), firstImage);
    }

    void start_withoutGateway_failsAndCanRunAgain()
    {
        UpgradeRig rig;
        test::Form1Scenario scenario(rig);
        QVERIFY(!rig.start());
        QCOMPARE(rig.form.control(Control::Label1).caption,
                 FailureText + "\r\n then click the 'Start' button again.");
        QCOMPARE(rig.reported("Error_Msg"), FailureText);
        QVERIFY(rig.form.control(Control::Command1).enabled);
        QVERIFY(rig.form.control(Control::Command2).enabled);

        const auto firstRun = rig.label1().size();
        QVERIFY(!rig.start());
        QVERIFY(rig.label1().size() > firstRun);
        QVERIFY(rig.ipHelper.calls().size() >= 4); // socket start and end of both refreshes
    }

    void start_withoutAnswer_countsTheAttempts()
    {
        UpgradeRig rig;
        test::Form1Scenario scenario(rig);
        rig.gateways({refusedAddress()});
        QVERIFY(!rig.start());
        std::vector<std::string> retries;
        for (const auto& text : rig.label1())
            if (text.starts_with(RetryText))
                retries.push_back(text.substr(RetryText.size()));
        QCOMPARE(retries, (std::vector<std::string>{"4 time", "5 time", "6 time", "7 time",
                                                    "8 time", "9 time"}));
        QCOMPARE(rig.reported("Firmware_Status"), "Fail");
    }

    void exit_duringAWait_removesTheImagesAndEnds()
    {
        UpgradeRig rig;
        test::Form1Scenario scenario(rig);
        rig.gateways({refusedAddress()});
        QTimer::singleShot(0, [&rig] { RunEventHandler([&rig] { rig.form.Command2_Click(); }); });
        QVERIFY(rig.start());
        QVERIFY(!rig.imagesOnDisk());
        QVERIFY(rig.reported("Firmware_Status").empty());
    }

    void start_onAnUpToDateModem_saysSoAndEnds_data()
    {
        QTest::addColumn<bool>("reporting");
        QTest::newRow("report key given: images removed") << true;
        QTest::newRow("no report key: images stay") << false;
    }
    void start_onAnUpToDateModem_saysSoAndEnds()
    {
        QFETCH(bool, reporting);
        auto options = test::StandInModem::instantOptions();
        options.versionText = "0.5 (Jul 1 2006)";
        test::StandInModem modem(options);
        UpgradeRig rig(false, reporting);
        test::Form1Scenario scenario(rig);
        rig.gateways({modem.address()});
        rig.state.runOptions.Password = "admin";
        QVERIFY(rig.start());
        const std::string message =
            "You already have the latest firmware version 0.5 (Jul 1 2006) .Exit Now!";
        QCOMPARE(rig.view.shown().back().text, message);
        QCOMPARE(rig.view.shown().back().title, "Tolvane");
        QCOMPARE(rig.reported("Error_Msg"), reporting ? message : std::string());
        QCOMPARE(rig.imagesOnDisk(), !reporting);
    }

    void start_onAModemThatRefusesEveryImage_givesUpAfterSixCycles()
    {
        auto options = test::StandInModem::instantOptions();
        options.faults.refuseUploads = true;
        test::StandInModem modem(options);
        UpgradeRig rig(true);
        test::Form1Scenario scenario(rig);
        rig.gateways({modem.address()});
        rig.state.runOptions.Password = "admin";
        QVERIFY(rig.start());
        QCOMPARE(uploads(modem, "rejected").size(), 6);
        QCOMPARE(rig.reported("Firmware_Status"), "Fail");
        QCOMPARE(rig.reported("Error_Msg"), FailureText);
        QVERIFY(!rig.imagesOnDisk());
    }
};

QTEST_GUILESS_MAIN(UpgradeScenarioTest)
#include "UpgradeScenarioTest.moc"
