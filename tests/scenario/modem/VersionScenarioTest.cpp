#include "support/ScenarioRig.h"
#include "support/Form1Scenario.h"
#include "support/PageServer.h"
#include "support/StandInModem.h"

#include <QtTest>

#include <memory>

using namespace tolvane;
using test::Form1Scenario;
using test::ScenarioRig;
using test::StandInModem;

namespace {

const std::string NotAnnexA = "Can not find a KVX4120/07 annex A basestation ";
const std::string NoVersionPage = "Can Not Find Firmware Version Page";

modemsim::SimOptions modemWith(const std::function<void(modemsim::SimOptions&)>& change)
{
    auto options = StandInModem::instantOptions();
    change(options);
    return options;
}

// A status page of one's own, behind a login page without a form (counted as accepted).
void serveStatus(test::PageServer& server, const std::string& script)
{
    server.page("/login.stm", "<html><body>Velmora</body></html>");
    server.page("/status_main.stm",
                "<html><head><script>" + script + "</script></head><body></body></html>");
}

} // namespace

class VersionScenarioTest : public QObject {
    Q_OBJECT

private slots:
    void probe_recognisesTheModemByItsPage_data()
    {
        QTest::addColumn<QString>("page"); // empty: the stand-in, in the mode below
        QTest::addColumn<bool>("miniKernel");
        QTest::addColumn<QString>("found");
        QTest::addColumn<int>("mode");
        QTest::newRow("stand-in kernel") << "" << false << "YES" << 2;
        QTest::newRow("stand-in mini kernel") << "" << true << "YES" << 1;
        QTest::newRow("setup link and upgrade link")
            << "<a href=setupw_2.stm>Wireless</a><a href=upgrade_firm_browse.htm>Upgrade</a>"
            << false << "YES" << 2;
        QTest::newRow("second setup link")
            << "<a href='setupa_brief.stm'>ADSL</a>" << false << "YES" << 2;
        QTest::newRow("upgrade link only")
            << "<a href=upgrade_firm_browse.htm>Upgrade</a>" << false << "YES" << 1;
        QTest::newRow("maker's name in other capitals")
            << "<h1>VELMORA velmora</h1>" << false << "NO" << 0;
        QTest::newRow("another device") << "<h1>Some router</h1>" << false << "NO" << 0;
    }
    void probe_recognisesTheModemByItsPage()
    {
        QFETCH(QString, page);
        QFETCH(bool, miniKernel);
        QFETCH(QString, found);
        QFETCH(int, mode);
        ScenarioRig rig;
        std::unique_ptr<StandInModem> modem;
        test::PageServer server;
        if (page.isEmpty()) {
            modem = std::make_unique<StandInModem>(modemWith([&](auto& o) {
                o.mode = miniKernel ? modemsim::SimMode::Mini : modemsim::SimMode::Kernel;
            }));
            rig.form.ModemAddress = modem->address();
        } else {
            server.page("/login.stm", "<html><body>" + page.toStdString() + "</body></html>");
            rig.form.ModemAddress = server.address();
        }
        Form1Scenario scenario(rig);

        rig.form.CheckKernelMiniKernel();

        QCOMPARE(QString::fromStdString(rig.form.ModemFound), found);
        QCOMPARE(int(rig.state.kernelMode), mode);
        if (modem)
            QCOMPARE(modem->requests(), std::vector<std::string>{"GET /login.stm"});
        QVERIFY(scenario.clock.waited() >= 5000 && scenario.clock.waited() < 5100);
    }

    void probe_ofAnAddressThatDoesNotAnswer_neverFindsThePageBefore()
    {
        ScenarioRig rig;
        StandInModem modem;
        Form1Scenario scenario(rig);
        rig.form.ModemAddress = modem.address();
        rig.form.CheckKernelMiniKernel();
        QCOMPARE(rig.form.ModemFound, "YES");

        modem.stop();
        rig.form.CheckKernelMiniKernel();

        QCOMPARE(rig.form.ModemFound, "NO");
        QVERIFY(rig.form.control(Control::CheckFirmwareText).caption.find("Velmora") ==
                std::string::npos);
        QCOMPARE(rig.state.kernelMode, KernelMode::Kernel); // left for the next search to reset
    }

