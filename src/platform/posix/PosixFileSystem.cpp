#include "platform/FileSystem.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tolvane {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now, so that the caller learns whether the close succeeded.
    bool close()
    {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// A path taken apart into the folder that holds it, opened without following a link, and the
// name inside that folder. Every later step works relative to the opened folder, so the folder
// cannot be swapped for a link between the check and the use.
struct Location {
    Descriptor folder{-1};
    std::string name;
};

std::optional<Location> locate(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    Location location{
        Descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
        std::move(name)};
    if (!location.folder.valid())
        return std::nullopt;
    return location;
}

std::optional<struct stat> statOf(const Location& at)
{
    struct stat info {};
    if (::fstatat(at.folder.get(), at.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return info;
}

bool writeAll(int fd, std::span<const std::byte> bytes)
{
    // One write call; the loop only carries on where the system took part of the block and
    // still has room (a signal), and stops at the first error, such as a full disk.
    while (!bytes.empty()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size(), SSIZE_MAX);
        const ssize_t written = ::write(fd, bytes.data(), chunk);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

class PosixFileSystem final : public FileSystem {
public:
    char separator() const override { return '/'; }

    bool writeWholeFile(const std::string& path, std::span<const std::byte> bytes) override
    {
        const auto at = locate(path);
        if (!at)
            return false;
        // Replacing means a new file under the name: truncating the old one in place would also
        // truncate whatever file it might be a hard link to.
        if (const auto old = statOf(*at)) {
            if (!S_ISREG(old->st_mode) || ::unlinkat(at->folder.get(), at->name.c_str(), 0) != 0)
                return false;
        } else if (errno != ENOENT) {
            return false;
        }
        Descriptor file(::openat(at->folder.get(), at->name.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!file.valid())
            return false;
        if (!writeAll(file.get(), bytes))
            return false;
        const bool flushed = ::fsync(file.get()) == 0;
        return file.close() && flushed;
    }

    bool plainFileExists(const std::string& path) override
    {
        const auto at = locate(path);
        const auto info = at ? statOf(*at) : std::nullopt;
        return info && S_ISREG(info->st_mode);
    }

    bool plainFileHolds(const std::string& path, std::span<const std::byte> bytes) override
    {
        const auto at = locate(path);
        if (!at)
            return false;
        // Non-blocking, so that a named pipe under the name cannot stall the program.
        const Descriptor file(::openat(at->folder.get(), at->name.c_str(),
                                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            static_cast<std::size_t>(info.st_size) != bytes.size())
            return false;
        std::array<std::byte, 65536> buffer;
        for (;;) {
            const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                return bytes.empty();
            const auto count = static_cast<std::size_t>(got);
            if (count > bytes.size() || std::memcmp(buffer.data(), bytes.data(), count) != 0)
                return false;
            bytes = bytes.subspan(count);
        }
    }

    bool deleteFile(const std::string& path) override
    {
        const auto at = locate(path);
        const auto info = at ? statOf(*at) : std::nullopt;
        return info && S_ISREG(info->st_mode) &&
               ::unlinkat(at->folder.get(), at->name.c_str(), 0) == 0;
    }

    bool folderExists(const std::string& path) override
    {
        const auto at = locate(path);
        const auto info = at ? statOf(*at) : std::nullopt;
        return info && S_ISDIR(info->st_mode);
    }

    bool createFolder(const std::string& path, std::error_code* reason) override
    {
        errno = EINVAL; // a name that locate refuses makes no system call
        const auto at = locate(path);
        if (at && ::mkdirat(at->folder.get(), at->name.c_str(), 0755) == 0)
            return true;
        if (reason)
            *reason = std::error_code(errno, std::generic_category());
        return false;
    }

    bool removeEmptyFolder(const std::string& path) override
    {
        const auto at = locate(path);
        const auto info = at ? statOf(*at) : std::nullopt;
        return info && S_ISDIR(info->st_mode) &&
               ::unlinkat(at->folder.get(), at->name.c_str(), AT_REMOVEDIR) == 0;
    }
};

} // namespace

std::unique_ptr<FileSystem> makeFileSystem()
{
    return std::make_unique<PosixFileSystem>();
}

} // namespace tolvane
