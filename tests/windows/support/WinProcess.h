#pragma once

// Child processes and temporary folders for the Windows tests, in standard C++ types.

#include <cstdint>
#include <string>

namespace tolvane::wintest {

// The full path of the running program.
std::string ownProgramPath();

// A new folder under the Windows temporary folder, removed with all it holds at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

bool copyFile(const std::string& from, const std::string& to);

// A program started with a raw command line, its standard output read through a pipe. A child
// that is still running at the end is killed.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The command line is passed as it is; the first word names the program.
    bool start(const std::string& commandLine);
    // The next line of output without its line end; empty once the output has ended.
    std::string readLine();
    std::string readAll();
    void kill();
    // Waits for the end of the child and answers its exit code.
    std::uint32_t wait();

private:
    void* m_process = nullptr;
    void* m_output = nullptr;
    std::string m_pending;
    bool m_ended = false;
};

// Runs a command line to its end: exit code and everything it printed.
struct ChildResult {
    bool started = false;
    std::uint32_t exitCode = 0;
    std::string output;
};
ChildResult runChild(const std::string& commandLine);

} // namespace tolvane::wintest
