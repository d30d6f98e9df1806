#include "common/EventHandler.h"
#include "common/EventLoopClock.h"
#include "common/Pause.h"
#include "common/ProcessState.h"
#include "modem/ModemBrowser.h"
#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"
#include "platform/InstanceCheck.h"
#include "platform/IpHelper.h"
#include "platform/MousePointer.h"
#include "platform/OsVersion.h"
#include "platform/ProgramEnd.h"
#include "platform/ProgramInfo.h"
#include "platform/RegistryStore.h"
#include "registry/Registry.h"
#include "registry/ResultReport.h"
#include "startup/Module1.h"
#include "ui/Form1Window.h"
#include "wizard/Form1.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// The only way to say that no window can be shown: a message box needs the display it lacks.
constexpr const char* NoDisplayMessage =
    "tolvane: there is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
    "set). Start it in a desktop session, or with -s to let the upgrade run by itself.\n";

// Without a display (an installer's silent run on a server, CI) Qt would abort; the program
// then runs on the offscreen platform, where a hidden window is all a silent run needs. True when
// it had to. Windows has no such variables: its desktop is always there.
bool chooseOffscreenWithoutDisplay()
{
#ifdef Q_OS_WIN
    return false;
#else
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
#endif
}

void applyTimeScale()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("TOLVANE_TIME_SCALE").toDouble(&ok);
    if (ok)
        tolvane::SetPauseScale(scale);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tolvane;

    // The words belong to the program alone: Qt is given none of them to interpret.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    int qtArgc = 1;
    const bool offscreen = chooseOffscreenWithoutDisplay();
    QApplication application(qtArgc, argv);

    EventLoopClock clock;
    InstallPauseClock(&clock);
    applyTimeScale();

    const std::unique_ptr<RegistryStore> store = makeRegistryStore();
    Registry registry(*store);
    const std::unique_ptr<InstanceCheck> instance = makeInstanceCheck();
    const std::unique_ptr<ProgramEnd> programEnd = makeProgramEnd();
    const std::unique_ptr<FileSystem> fileSystem = makeFileSystem();
    const std::unique_ptr<DiskSpace> diskSpace = makeDiskSpace();
    const std::unique_ptr<OsVersion> osVersion = makeOsVersion();
    const std::unique_ptr<IpHelper> ipHelper = makeIpHelper();
    const std::unique_ptr<MousePointer> mousePointer = makeMousePointer();
    ProcessState state;
    ResultReport report(registry, state.runOptions);
    ModemBrowser browser;

    std::unique_ptr<Form1Window> window;
    std::unique_ptr<Form1> form1;
    bool cannotShow = false;
    const bool shown = Main(commandLine(arguments), state, registry, *instance, [&] {
        // An invisible window would wait for a Start press that can never come.
        cannotShow = offscreen && !state.runOptions.Silent;
        if (cannotShow)
            return;
        window = std::make_unique<Form1Window>(browser);
        form1 = std::make_unique<Form1>(Form1Services{state, registry, report, *programEnd,
                                                      *fileSystem, *diskSpace, *osVersion, browser,
                                                      *ipHelper, *mousePointer, programFolder()},
                                        *window);
        window->attach(*form1);
        form1->Show();
        QTimer::singleShot(0, [&] { RunEventHandler([&] { form1->Form_Activate(); }); });
    });
    if (cannotShow) {
        std::fputs(NoDisplayMessage, stderr);
        return EXIT_FAILURE;
    }
    return shown ? application.exec() : EXIT_SUCCESS;
}