    void reading_cutsTheVersionOutOfTheStatusPage_data()
    {
        QTest::addColumn<QString>("versionText");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("reporting");
        QTest::newRow("blank before the date") << "0.39k (Nov 15 2005)"
                                               << "0.39k" << true;
        QTest::newRow("no blank before the date") << "0.39k(Nov 15 2005)"
                                                  << "0.39k" << true;
        QTest::newRow("no date") << "0.39"
                                 << "0.39" << true;
        QTest::newRow("empty") << ""
                               << "" << true;
        QTest::newRow("up to date, not reporting") << "0.42 (Mar 14 2006)"
                                                   << "0.42" << false;
    }
    void reading_cutsTheVersionOutOfTheStatusPage()
    {
        QFETCH(QString, versionText);
        QFETCH(QString, number);
        QFETCH(bool, reporting);
        ScenarioRig rig(false, reporting);
        StandInModem modem(modemWith([&](auto& o) { o.versionText = versionText.toStdString(); }));
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = "admin";
        rig.form.ModemAddress = modem.address();

        rig.form.CheckFirmWareVersion();

        QVERIFY(rig.form.ModemOk);
        QCOMPARE(QString::fromStdString(rig.form.CurrentVersionText), versionText);
        QCOMPARE(QString::fromStdString(rig.form.CurrentVersion), number);
        QCOMPARE(rig.form.LoginUrl, modem.address() + "/login.stm");
        QCOMPARE(QString::fromStdString(rig.form.control(Control::Label1).caption),
                 "Current Firmware version : " + versionText);
        // An empty number writes nothing, and the value is never written later in the run.
        QCOMPARE(QString::fromStdString(rig.reported("Old_Firmware_Version")),
                 reporting ? number : "");
        QCOMPARE(rig.state.runOptions.ReportValueNames[0].empty(), reporting);
        QCOMPARE(rig.reported("Mac_Address"), reporting ? "00:17:3F:5A:21:C4" : "");
        QCOMPARE(modem.count("GET /status_main.stm"), 1);
        QVERIFY(rig.view.shown().empty());
        // The login's 9.5 s, then 6 + 2 + 1 s.
        QVERIFY(scenario.clock.waited() >= 18500 && scenario.clock.waited() < 18600);
    }

    void reading_withoutTheVersionTagInItsFirst11000Characters_failsAndKeepsTheVersion_data()
    {
        QTest::addColumn<bool>("late");
        QTest::newRow("no version tag") << false;
        QTest::newRow("version tag beyond 11,000 characters") << true;
    }
    void reading_withoutTheVersionTagInItsFirst11000Characters_failsAndKeepsTheVersion()
    {
        QFETCH(bool, late);
        ScenarioRig rig;
        StandInModem modem(modemWith([&](auto& o) {
            o.faults.noVersionTag = !late;
            o.faults.lateVersionTag = late;
        }));
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = "admin";
        rig.form.ModemAddress = modem.address();
        rig.form.ModemOk = true;
        rig.form.CurrentVersion = "0.38f";
        rig.form.CurrentVersionText = "0.38f (Aug 30 2005)";

        rig.form.CheckFirmWareVersion();

        QVERIFY(!rig.form.ModemOk);
        QCOMPARE(rig.form.control(Control::Label1).caption, NoVersionPage);
        QCOMPARE(rig.reported("Firmware_Status"), "Fail");
        QCOMPARE(rig.reported("Error_Msg"), NoVersionPage);
        QCOMPARE(rig.form.CurrentVersion, "0.38f");
        QCOMPARE(rig.form.CurrentVersionText, "0.38f (Aug 30 2005)");
        QCOMPARE(rig.reported("Old_Firmware_Version"), "");
        QCOMPARE(rig.reported("Mac_Address"), "");
        QVERIFY(rig.form.control(Control::CheckFirmwareText).caption.size() <= 11000);
    }

