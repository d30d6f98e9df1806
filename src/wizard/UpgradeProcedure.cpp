#include "Form1.h"
#include "Form1View.h"
#include "adapters/AdapterRefreshCycle.h"
#include "common/ErrorRule.h"
#include "common/Pause.h"
#include "common/ProcessState.h"
#include "common/VersionCompare.h"
#include "modem/ModemBrowser.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramEnd.h"
#include "registry/ResultReport.h"

namespace tolvane {

namespace {

constexpr const char* LatestVersion = "0.42";
constexpr int SearchAttempts = 9;
constexpr int ProgressSteps = 100;

// A modem that keeps refusing its image, or whose upgrade page never appears, would otherwise be
// upgraded for ever; two cycles are what an upgrade needs ("0.38f", then "0.42").
constexpr int MostCycles = 6;

constexpr const char* RefreshText = "IP release and renew and check IP of the wireless modem";
constexpr const char* ConnectText = "Connect...";
constexpr const char* RetryText = "Please check the power and all connections of your wireless "
                                  "modem. If everything is OK, Please wait... try to connect...";
constexpr const char* NoUpgradePageText = "Can not find Update Firmware Page...Check again..";
constexpr const char* WritingText = "Update Firmware, Don't switch off your wireless modem, do not "
                                    "close any application, do not disconnect the network";
constexpr const char* FailureText =
    "Firmware Update not successful!!!. Please check all cables connected to your wireless modem, "
    "and power on/off the modem..";

} // namespace

void Form1::Command1_Click()
{
    setFont(Control::Label1, 8, false);
    setVisible(Control::Label5, false);

    // From here on a step that fails is skipped; only the calls below can fail.
    setEnabled(Control::Command1, false);
    setCaption(Control::Label1, RefreshText);
    m_report.report(ReportValue::Operation_System, GetOSName());
    Pause(1000);
    refreshNetwork();
    Pause(5000);

    m_versionReadThisRun.clear();
    for (int cycle = 1;; ++cycle) {
        ModemOk = false;
        setCaption(Control::lblStatus, "");
        setEnabled(Control::Command1, false);
        setEnabled(Control::Command2, true);
        setCaption(Control::Label1, ConnectText);
        m_state.kernelMode = KernelMode::Undetermined;
        if (m_state.gateways.GatewayCount <= 0)
            break;
        searchModem();
        if (!ModemOk)
            break;

        if (m_state.kernelMode == KernelMode::Kernel) {
            readVersion();
            // A cycle that misses the version goes on with the one read before, but an image is
            // never chosen before this run has read one: a version not read, or empty, would
            // take the oldest image, flashing even an up-to-date modem back to "0.38f".
            if (m_versionReadThisRun.empty()) {
                ModemOk = false;
                break;
            }
            chooseImage();
        } else {
            SkipFailedStep([&] { Firmware1(); });
        }

        setEnabled(Control::Command2, false);
        setCaption(Control::Label1, "Update Config...Firmware " + ImageVersion);
        UploadReady = false;
        m_uploadFailure.clear();
        m_report.report(ReportValue::New_Firmware_Version, ImageVersion);
        SkipFailedStep([&] { UpdateFirmware(); });
        Pause(1000);

        if (!UploadReady) {
            const std::string failure =
                m_uploadFailure.empty() ? NoUpgradePageText : m_uploadFailure;
            setCaption(Control::Label1, failure);
            m_report.reportFailure(failure);
        } else {
            setCaption(Control::Label1, WritingText);
            showProgress();
            if (m_state.kernelMode == KernelMode::MiniKernel) {
                saveAndRestart();
                Pause(5000);
                refreshNetwork();
            }
        }

        Pause(3000);
        setVisible(Control::ProgressLab, false);
        setVisible(Control::ProgressLabelback, false);
        SkipFailedStep([&] { CheckFirmWareVersion(); });
        Pause(2000);
        Pause(1000);

        if (!VersionLess(CurrentVersion, LatestVersion))
            break;
        if (cycle == MostCycles) {
            ModemOk = false;
            break;
        }
    }
    showOutcome();
}

void Form1::refreshNetwork()
{
    SkipFailedStep([&] {
        AdapterRefreshCycle(m_ipHelper, m_mousePointer, m_view.messageBoxes(), m_state.gateways);
    });
}

// Up to nine passes over the gateways; the first address that answers as the modem is kept.
void Form1::searchModem()
{
    const GatewayTable& gateways = m_state.gateways;
    for (int attempt = 0; attempt < SearchAttempts; ++attempt) {
        for (int i = 0; i < gateways.GatewayCount; ++i) {
            ModemAddress = gateways.GatewayAddresses[static_cast<std::size_t>(i)];
            SkipFailedStep([&] { CheckKernelMiniKernel(); });
            if (ModemFound == "YES") {
                ModemOk = true;
                return;
            }
        }
        Pause(1000);
        if (attempt > 2)
            setCaption(Control::Label1, RetryText + std::to_string(attempt + 1) + " time");
    }
}

// Logs in and reads the version. An up-to-date modem ends the program.
void Form1::readVersion()
{
    setCaption(Control::Label1, "Begin login machine");
    LoginUrl = ModemAddress + "/login.stm";
    SkipFailedStep([&] { LoginMachine(); });
    Pause(2000);
    SkipFailedStep([&] { CheckFirmWareVersion(); });
    if (!VersionLess(CurrentVersion, LatestVersion))
        endUpToDate();
}

void Form1::endUpToDate()
{
    setCaption(Control::Label1,
               "You already have the latest firmware version" + CurrentVersionText + " .Exit Now!");
    const std::string message =
        "You already have the latest firmware version " + CurrentVersionText + " .Exit Now!";
    if (!m_state.runOptions.Silent)
        m_view.messageBoxes().show(message, ProgramTitle, MessageIcon::None);
    if (m_state.runOptions.ReportEnabled) {
        m_report.reportFailure(message);
        Command2_Click();
    }
    m_programEnd.endNow();
}

// The image the last version read in this run calls for; every comparison is plain text.
void Form1::chooseImage()
{
    const std::string& version = m_versionReadThisRun;
    SkipFailedStep([&] {
        if (version == "0.38f" || !VersionLess(version, "0.39k"))
            Firmware3();
        else if (VersionLess("0.39", version))
            Firmware2();
        else
            Firmware1();
    });
}

// The bar fills its track in a hundred steps of 700 ms while the modem writes the image.
void Form1::showProgress()
{
    setWidth(Control::ProgressLab, 0);
    setVisible(Control::ProgressLab, true);
    setVisible(Control::ProgressLabelback, true);
    m_view.bringToFront(Control::ProgressLab);
    for (int k = 0; k < ProgressSteps; ++k) {
        setWidth(Control::ProgressLab, control(Control::ProgressLab).width +
                                           control(Control::ProgressLabelback).width / 100);
        Pause(700);
    }
    Pause(500);
}

// A modem in its mini kernel saves its settings and restarts into the kernel.
void Form1::saveAndRestart()
{
    m_browser.Navigate(QString::fromStdString(ModemAddress + "/tools_save_restart.htm"));
    Pause(5000);
    SkipFailedStep([&] {
        const HtmlDocument document = m_browser.Document();
        const int length = document.All().Length();
        for (int i = 0; i < length; ++i) {
            SkipFailedStep([&] {
                HtmlElement element = document.All(i);
                if (element.tagName().toUpper() == "INPUT" && element.Type() == "submit")
                    element.Click();
            });
        }
    });
}

void Form1::showOutcome()
{
    if (ModemOk) {
        setCaption(Control::Label1, "Congratulations!! The firmware " + CurrentVersionText +
                                        " update was successful. Exit now.");
        m_report.report(ReportValue::Firmware_Status, "Done");
        setEnabled(Control::Command1, false);
        setEnabled(Control::Command2, true);
    } else {
        // Whatever failed was shown and reported where it happened; the launching program reads
        // this general text.
        setCaption(Control::Label1,
                   std::string(FailureText) + "\r\n then click the 'Start' button again.");
        m_report.reportFailure(FailureText);
        setEnabled(Control::Command1, true);
        setEnabled(Control::Command2, true);
        if (m_state.runOptions.Silent)
            Command2_Click();
    }
    Pause(3000);
    if (m_state.runOptions.Silent)
        Command2_Click();
}

} // namespace tolvane
