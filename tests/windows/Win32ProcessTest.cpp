// The earlier-instance check, the end of the program and what the program learns about its own
// start, each seen from another process: the test starts copies of itself, told by an
// environment variable which part to play.

#include "WinProcess.h"
#include "WinTest.h"
#include "platform/InstanceCheck.h"
#include "platform/ProgramEnd.h"
#include "platform/ProgramInfo.h"

#include <cstdio>
#include <cstdlib>
#include <windows.h>

using namespace tolvane;
using wintest::ChildProcess;
using wintest::TempFolder;

namespace {

constexpr const char* ChildRole = "TOLVANE_WINTEST_CHILD";

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// Starts a copy of this program in the given role.
bool startChild(ChildProcess& child, const char* role, const std::string& commandLine)
{
    SetEnvironmentVariableA(ChildRole, role);
    const bool started = child.start(commandLine);
    SetEnvironmentVariableA(ChildRole, nullptr);
    return started;
}

int playChild(const std::string& role)
{
    if (role == "hold-instance") {
        const auto check = makeInstanceCheck();
        std::printf("earlier %d\n", check->earlierInstanceRunning() ? 1 : 0);
        std::fflush(stdout);
        Sleep(60000);
        return 0;
    }
    if (role == "end-now") {
        std::printf("before"); // still in the buffer of a pipe when the end comes
        makeProgramEnd()->endNow();
    }
    if (role == "program-info") {
        std::printf("[%s]\n%s\n", commandLineText({"ignored"}).c_str(), programFolder().c_str());
        return 0;
    }
    return 3;
}

void instanceCheck_seesRunningInstancesOnly()
{
    auto first = makeInstanceCheck();
    CHECK(!first->earlierInstanceRunning());

    ChildProcess child;
    if (!CHECK(startChild(child, "hold-instance", quoted(wintest::ownProgramPath()))))
        return;
    CHECK_EQ(child.readLine(), "earlier 1");

    first.reset();
    CHECK(makeInstanceCheck()->earlierInstanceRunning()); // the child still runs

    child.kill();
    CHECK(!makeInstanceCheck()->earlierInstanceRunning()); // killed, it no longer counts
}

void programEnd_endsTheProcessAtOnceWithItsOutputWritten()
{
    ChildProcess child;
    if (!CHECK(startChild(child, "end-now", quoted(wintest::ownProgramPath()))))
        return;
    CHECK_EQ(child.readAll(), "before");
    CHECK_EQ(child.wait(), 0u);
}

void programInfo_givesTheRawCommandLineAndTheProgramsFolder()
{
    const TempFolder temp;
    const std::string spaced = temp.file("Firmware Upgrade");
    const std::string plain = temp.file("Upgrade");
    CreateDirectoryA(spaced.c_str(), nullptr);
    CreateDirectoryA(plain.c_str(), nullptr);
    const std::string spacedProgram = spaced + "\\tolvane.exe";
    const std::string plainProgram = plain + "\\tolvane.exe";
    CHECK(wintest::copyFile(wintest::ownProgramPath(), spacedProgram));
    CHECK(wintest::copyFile(wintest::ownProgramPath(), plainProgram));

    struct {
        const char* row;
        std::string commandLine;
        std::string text;
        std::string folder;
    } const rows[] = {
        {"quoted name with a blank", quoted(spacedProgram) + " -s -k HKEY_CURRENT_USER\\Software",
         "-s -k HKEY_CURRENT_USER\\Software", spaced},
        {"quotation marks after the name are kept", quoted(spacedProgram) + " -p \"my pass\"",
         "-p \"my pass\"", spaced},
        {"plain name, then a tab", plainProgram + "\t-p x", "-p x", plain},
        {"runs of separators inside are kept", quoted(plainProgram) + "  -s\t\t-k  X ",
         "-s\t\t-k  X ", plain},
        {"nothing after the name", quoted(plainProgram), "", plain},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.row);
        ChildProcess child;
        if (!CHECK(startChild(child, "program-info", row.commandLine)))
            continue;
        CHECK_EQ(child.readLine(), "[" + row.text + "]");
        CHECK_EQ(child.readLine(), row.folder);
        CHECK_EQ(child.wait(), 0u);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (const char* role = std::getenv(ChildRole))
        return playChild(role);
    return wintest::runTests(
        "win32_process",
        {
            {"instanceCheck_seesRunningInstancesOnly", instanceCheck_seesRunningInstancesOnly},
            {"programEnd_endsTheProcessAtOnceWithItsOutputWritten",
             programEnd_endsTheProcessAtOnceWithItsOutputWritten},
            {"programInfo_givesTheRawCommandLineAndTheProgramsFolder",
             programInfo_givesTheRawCommandLineAndTheProgramsFolder},
        },
        argc, argv);
}
