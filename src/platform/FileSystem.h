#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <system_error>

namespace tolvane {

// The files and folders the program keeps in its work folder. Every operation acts on the last
// component of a full path, inside the folder that holds it, and refuses when that folder is a
// symbolic link (or another reparse point) or no folder at all: the work folder sits at a
// predictable place and the program runs with administrator rights, so no other user may be able
// to redirect its writes or deletes onto other files. Nothing throws; a refusal or a failure of
// the system comes back as false.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The character between a folder and a name in it.
    virtual char separator() const = 0;

    // Creates or replaces the file so that it holds exactly these bytes: one write, flushed to
    // the disk, closed (CreateFileA with CREATE_ALWAYS, WriteFile, FlushFileBuffers, CloseHandle).
    // Something other than a plain file under that name (a link, a folder) is refused and left
    // as it is. False when any step fails, including a write that stops short for lack of
    // space; whatever reached the file then stays in it.
    virtual bool writeWholeFile(const std::string& path, std::span<const std::byte> bytes) = 0;

    // True when a plain file (no link, no folder; on Windows neither hidden nor system) has this
    // path.
    virtual bool plainFileExists(const std::string& path) = 0;

    // True when a plain file has this path and holds exactly these bytes, no more, no fewer.
    virtual bool plainFileHolds(const std::string& path, std::span<const std::byte> bytes) = 0;

    // Deletes the plain file at this path. A link or a folder under that name stays.
    virtual bool deleteFile(const std::string& path) = 0;

    // True when a folder, not a link to one, has this path.
    virtual bool folderExists(const std::string& path) = 0;

    // Creates the folder. False when the name is taken already or the folder cannot be made;
    // `reason`, when given, then holds the system's error.
    virtual bool createFolder(const std::string& path, std::error_code* reason = nullptr) = 0;

    // Removes the folder if it is empty. A folder that holds anything, or a link, stays.
    virtual bool removeEmptyFolder(const std::string& path) = 0;
};

std::unique_ptr<FileSystem> makeFileSystem();

} // namespace tolvane
