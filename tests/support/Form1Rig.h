#pragma once

#include "common/Errors.h"
#include "common/EventHandler.h"
#include "common/Pause.h"
#include "common/ProcessState.h"
#include "modem/ModemBrowser.h"
#include "platform/ClipboardKeystrokes.h"
#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"
#include "platform/MousePointer.h"
#include "platform/OsVersion.h"
#include "platform/ProgramEnd.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "platform/sim/SimIpHelper.h"
#include "registry/Registry.h"
#include "registry/ResultReport.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualClock.h"
#include "wizard/Form1.h"
#include "wizard/Form1View.h"

#include <QTemporaryDir>

#include <functional>
#include <vector>

namespace tolvane::test {

// Ends "the program" by unwinding to the test, which catches ProgramEnded.
struct ThrowingProgramEnd final : ProgramEnd {
    [[noreturn]] void endNow() override { throw ProgramEnded{}; }
};

// A clipboard of its own and a Ctrl+V that goes where `m_deliver` says, nowhere while unset.
struct FakeClipboardKeystrokes final : ClipboardKeystrokes {
    void clear() override { m_clipboard.clear(); }
    void setText(const std::string& text) override { m_clipboard = text; }
    void sendPaste() override
    {
        ++m_pastes;
        if (m_deliver)
            m_deliver(m_clipboard);
    }
    std::string m_clipboard;
    int m_pastes = 0;
    std::function<void(const std::string& clipboard)> m_deliver;
};

// Keeps what Form1 told its window. The logo loads as 1680 by 315 twips (112 by 21 pixels).
struct RecordingForm1View final : Form1View {
    MessageBoxes& messageBoxes() override { return m_boxes; }
    void unload() override { ++m_unloads; }
    void controlChanged(Control c, const ControlState& state) override
    {
        if (c == Control::Label1 && state.caption != (m_label1.empty() ? "" : m_label1.back()))
            m_label1.push_back(state.caption);
    }
    void windowChanged(const WindowState&) override {}
    std::optional<PictureSize> loadPicture(const std::string&) override
    {
        return PictureSize{1680, 315};
    }
    void setFocus(Control control) override { m_focus = control; }
    void bringToFront(Control) override {}
    void activate() override {}
    ClipboardKeystrokes& clipboardKeystrokes() override { return m_keys; }
    const std::vector<RecordingMessageBoxes::Shown>& shown() const { return m_boxes.shown(); }

    std::vector<std::string> m_label1; // each text Label1 showed, in order
    Control m_focus = Control::Command1;
    int m_unloads = 0;
    FakeClipboardKeystrokes m_keys;
    RecordingMessageBoxes m_boxes;
};

struct FakeDiskSpace final : DiskSpace {
    bool query(const std::string&, DiskSpaceFigures* figures) override
    {
        *figures = m_figures;
        return true;
    }
    DiskSpaceFigures m_figures{std::int64_t(1) << 40, std::int64_t(1) << 41, std::int64_t(1) << 40};
};
struct FakeOsVersion final : OsVersion {
    OsVersionRecord query() override { return {2, 5, 1}; } // Windows XP
};
struct StillMousePointer final : MousePointer {
    void setShape(PointerShape) override {}
};

// One Form1 on test time: a registry store of its own in a fresh temporary folder, the real file
// system, a recording window, and the program in "<temporary folder>/C:\Tools", so the work
// folder is never the machine's own. Pauses wait on `clock`, which moves once the page is in;
// Ctrl+V reaches the page's focused field when WebBrowser1 last had the focus, as on screen.
struct Form1Rig {
    explicit Form1Rig(bool silent = false, bool reporting = true)
    {
        state.runOptions.Silent = silent;
        state.runOptions.ReportEnabled = reporting;
        state.runOptions.ReportRoot = HKEY_CURRENT_USER;
        state.runOptions.ReportPath = "Software\\TolvaneTest";
        form.WorkFolder = dir.filePath("C:\\TFWU").toStdString();
        clock.setBusy([this] { return browser.isLoading(); });
        InstallPauseClock(&clock);
        view.m_keys.m_deliver = [this](const std::string& clipboard) {
            if (view.m_focus == Control::WebBrowser1)
                browser.Document().paste(QString::fromLocal8Bit(clipboard));
        };
    }
    ~Form1Rig()
    {
        InstallPauseClock(nullptr);
        browser.closeConnections(); // nothing of these page loads may reach the next test
    }

    Form1Services services(FileSystem* fileSystem = nullptr)
    {
        FileSystem& used = fileSystem ? *fileSystem : *files;
        return {state,     registry, report,   programEnd,   used,    diskSpace,
                osVersion, browser,  ipHelper, mousePointer, folder()};
    }
    // A report value, or "" when it was never written.
    std::string reported(const char* name)
    {
        const auto value = registry.QueryKeyValue(HKEY_CURRENT_USER, "Software\\TolvaneTest", name);
        return value == "No Data" ? std::string() : value;
    }
    std::string folder() const { return dir.filePath("C:\\Tools").toStdString(); }
    void deploy()
    {
        files->createFolder(form.WorkFolder);
        form.writeWorkFiles();
    }
    bool imagesOnDisk() const { return files->plainFileExists(form.workFilePath("42.bin")); }
    void gateways(const std::vector<std::string>& addresses)
    {
        std::vector<SimIpHelper::Adapter> adapters;
        for (const auto& address : addresses)
            adapters.push_back({7, "Simulated LAN", "127.0.0.1", address, true});
        ipHelper.setAdapters(adapters);
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

    QTemporaryDir dir;
    SqliteRegistryStore store{dir.filePath("registry.sqlite").toStdString()};
    Registry registry{store};
    ProcessState state;
    ResultReport report{registry, state.runOptions};
    ThrowingProgramEnd programEnd;
    std::unique_ptr<FileSystem> files = makeFileSystem();
    FakeDiskSpace diskSpace;
    FakeOsVersion osVersion;
    ModemBrowser browser;
    SimIpHelper ipHelper{{}};
    StillMousePointer mousePointer;
    RecordingForm1View view;
    Form1 form{services(), view};
    VirtualClock clock;
};

} // namespace tolvane::test
