#include "Form1.h"
#include "Form1View.h"
#include "ModemPageAddresses.h"
#include "StatusPageCut.h"
#include "common/ErrorRule.h"
#include "common/Pause.h"
#include "common/ProcessState.h"
#include "modem/ModemBrowser.h"
#include "modem/ModemLog.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramEnd.h"
#include "registry/ResultReport.h"

#include <cctype>
#include <string_view>

namespace tolvane {

namespace {

// The maker's name and links that only the kernel's pages carry.
constexpr std::string_view KernelMarks[] = {"Velmora", "setupw_2.stm", "setupa_brief.stm"};
// The mini kernel's only page, linked from everything it serves.
constexpr std::string_view MiniKernelMark = "upgrade_firm_browse.htm";

const std::string VersionTag = "runtime_code_version=";
const std::string MacTag = "lan_mac_addr=";
const std::string AdslTag = "adsl_code_version=";

// Only the start of the status page is searched: its tags stand in the head's script.
constexpr qsizetype StatusTextLimit = 11000;

constexpr const char* NotAnnexAMessage = "Can not find a KVX4120/07 annex A basestation ";
constexpr const char* NoVersionPageMessage = "Can Not Find Firmware Version Page";

bool holds(const std::string& text, std::string_view mark)
{
    return text.find(mark) != std::string::npos;
}

} // namespace

void Form1::CheckKernelMiniKernel()
{
    m_browser.Navigate(QString::fromStdString(ProbePage(ModemAddress)));
    Pause(3000);
    setCaption(Control::CheckFirmwareText,
               m_browser.Document().documentElement().outerHTML().toStdString());
    Pause(2000);

    ModemFound = "NO";
    const std::string text = control(Control::CheckFirmwareText).caption;
    for (const std::string_view mark : KernelMarks) {
        if (holds(text, mark)) {
            ModemFound = "YES";
            m_state.kernelMode = KernelMode::Kernel;
            qCInfo(lcModem) << "kernel found at" << ModemAddress.c_str();
            return;
        }
    }
    if (holds(text, MiniKernelMark)) {
        ModemFound = "YES";
        m_state.kernelMode = KernelMode::MiniKernel;
        qCInfo(lcModem) << "mini kernel found at" << ModemAddress.c_str();
    }
}

void Form1::CheckFirmWareVersion()
{
    RunOptions& options = m_state.runOptions;
    SkipFailedStep([&] { LoginUrl = LoginPage(ModemAddress); });
    SkipFailedStep([&] { setCaption(Control::Label1, "Check Firmware.."); });
    SkipFailedStep([&] { LoginMachine(); });
    SkipFailedStep([&] { m_browser.Navigate(QString::fromStdString(StatusPage(ModemAddress))); });
    Pause(6000);
    SkipFailedStep([&] {
        const QString page = m_browser.Document().documentElement().outerHTML();
        setCaption(Control::CheckFirmwareText, page.left(StatusTextLimit).toStdString());
    });
    Pause(2000);
    // A page that could not be read leaves the text of the page before it to be searched.
    const std::string text = control(Control::CheckFirmwareText).caption;
    const std::size_t versionAt = FindText(text, VersionTag);
    const std::size_t macAt = FindText(text, MacTag);
    const std::size_t adslAt = FindText(text, AdslTag);
    Pause(1000);

    if (versionAt == 0) {
        ModemOk = false;
        SkipFailedStep([&] { setCaption(Control::Label1, NoVersionPageMessage); });
        SkipFailedStep([&] { m_report.report(ReportValue::Firmware_Status, "Fail"); });
        SkipFailedStep(
            [&] { m_report.report(ReportValue::Error_Msg, control(Control::Label1).caption); });
        return;
    }

    // The number is taken from the version text itself, so that neither a missing blank before
    // the build date nor a missing date can change it: another number means another image.
    if (const auto versionText = CutTagValue(text, versionAt, VersionTag.size(), ';')) {
        CurrentVersionText = *versionText;
        CurrentVersion = VersionNumberOf(*versionText);
        if (!versionText->empty() && std::isdigit(static_cast<unsigned char>(versionText->front())))
            m_versionReadThisRun = CurrentVersion;
    }

    if (options.ReportEnabled) {
        SkipFailedStep([&] { m_report.report(ReportValue::Old_Firmware_Version, CurrentVersion); });
        options.nameOf(ReportValue::Old_Firmware_Version).clear();
        // Without its tag there is no address on the page to cut, only unrelated text.
        if (macAt > 0) {
            if (const auto mac = CutTagValue(text, macAt, MacTag.size(), ';'))
                SkipFailedStep([&] { m_report.report(ReportValue::Mac_Address, *mac); });
        }
    }

    SkipFailedStep(
        [&] { setCaption(Control::Label1, "Current Firmware version : " + CurrentVersionText); });

    if (adslAt > 0) {
        const std::string adsl = CutTagValue(text, adslAt, AdslTag.size(), ';').value_or("");
        if (adsl.find('A') == std::string::npos) {
            qCInfo(lcModem) << "not an annex A modem";
            if (!options.Silent) {
                SkipFailedStep([&] {
                    m_view.messageBoxes().show(std::string(NotAnnexAMessage) + " ", ProgramTitle,
                                               MessageIcon::None);
                });
            }
            SkipFailedStep([&] { m_report.reportFailure(NotAnnexAMessage); });
            m_programEnd.endNow();
        }
    }

    ModemOk = true;
}

} // namespace tolvane
