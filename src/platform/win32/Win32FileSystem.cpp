#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <windows.h>

namespace tolvane {

namespace {

constexpr DWORD NoAttributes = INVALID_FILE_ATTRIBUTES;

// The folder part of a path, kept usable on its own: "C:\TFWU" gives "C:\", not "C:", which
// would name the current folder of drive C.
std::string folderOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos)
        return ".";
    if (separator == 0 || path[separator - 1] == ':')
        return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

bool hasUsableName(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    return !name.empty() && name != "." && name != ".." && name.find(':') == std::string::npos;
}

DWORD attributesOf(const std::string& path)
{
    return GetFileAttributesA(path.c_str());
}

bool isRealFolder(DWORD attributes)
{
    return attributes != NoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool isPlainFile(DWORD attributes)
{
    return attributes != NoAttributes &&
           !(attributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

// The folder that holds the path must be a real folder and the name a plain one (no stream
// syntax): then the path cannot lead anywhere but into that folder.
bool inRealFolder(const std::string& path)
{
    return hasUsableName(path) && isRealFolder(attributesOf(folderOf(path)));
}

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool close()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

// What the open handle turned out to be, whatever the name looked like before it was opened.
bool handleIsPlainFile(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(handle, &info) && isPlainFile(info.dwFileAttributes);
}

class Win32FileSystem final : public FileSystem {
public:
    char separator() const override { return '\\'; }

    bool writeWholeFile(const std::string& path, std::span<const std::byte> bytes) override
    {
        if (!inRealFolder(path))
            return false;
        // Replacing means a new file under the name: overwriting the old one in place would
        // also overwrite whatever file it might be a hard link to.
        const DWORD old = attributesOf(path);
        if (old != NoAttributes && (!isPlainFile(old) || !DeleteFileA(path.c_str())))
            return false;
        Handle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file.valid())
            return false;
        if (!handleIsPlainFile(file.get()))
            return false;
        // One write call; the loop only serves blocks beyond what one call can take.
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0)
                return false;
            bytes = bytes.subspan(written);
        }
        const bool flushed = FlushFileBuffers(file.get()) != 0;
        return file.close() && flushed;
    }

    bool plainFileExists(const std::string& path) override
    {
        const DWORD attributes = attributesOf(path);
        return inRealFolder(path) && isPlainFile(attributes) &&
               !(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    }

    bool plainFileHolds(const std::string& path, std::span<const std::byte> bytes) override
    {
        if (!inRealFolder(path))
            return false;
        const Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        LARGE_INTEGER size;
        if (!file.valid() || !handleIsPlainFile(file.get()) || !GetFileSizeEx(file.get(), &size) ||
            static_cast<unsigned long long>(size.QuadPart) != bytes.size())
            return false;
        static constexpr DWORD BufferSize = 65536;
        std::byte buffer[BufferSize];
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file.get(), buffer, BufferSize, &got, nullptr))
                return false;
            if (got == 0)
                return bytes.empty();
            if (got > bytes.size() || std::memcmp(buffer, bytes.data(), got) != 0)
                return false;
            bytes = bytes.subspan(got);
        }
    }

    bool deleteFile(const std::string& path) override
    {
        return inRealFolder(path) && isPlainFile(attributesOf(path)) && DeleteFileA(path.c_str());
    }

    bool folderExists(const std::string& path) override
    {
        return inRealFolder(path) && isRealFolder(attributesOf(path));
    }

    bool createFolder(const std::string& path, std::error_code* reason) override
    {
        SetLastError(ERROR_INVALID_NAME); // a path refused here makes no creating call
        if (inRealFolder(path) && CreateDirectoryA(path.c_str(), nullptr))
            return true;
        if (reason)
            *reason = std::error_code(static_cast<int>(GetLastError()), std::system_category());
        return false;
    }

    bool removeEmptyFolder(const std::string& path) override
    {
        return folderExists(path) && RemoveDirectoryA(path.c_str());
    }
};

} // namespace

std::unique_ptr<FileSystem> makeFileSystem()
{
    return std::make_unique<Win32FileSystem>();
}

} // namespace tolvane
