#pragma once

#include "Form1Controls.h"
#include "resources/EmbeddedResources.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tolvane {

class DiskSpace;
class FileSystem;
class Form1View;
class IpHelper;
class ModemBrowser;
class MousePointer;
class OsVersion;
class ProgramEnd;
class Registry;
class ResultReport;
struct ProcessState;

// What the main window's procedures work with.
struct Form1Services {
    ProcessState& state;
    Registry& registry;
    ResultReport& report;
    ProgramEnd& programEnd;
    FileSystem& fileSystem;
    DiskSpace& diskSpace;
    OsVersion& osVersion;
    ModemBrowser& browser; // WebBrowser1
    IpHelper& ipHelper;
    MousePointer& mousePointer;
    std::string programFolder; // the folder of the program's executable
};

// The files of the work folder and the resources they hold.
struct WorkFile {
    std::int32_t resource;
    const char* name;
};
inline constexpr WorkFile LogoFile{ResourceLogo, "logo.bmp"};
inline constexpr WorkFile Image38fFile{Resource38f, "38f.bin"};
inline constexpr WorkFile Image42File{Resource42, "42.bin"};
inline constexpr WorkFile Image42SpecialFile{Resource42Special, "42Special.bin"};
// In the order they are written and deleted.
inline constexpr std::array<WorkFile, 4> WorkFiles{LogoFile, Image38fFile, Image42File,
                                                   Image42SpecialFile};

inline constexpr const char* FirmwareMissingMessage = "Can not Find the Firmware!";

// The main window's state and procedures, without any widget: the window on screen is reached
// through Form1View.
class Form1 final {
public:
    Form1(const Form1Services& services, Form1View& view);

    // Loads the window, then shows it unless in silent mode.
    void Show();
    // Loading: the pre-flight checks, the work files, the layout around the logo and the
    // default image. A check that fails ends the program.
    void Form_Load();
    // In silent mode the window hides and the upgrade starts by itself.
    void Form_Activate();

    // The upgrade (the Start button).
    void Command1_Click();

    // The modem's login: LoginMachine logs in through LoginHtml until the modem accepts the
    // password, asking the user for another one on the password panel (Login: Command3_Click)
    // or ending the program in silent mode.
    void LoginHtml();
    void LoginMachine();
    void Command3_Click();

    // Recognises the modem at ModemAddress by its page: ModemFound, and KernelMode when found.
    void CheckKernelMiniKernel();
    // Logs in and reads the firmware version, the MAC address and the annex from the status page.
    void CheckFirmWareVersion();
    // Puts ImagePath into the modem's upgrade form and sends it.
    void UpdateFirmware();

    // The modem being tried and what is known of it.
    std::string ModemAddress;
    std::string LoginUrl;
    std::string ModemFound;
    bool ModemOk = false;
    std::string CurrentVersion;
    std::string CurrentVersionText;
    bool UploadReady = false;
    bool LoginDone = false;

    // Fills DiskTotal, DiskFree and DiskUsed for the volume of the drive text; zeros when it
    // cannot be queried.
    void GetDriveFreeSpace(const std::string& tdrive);
    // The operating system's name for the report: "Windows XP" and the like, or "Failed".
    std::string GetOSName();

    std::int64_t DiskTotal = 0;
    std::int64_t DiskFree = 0;
    std::int64_t DiskUsed = 0;
    // Half the bytes that loading requires.
    std::int64_t SpaceNeeded = 0;

    // Drive root of the program's folder followed by "TFWU" (C:\TFWU; /TFWU on Linux).
    std::string WorkFolder;
    // The image chosen for the upload (full path) and its version label; empty until chosen.
    std::string ImagePath;
    std::string ImageVersion;

    // Choose 38f.bin "0.38f", 42Special.bin "0.42" and 42.bin "0.42" respectively. An image
    // that is missing, or is not byte for byte the one the program carries, is never chosen:
    // the user is told (unless silent), the failure reported, the window unloaded and the
    // program ended.
    void Firmware1();
    void Firmware2();
    void Firmware3();

    // Deletes the four files, then the work folder if it is empty; ignores every error.
    void DeleteFirmwareFiles();

    // Exit and Cancel: the files go, then the program ends.
    void Command2_Click();
    void Command4_Click();

    // Writes the four resources into WorkFolder in the order of WorkFiles. The results are not
    // looked at: a file that failed shows when an image is chosen.
    void writeWorkFiles();

    // WorkFolder, the separator and the name; empty while WorkFolder is unset, so that nothing
    // is ever looked for or deleted at the root of a drive.
    std::string workFilePath(const char* name) const;

    const ControlState& control(Control c) const { return m_controls[index(c)]; }
    const WindowState& window() const { return m_window; }

    void setCaption(Control c, const std::string& caption);
    void setVisible(Control c, bool visible);
    void setEnabled(Control c, bool enabled);
    void setLeft(Control c, float left);
    void setTop(Control c, float top);
    void setWidth(Control c, float width);
    void setHeight(Control c, float height);
    void setFont(Control c, float size, bool bold);
    void setWindowSize(float width, float height);
    void setWindowVisible(bool visible);

    // What the user typed into a text box; the view reports it, so nothing is echoed back.
    void userTyped(Control c, const std::string& text);

private:
    static std::size_t index(Control c) { return static_cast<std::size_t>(c); }
    void change(Control c, const std::function<void(ControlState&)>& edit);
    void chooseFirmware(const WorkFile& file, const char* version);

    // Form_Load's steps and its error handler.
    void runLoadStep(const std::function<void()>& step);
    void allowFormSubmission();
    void refuseProxy();
    void checkDiskSpace();
    void createWorkFolder();
    void loadLogo();
    void showLoadedTexts();
    void failAndEnd(const std::string& message);

    // The upgrade procedure's parts.
    void refreshNetwork();
    void searchModem();
    void readVersion();
    void endUpToDate();
    void chooseImage();
    void showProgress();
    void saveAndRestart();
    void showOutcome();

    ProcessState& m_state;
    Registry& m_registry;
    ResultReport& m_report;
    ProgramEnd& m_programEnd;
    FileSystem& m_fileSystem;
    DiskSpace& m_diskSpace;
    OsVersion& m_osVersion;
    ModemBrowser& m_browser;
    IpHelper& m_ipHelper;
    MousePointer& m_mousePointer;
    std::string m_programFolder;
    Form1View& m_view;
    std::array<ControlState, ControlCount> m_controls = DesignedControls();
    WindowState m_window;
    // Why UpdateFirmware made no upload on a page that had its file field; empty otherwise.
    std::string m_uploadFailure;
    // The version number of this Start's last reading whose text began with a digit; empty until
    // there is one. Only it chooses an image.
    std::string m_versionReadThisRun;
};

} // namespace tolvane
