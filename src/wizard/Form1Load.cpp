#include "Form1.h"
#include "Form1View.h"
#include "SystemQueries.h"
#include "common/Errors.h"
#include "common/ProcessState.h"
#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/OsVersion.h"
#include "platform/ProgramEnd.h"
#include "registry/Registry.h"
#include "registry/ResultReport.h"
#include "resources/EmbeddedResources.h"

#include <charconv>
#include <system_error>

namespace tolvane {

namespace {

const std::string InternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string InternetZone = InternetSettings + "\\Zones\\3";

constexpr const char* ProxyMessage = "You have enabled proxy server in your browser! Please "
                                     "disable proxy server and rerun the utility";
constexpr const char* IntroText =
    "After you click on the 'Start' button, the firmware upgrade will begin.\r\n"
    " (You need IE Version 5 or above to support this upgrade)";
constexpr const char* ChecklistText =
    " BEFORE upgrading, please make sure that:\r\n"
    "  * this PC must be connected either to LAN1,LAN2 or wireless\r\n"
    "  * in case of wireless, please save the wireless profile of your PC!";

std::string spaceMessage(std::int64_t megabytes)
{
    return "Utility need necessary disk space (Minimum Space : " + std::to_string(megabytes) +
           " MB) to Upgrade Firmware. Please Make necessary disk space and rerun the Utility";
}

// A registry setting read as a whole number; blanks around it and a string's terminating zero
// are allowed. Anything else ("No Data" for a missing value) is an error of the load.
long settingNumber(const std::string& text, const char* valueName)
{
    std::string trimmed = text.substr(0, text.find('\0'));
    trimmed.erase(0, trimmed.find_first_not_of(' '));
    trimmed.erase(trimmed.find_last_not_of(' ') + 1);
    long number = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [ptr, error] = std::from_chars(trimmed.data(), end, number);
    if (trimmed.empty() || error != std::errc() || ptr != end)
        throw StepError(std::string("The Internet setting \"") + valueName +
                        "\" cannot be read as a number.");
    return number;
}

std::int64_t carriedCharacters(std::int32_t resource)
{
    const auto bytes = loadResource(resource, ResourceTypeCustom);
    if (!bytes)
        throw StepError("The program's resource " + std::to_string(resource) + " is missing.");
    return CharacterCount(static_cast<std::int64_t>(bytes->size()));
}

} // namespace

void Form1::Form_Load()
{
    std::string drive;
    runLoadStep([&] { allowFormSubmission(); });
    runLoadStep([&] { refuseProxy(); });
    runLoadStep([&] {
        drive = DriveTextOf(m_programFolder);
        GetDriveFreeSpace(drive);
    });
    runLoadStep([&] { checkDiskSpace(); });
    runLoadStep([&] {
        WorkFolder = drive + "TFWU";
        createWorkFolder();
    });
    runLoadStep([&] { writeWorkFiles(); });

    runLoadStep([&] { loadLogo(); });
    runLoadStep([&] { setWindowSize(control(Control::Frame1).width + 400, m_window.height); });
    runLoadStep([&] {
        const float imageWidth = control(Control::Image1).width;
        setLeft(Control::Image1, (imageWidth + m_window.width) / 2 - imageWidth);
    });
    runLoadStep([&] { setTop(Control::Frame1, control(Control::Image1).height + 100); });
    runLoadStep([&] {
        setWindowSize(m_window.width,
                      control(Control::Frame1).height + control(Control::Image1).height + 700);
    });
    runLoadStep([&] { setTop(Control::lblStatus, m_window.height - 900); });
    runLoadStep([&] {
        const ControlState frame1 = control(Control::Frame1);
        change(Control::Frame2, [&](ControlState& s) {
            s.left = frame1.left;
            s.top = frame1.top;
            s.width = frame1.width;
            s.height = frame1.height;
        });
    });
    runLoadStep([&] {
        setVisible(Control::Frame1, true);
        setVisible(Control::Frame2, false);
    });

    runLoadStep([&] { showLoadedTexts(); });
    runLoadStep([&] {
        setVisible(Control::ProgressLab, false);
        setVisible(Control::ProgressLabelback, false);
    });
    runLoadStep([&] {
        if (m_state.runOptions.Silent)
            setWindowVisible(false);
    });
    runLoadStep([&] { Firmware1(); });
}

void Form1::Show()
{
    Form_Load();
    if (!m_state.runOptions.Silent)
        setWindowVisible(true);
}

void Form1::Form_Activate()
{
    if (!m_state.runOptions.Silent)
        return;
    setWindowVisible(false);
    Command1_Click();
}

// The load's handler: the error is shown (unless silent) and reported, and loading goes on with
// the next step, so a step that fails every time shows its error once.
void Form1::runLoadStep(const std::function<void()>& step)
{
    try {
        step();
    } catch (const std::exception& error) {
        if (!m_state.runOptions.Silent)
            m_view.messageBoxes().show(error.what(), ProgramTitle, MessageIcon::None);
        m_report.reportFailure(error.what());
    }
}

// Sending the modem's forms must raise no prompt in the Internet zone: "ask" becomes "allow".
void Form1::allowFormSubmission()
{
    if (settingNumber(m_registry.QueryKeyValue(HKEY_CURRENT_USER, InternetZone, "1601"), "1601") ==
        1)
        m_registry.SetKeyValue(HKEY_CURRENT_USER, InternetZone, "1601", "0", ValueKindNumber);
}

void Form1::refuseProxy()
{
    const std::string proxy =
        m_registry.QueryKeyValue(HKEY_CURRENT_USER, InternetSettings, "ProxyEnable");
    if (settingNumber(proxy, "ProxyEnable") == 1)
        failAndEnd(ProxyMessage);
}

void Form1::checkDiskSpace()
{
    SpaceNeeded = carriedCharacters(ResourceLogo) + carriedCharacters(Resource38f) +
                  carriedCharacters(Resource42);
    if (2 * SpaceNeeded > DiskFree)
        failAndEnd(spaceMessage(MinimumSpaceMegabytes(2 * SpaceNeeded)));
}

// The work folder sits at the root of the program's drive, where only an administrator may
// write: the message says why it failed, and names the rights a refusal calls for.
void Form1::createWorkFolder()
{
    std::error_code reason;
    if (m_fileSystem.folderExists(WorkFolder) || m_fileSystem.createFolder(WorkFolder, &reason))
        return;
    std::string message =
        "The work folder " + WorkFolder + " cannot be created: " + reason.message() + ".";
    if (reason == std::errc::permission_denied || reason == std::errc::operation_not_permitted)
        message += " The program needs administrator rights to create it.";
    throw StepError(message);
}

void Form1::loadLogo()
{
    setTop(Control::Image1, 100);
    const auto picture = m_view.loadPicture(workFilePath("logo.bmp"));
    if (!picture)
        throw StepError("The logo " + workFilePath("logo.bmp") + " cannot be shown.");
    setWidth(Control::Image1, picture->width);
    setHeight(Control::Image1, picture->height);
}

void Form1::showLoadedTexts()
{
    setCaption(Control::Label1, IntroText);
    setCaption(Control::Label5, ChecklistText);
}

// A failed check: reported first, then told (unless silent), then the program ends before
// anything is written to the work folder.
void Form1::failAndEnd(const std::string& message)
{
    m_report.reportFailure(message);
    if (!m_state.runOptions.Silent)
        m_view.messageBoxes().show(message, ProgramTitle, MessageIcon::None);
    m_programEnd.endNow();
}

void Form1::GetDriveFreeSpace(const std::string& tdrive)
{
    DiskSpaceFigures figures;
    m_diskSpace.query(tdrive, &figures);
    DiskTotal = figures.total;
    DiskFree = figures.availableToCaller;
    DiskUsed = DiskTotal - DiskFree;
}

std::string Form1::GetOSName()
{
    return tolvane::GetOSName(m_osVersion.query());
}

} // namespace tolvane
