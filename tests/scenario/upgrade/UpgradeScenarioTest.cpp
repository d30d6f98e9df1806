#include "support/Form1Rig.h"
#include "support/StandInModem.h"

#include <QJsonArray>
#include <QtTest>

using namespace tolvane;
using test::StandInModem;

namespace {

const std::string WritingText = "Update Firmware, Don't switch off your wireless modem, do not "
                                "close any application, do not disconnect the network";
const std::string FailureText = "Firmware Update not successful!!!. Please check all cables "
                                "connected to your wireless modem, and power on/off the modem..";
const std::string RetryText = "Please check the power and all connections of your wireless "
                              "modem. If everything is OK, Please wait... try to connect...";

QStringList uploads(const StandInModem& modem)
{
    QStringList labels;
    for (const char* which : {"accepted", "rejected"})
        for (const auto& upload : modem.state()["uploads"].toObject()[which].toArray())
            labels << upload.toObject()["label"].toString() + " " +
                          upload.toObject()["variant"].toString();
    return labels;
}

// The Start button's procedure with the images deployed and the modem's password given.
struct UpgradeRig : test::Form1Rig {
    explicit UpgradeRig(std::vector<std::string> at, bool silent = false, bool reporting = true)
        : Form1Rig(silent, reporting)
    {
        deploy();
        gateways(at);
        state.runOptions.Password = "admin";
        QObject::connect(&cancel, &QTimer::timeout, [this] { // "admin" refused is a fault: Cancel
            if (!form.control(Control::Frame1).visible && state.runOptions.Password == "admin")
                RunEventHandler([this] { form.Command4_Click(); });
        });
        cancel.start(0);
    }
    bool start() { return ends(std::bind_front(&Form1::Command1_Click, &form)); }

    QTimer cancel;
};

} // namespace

