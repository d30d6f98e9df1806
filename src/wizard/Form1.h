#pragma once

#include "resources/EmbeddedResources.h"

#include <array>
#include <cstdint>
#include <string>

namespace tolvane {

class FileSystem;
class Form1View;
class ProgramEnd;
class ResultReport;
struct ProcessState;

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
    Form1(ProcessState& state, ResultReport& report, ProgramEnd& programEnd, FileSystem& fileSystem,
          Form1View& view);

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

private:
    void chooseFirmware(const WorkFile& file, const char* version);

    ProcessState& m_state;
    ResultReport& m_report;
    ProgramEnd& m_programEnd;
    FileSystem& m_fileSystem;
    Form1View& m_view;
};

} // namespace tolvane
