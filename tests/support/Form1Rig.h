#pragma once

#include "common/ProcessState.h"
#include "modem/ModemBrowser.h"
#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"
#include "platform/MousePointer.h"
#include "platform/OsVersion.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "platform/sim/SimIpHelper.h"
#include "registry/Registry.h"
#include "registry/ResultReport.h"
#include "support/RecordingForm1View.h"
#include "support/ThrowingProgramEnd.h"
#include "wizard/Form1.h"

#include <QTemporaryDir>

#include <functional>

namespace tolvane::test {

class FakeDiskSpace final : public DiskSpace {
public:
    bool query(const std::string& folder, DiskSpaceFigures* figures) override
    {
        m_asked = folder;
        *figures = m_figures;
        return m_ok;
    }
    DiskSpaceFigures m_figures{std::int64_t(1) << 40, std::int64_t(1) << 41, std::int64_t(1) << 40};
    bool m_ok = true;
    std::string m_asked;
};

class FakeOsVersion final : public OsVersion {
public:
    OsVersionRecord query() override { return m_record; }
    OsVersionRecord m_record{2, 5, 1};
};

class StillMousePointer final : public MousePointer {
public:
    void setShape(PointerShape shape) override { m_shape = shape; }
    PointerShape m_shape = PointerShape::Default;
};

// One Form1 with its services: a registry store of its own in a fresh temporary folder, fakes
// for the disk and the system version, the real file system, and a recording window. The
// program's folder is "<temporary folder>/C:\Tools", so the work folder ends up as the
// temporary folder's entry "C:\TFWU" and never at the machine's own drive root.
struct Form1Rig {
    QTemporaryDir dir;
    SqliteRegistryStore store{dir.filePath("registry.sqlite").toStdString()};
    Registry registry{store};
    ProcessState state;
    ResultReport report{registry, state.runOptions};
    ThrowingProgramEnd programEnd;
    std::unique_ptr<FileSystem> fileSystem = makeFileSystem();
    FakeDiskSpace diskSpace;
    FakeOsVersion osVersion;
    ModemBrowser browser;
    SimIpHelper ipHelper{{}};
    StillMousePointer mousePointer;
    RecordingForm1View view;
    Form1 form{services(), view};

    Form1Services services()
    {
        return {state,
                registry,
                report,
                programEnd,
                *fileSystem,
                diskSpace,
                osVersion,
                browser,
                ipHelper,
                mousePointer,
                dir.filePath("C:\\Tools").toStdString()};
    }

    // Runs a procedure that may end the program; true when it did.
    static bool ends(const std::function<void()>& procedure)
    {
        try {
            procedure();
        } catch (const ProgramEnded&) {
            return true;
        }
        return false;
    }
};

} // namespace tolvane::test