    void annexCheck_endsOnAModemThatIsNotAnnexA_data()
    {
        QTest::addColumn<QString>("adslTag"); // empty: the stand-in, annex as below
        QTest::addColumn<QString>("annex");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("ends");
        QTest::newRow("annex A") << ""
                                 << "A" << false << false;
        QTest::newRow("annex B") << ""
                                 << "B" << false << true;
        QTest::newRow("annex B, silent") << ""
                                         << "B" << true << true;
        QTest::newRow("no ADSL tag: no check") << "none"
                                               << "" << false << false;
        QTest::newRow("only a small a") << "var adsl_code_version=\"a2pB024k.d20m\";"
                                        << "" << false << true;
        QTest::newRow("cut that fails counts as empty") << "var adsl_code_version=\";\";"
                                                        << "" << false << true;
    }
    void annexCheck_endsOnAModemThatIsNotAnnexA()
    {
        QFETCH(QString, adslTag);
        QFETCH(QString, annex);
        QFETCH(bool, silent);
        QFETCH(bool, ends);
        ScenarioRig rig(silent);
        rig.deploy();
        std::unique_ptr<StandInModem> modem;
        test::PageServer server;
        if (adslTag.isEmpty() || adslTag == "none") {
            modem = std::make_unique<StandInModem>(modemWith([&](auto& o) {
                o.annex = annex.isEmpty() ? "A" : annex.toStdString();
                o.faults.noAdslTag = adslTag == "none";
            }));
            rig.form.ModemAddress = modem->address();
        } else {
            serveStatus(server, "var runtime_code_version=\"0.39k (Nov 15 2005)\";\n"
                                "var lan_mac_addr=\"00:17:3F:5A:21:C4\";\n" +
                                    adslTag.toStdString());
            rig.form.ModemAddress = server.address();
        }
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = "admin";

        QCOMPARE(test::Form1Rig::ends([&] { rig.form.CheckFirmWareVersion(); }), ends);

        QCOMPARE(rig.form.ModemOk, !ends);
        QCOMPARE(rig.form.CurrentVersion, "0.39k");
        QVERIFY(rig.imagesOnDisk());
        QCOMPARE(rig.reported("Error_Msg"), ends ? NotAnnexA : "");
        QCOMPARE(rig.reported("Firmware_Status"), ends ? "Fail" : "");
        const auto& shown = rig.view.shown();
        QCOMPARE(shown.size(), std::size_t(ends && !silent ? 1 : 0));
        if (!shown.empty()) {
            QCOMPARE(shown[0].text, NotAnnexA + " ");
            QCOMPARE(shown[0].title, "Tolvane");
            QCOMPARE(shown[0].icon, MessageIcon::None);
        }
    }

    void secondReading_rewritesTheMacAddressButNotTheOldVersion()
    {
        ScenarioRig rig;
        StandInModem modem;
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = "admin";
        rig.form.ModemAddress = modem.address();
        rig.form.CheckFirmWareVersion();
        rig.report.SaveReportValue("Old_Firmware_Version", "earlier");
        rig.report.SaveReportValue("Mac_Address", "earlier");

        rig.form.CheckFirmWareVersion();

        QCOMPARE(rig.reported("Old_Firmware_Version"), "earlier");
        QCOMPARE(rig.reported("Mac_Address"), "00:17:3F:5A:21:C4");
        QCOMPARE(rig.form.CurrentVersion, "0.39k");
    }
};

QTEST_GUILESS_MAIN(VersionScenarioTest)
#include "VersionScenarioTest.moc"
