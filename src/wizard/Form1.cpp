#include "Form1.h"

#include "Form1View.h"
#include "PublicFunctions.h"
#include "common/ErrorRule.h"
#include "common/ProcessState.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramEnd.h"
#include "registry/ResultReport.h"

namespace tolvane {

Form1::Form1(const Form1Services& services, Form1View& view)
    : m_state(services.state), m_registry(services.registry), m_report(services.report),
      m_programEnd(services.programEnd), m_fileSystem(services.fileSystem),
      m_diskSpace(services.diskSpace), m_osVersion(services.osVersion), m_browser(services.browser),
      m_ipHelper(services.ipHelper), m_mousePointer(services.mousePointer),
      m_programFolder(services.programFolder), m_view(view)
{}

std::string Form1::workFilePath(const char* name) const
{
    if (WorkFolder.empty())
        return {};
    return WorkFolder + m_fileSystem.separator() + name;
}

void Form1::writeWorkFiles()
{
    for (const WorkFile& file : WorkFiles)
        WriteResourceFile(file.resource, ResourceTypeCustom, workFilePath(file.name), m_fileSystem);
}

void Form1::Firmware1()
{
    chooseFirmware(Image38fFile, "0.38f");
}

void Form1::Firmware2()
{
    chooseFirmware(Image42SpecialFile, "0.42");
}

void Form1::Firmware3()
{
    chooseFirmware(Image42File, "0.42");
}

void Form1::chooseFirmware(const WorkFile& file, const char* version)
{
    // An image the modem receives only in part can leave it unusable, so a file cut short by a
    // full disk, or changed since it was written, counts as missing.
    const std::string path = workFilePath(file.name);
    const auto carried = resourceFileBytes(file.resource, ResourceTypeCustom);
    if (!path.empty() && carried && m_fileSystem.plainFileHolds(path, *carried)) {
        ImagePath = path;
        ImageVersion = version;
        return;
    }
    if (!m_state.runOptions.Silent)
        m_view.messageBoxes().show(FirmwareMissingMessage, ProgramTitle, MessageIcon::Information);
    m_report.reportFailure(FirmwareMissingMessage);
    m_view.unload();
    m_programEnd.endNow();
}

void Form1::DeleteFirmwareFiles()
{
    if (WorkFolder.empty())
        return;
    for (const WorkFile& file : WorkFiles)
        SkipFailedStep([&] { m_fileSystem.deleteFile(workFilePath(file.name)); });
    SkipFailedStep([&] {
        if (m_fileSystem.folderExists(WorkFolder))
            m_fileSystem.removeEmptyFolder(WorkFolder);
    });
}

void Form1::Command2_Click()
{
    DeleteFirmwareFiles();
    m_programEnd.endNow();
}

void Form1::Command4_Click()
{
    DeleteFirmwareFiles();
    m_programEnd.endNow();
}

} // namespace tolvane