class UpgradeScenarioTest : public QObject {
    Q_OBJECT

private slots:
    void start_upgradesTheModemAndSaysSo()
    {
        StandInModem modem;
        UpgradeRig rig({modem.address()});
        // At every wait: Start disabled, Exit too while uploading.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const std::string& label = rig.form.control(Control::Label1).caption;
            QVERIFY(!rig.form.control(Control::Command1).enabled ||
                    label.starts_with("Congratulations"));
            if (label == WritingText || label.starts_with("Update Config"))
                QVERIFY(!rig.form.control(Control::Command2).enabled);
        });
        watch.start(0);

        QVERIFY(!rig.start());
        QCOMPARE(uploads(modem), QStringList{"0.42 STD"});
        QCOMPARE(
            rig.view.m_label1,
            (std::vector<std::string>{
                "IP release and renew and check IP of the wireless modem", "Connect...",
                "Begin login machine", "Check Firmware..",
                "Current Firmware version : 0.39k (Nov 15 2005)", "Update Config...Firmware 0.42",
                WritingText, "Check Firmware..", "Current Firmware version : 0.42 (Mar 14 2006)",
                "Congratulations!! The firmware 0.42 (Mar 14 2006) update was "
                "successful. Exit now."}));
        QVERIFY(!rig.form.control(Control::Command1).enabled &&
                rig.form.control(Control::Command2).enabled);
        QVERIFY(rig.imagesOnDisk()); // interactive: they go when the user presses Exit
        // The fixed waits of one cycle, in test time: 154.5 s, and a tick more for each wait.
        QVERIFY(rig.clock.waited() > 154500 && rig.clock.waited() < 155000);
    }

    // By the version read, compared as plain text: "0.4" is below "0.42", "0.100" below "0.39".
    void start_choosesTheImageByTheVersion_data()
    {
        QTest::addColumn<QString>("image");
        QTest::newRow("0.39a (Oct 11 2005)") << "0.42 SPECIAL";
        QTest::newRow("0.38g (Sep 1 2005)") << "0.38f STD";
        QTest::newRow("0.4 (Jan 2 2006)") << "0.42 STD";
        QTest::newRow("0.100 (Feb 1 2006)") << "0.38f STD";
    }
    void start_choosesTheImageByTheVersion()
    {
        QFETCH(QString, image);
        StandInModem modem(
            StandInModem::instantOptions([](auto& o) { o.versionText = QTest::currentDataTag(); }));
        UpgradeRig rig({modem.address()});
        QVERIFY(!rig.start());
        QCOMPARE(uploads(modem).value(0), image);
        const auto config = "Update Config...Firmware " + image.section(' ', 0, 0).toStdString();
        QVERIFY(std::ranges::count(rig.view.m_label1, config) == 1);
    }

    // Silent. Each failure is shown and reported where it happens; the outcome of a failed run
    // is the general text, and a later success leaves the earlier text in Error_Msg. No image
    // goes out before this run has read a version, except the mini kernel's 0.38f.
    void start_reportsEachFailureThenTheOutcome_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("shown"); // on the way; empty: nothing particular
        QTest::addColumn<QString>("error");
        const QString noVersion = "Can Not Find Firmware Version Page";
        const QString failure = FailureText.c_str();
        QTest::newRow("modem at 0.42 that never shows its version: nothing sent")
            << "no tag at 0.42" << QStringList() << noVersion << failure;
        QTest::newRow("version tag too late") << "late" << QStringList() << noVersion << failure;
        QTest::newRow("empty version: read, but chooses no image")
            << "empty" << QStringList() << "Current Firmware version : " << failure;
        QTest::newRow("mini kernel, then no version tag: only the image it needs")
            << "mini, no tag" << QStringList{"0.38f STD"} << noVersion << failure;
        QTest::newRow("version missed twice after the first upload: the one read goes on")
            << "missed twice" << QStringList{"0.38f STD", "0.38f STD", "0.42 STD"} << noVersion
            << noVersion;
        QTest::newRow("paste never lands")
            << "paste" << QStringList()
            << "Can not paste the firmware file into the Update Firmware Page" << failure;
        QTest::newRow("page without its file field")
            << "no file" << QStringList() << "Can not find Update Firmware Page...Check again.."
            << failure;
        QTest::newRow("login form aimed at another host: nothing sent")
            << "login elsewhere" << QStringList()
            << "The login page would send the password to another address than the modem's; "
               "nothing was sent."
            << failure;
        QTest::newRow("upgrade form aimed at another host: nothing sent, six cycles")
            << "upload elsewhere" << QStringList()
            << "The Update Firmware Page would send the firmware to another address than the "
               "modem's; nothing was sent."
            << failure;
        QTest::newRow("every image refused: six cycles")
            << "refuse" << QStringList(6, " ") << QString() << failure; // labels unread
    }
    void start_reportsEachFailureThenTheOutcome()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, sent);
        QFETCH(QString, shown);
        QFETCH(QString, error);
        StandInModem modem(StandInModem::instantOptions([&](auto& o) {
            if (fault.contains("0.42"))
                o.versionText = "0.42 (Mar 14 2006)";
            if (fault == "empty")
                o.versionText = "";
            if (fault == "missed twice")
                o.versionText = "0.39 (Oct 3 2005)";
            o.mode = fault.startsWith("mini") ? modemsim::SimMode::Mini : modemsim::SimMode::Kernel;
            o.faults.noVersionTag = fault.contains("no tag");
            o.faults.lateVersionTag = fault == "late";
            o.faults.missedVersions = fault == "missed twice" ? 2 : 0;
            o.faults.noFileInput = fault == "no file";
            o.faults.refuseUploads = fault == "refuse";
            o.faults.loginElsewhere = fault == "login elsewhere";
            o.faults.uploadElsewhere = fault == "upload elsewhere";
        }));
        UpgradeRig rig({modem.address()}, true);
        if (fault == "paste")
            rig.view.m_keys.m_deliver = nullptr; // another program holds the keyboard
        QVERIFY(rig.start());
        QCOMPARE(uploads(modem), sent);
        const int pastes = fault == "paste"              ? 30
                           : fault == "upload elsewhere" ? 6
                                                         : int(sent.size());
        QCOMPARE(rig.view.m_keys.m_pastes, pastes); // "paste": 5 a cycle
        QVERIFY(shown.isEmpty() || std::ranges::count(rig.view.m_label1, shown.toStdString()) > 0);
        const bool done = error != FailureText.c_str();
        QCOMPARE(rig.reported("Firmware_Status"), done ? "Done" : "Fail");
        QCOMPARE(QString::fromStdString(rig.reported("Error_Msg")), error);
        QCOMPARE(rig.view.m_label1.back(),
                 done ? "Congratulations!! The firmware 0.42 (Mar 14 2006) update was successful. "
                        "Exit now."
                      : FailureText + "\r\n then click the 'Start' button again.");
        QVERIFY(!rig.imagesOnDisk());
    }

    // This run's own reading counts: a Start after a failed run chooses nothing from the version
    // the earlier run read.
    void startAgain_withoutAVersion_sendsNothing()
    {
        StandInModem refusing(
            StandInModem::instantOptions([](auto& o) { o.faults.refuseUploads = true; }));
        StandInModem hidden(StandInModem::instantOptions([](auto& o) {
            o.versionText = "0.42 (Mar 14 2006)";
            o.faults.noVersionTag = true;
        }));
        UpgradeRig rig({refusing.address()});
        QVERIFY(!rig.start());
        rig.gateways({hidden.address()});
        QVERIFY(!rig.start() && uploads(hidden).isEmpty());
    }

    // Interactive: nine passes where no modem answers, the failure text; Start can run again.
    void start_findingNoModem_failsAndCanRunAgain()
    {
        StandInModem off; // a refused port: a modem switched off
        off.stop();
        UpgradeRig rig({off.address()});
        QVERIFY(!rig.start() && !rig.start());
        QCOMPARE(rig.view.m_label1.back(),
                 FailureText + "\r\n then click the 'Start' button again.");
        QVERIFY(rig.form.control(Control::Command1).enabled &&
                rig.form.control(Control::Command2).enabled);
        QCOMPARE(rig.reported("Error_Msg"), FailureText);
        std::string retries; // the attempt numbers the connection text ends in, both runs
        for (const auto& text : rig.view.m_label1)
            if (text.starts_with(RetryText) && text.ends_with(" time"))
                retries += text.substr(RetryText.size(), 1);
        QCOMPARE(retries, "456789456789");
    }

    // With a report key the images are removed; without one they stay.
    void start_onAnUpToDateModem_saysSoAndEnds()
    {
        const std::string message =
            "You already have the latest firmware version 0.5 (Jul 1 2006) .Exit Now!";
        for (const bool reporting : {true, false}) {
            StandInModem modem(
                StandInModem::instantOptions([](auto& o) { o.versionText = "0.5 (Jul 1 2006)"; }));
            UpgradeRig rig({modem.address()}, false, reporting);
            QVERIFY(rig.start() && uploads(modem).isEmpty());
            QCOMPARE(rig.view.shown().back().text + rig.view.shown().back().title,
                     message + "Tolvane");
            QCOMPARE(rig.reported("Error_Msg"), reporting ? message : "");
            QCOMPARE(rig.imagesOnDisk(), !reporting);
        }
    }
};

QTEST_GUILESS_MAIN(UpgradeScenarioTest)
#include "UpgradeScenarioTest.moc"
