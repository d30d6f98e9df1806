#include "WinProcess.h"

#include <windows.h>

namespace tolvane::wintest {

namespace {

void removeTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

} // namespace

std::string ownProgramPath()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

TempFolder::TempFolder()
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    for (unsigned attempt = 0;; ++attempt) {
        m_path = std::string(base) + "tolvane-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(attempt);
        if (CreateDirectoryA(m_path.c_str(), nullptr))
            return;
    }
}

TempFolder::~TempFolder()
{
    removeTree(m_path);
}

bool copyFile(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

ChildProcess::~ChildProcess()
{
    if (m_process && !m_ended)
        kill();
    if (m_process)
        CloseHandle(m_process);
    if (m_output)
        CloseHandle(m_output);
}

bool ChildProcess::start(const std::string& commandLine)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    std::string line = commandLine; // CreateProcessA may write into it
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_output = readEnd;
    return true;
}

std::string ChildProcess::readLine()
{
    for (;;) {
        const auto end = m_pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        char buffer[512];
        DWORD got = 0;
        if (!m_output || !ReadFile(m_output, buffer, sizeof buffer, &got, nullptr) || got == 0) {
            std::string rest;
            rest.swap(m_pending);
            return rest;
        }
        m_pending.append(buffer, got);
    }
}

std::string ChildProcess::readAll()
{
    std::string all;
    all.swap(m_pending);
    char buffer[4096];
    DWORD got = 0;
    while (m_output && ReadFile(m_output, buffer, sizeof buffer, &got, nullptr) && got > 0)
        all.append(buffer, got);
    return all;
}

void ChildProcess::kill()
{
    if (m_process)
        TerminateProcess(m_process, 99);
    wait();
}

std::uint32_t ChildProcess::wait()
{
    if (!m_process)
        return 0xFFFFFFFF;
    WaitForSingleObject(m_process, INFINITE);
    m_ended = true;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return code;
}

ChildResult runChild(const std::string& commandLine)
{
    ChildResult result;
    ChildProcess child;
    result.started = child.start(commandLine);
    if (!result.started)
        return result;
    result.output = child.readAll();
    result.exitCode = child.wait();
    return result;
}

} // namespace tolvane::wintest
