// The work folder's files and the free-space query over the real kernel32.

#include "WinProcess.h"
#include "WinTest.h"
#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"

#include <vector>
#include <windows.h>

using namespace tolvane;
using wintest::TempFolder;

namespace {

std::unique_ptr<FileSystem> g_files;

std::vector<std::byte> pattern(std::size_t size, unsigned seed = 1)
{
    std::vector<std::byte> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::byte>((i * 31 + seed) & 0xFF);
    return bytes;
}

long long sizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool isFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void writeWholeFile_leavesExactlyTheBytes()
{
    const TempFolder temp;
    // The sizes of the deployed files: the logo whole, the images two bytes short of their
    // resources.
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{3430},
                                   std::size_t{1184778}, std::size_t{1334282}}) {
        const wintest::Row named(std::to_string(size) + " bytes");
        const std::string path = temp.file("image.bin");
        const auto bytes = pattern(size);
        CHECK(g_files->writeWholeFile(path, bytes));
        CHECK_EQ(sizeOf(path), static_cast<long long>(size));
        CHECK(g_files->plainFileHolds(path, bytes));
    }
}

void writeWholeFile_replacesAnEarlierFileWhole()
{
    const TempFolder temp;
    const std::string path = temp.file("42.bin");
    CHECK(g_files->writeWholeFile(path, pattern(100000, 7)));
    const auto shorter = pattern(10, 3);
    CHECK(g_files->writeWholeFile(path, shorter));
    CHECK_EQ(sizeOf(path), 10LL);
    CHECK(g_files->plainFileHolds(path, shorter));
}

void writeWholeFile_refusesWhatIsNoPlainFileInARealFolder()
{
    const TempFolder temp;
    CreateDirectoryA(temp.file("folder").c_str(), nullptr);
    const auto bytes = pattern(16);
    struct {
        const char* row;
        std::string path;
    } const rows[] = {
        {"a folder under the name", temp.file("folder")},
        {"a missing folder", temp.file("missing\\logo.bmp")},
        {"a file as the folder", temp.file("plain.bin\\logo.bmp")},
        {"a stream of a file", temp.file("plain.bin:hidden")},
        {"no name", temp.path() + "\\"},
        {"the folder itself", temp.file(".")},
        {"the folder above", temp.file("..")},
    };
    CHECK(g_files->writeWholeFile(temp.file("plain.bin"), bytes));
    for (const auto& row : rows) {
        const wintest::Row named(row.row);
        CHECK(!g_files->writeWholeFile(row.path, bytes));
    }
    CHECK(isFolder(temp.file("folder")));
    CHECK(g_files->plainFileHolds(temp.file("plain.bin"), bytes));

    // A read-only file cannot be replaced, and keeps what it held.
    const std::string readOnly = temp.file("38f.bin");
    CHECK(g_files->writeWholeFile(readOnly, bytes));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    CHECK(!g_files->writeWholeFile(readOnly, pattern(4)));
    CHECK(g_files->plainFileHolds(readOnly, bytes));
}

void plainFileHolds_matchesOnlyTheSameBytes()
{
    const TempFolder temp;
    const std::string path = temp.file("logo.bmp");
    const auto bytes = pattern(70000);
    CHECK(g_files->writeWholeFile(path, bytes));
    auto changed = bytes;
    changed[65536] ^= std::byte{1}; // in the second block read
    const std::vector<std::byte> shorter(bytes.begin(), bytes.end() - 1);
    auto longer = bytes;
    longer.push_back(std::byte{0});

    CHECK(g_files->plainFileHolds(path, bytes));
    CHECK(!g_files->plainFileHolds(path, changed));
    CHECK(!g_files->plainFileHolds(path, shorter));
    CHECK(!g_files->plainFileHolds(path, longer));
    CHECK(!g_files->plainFileHolds(temp.file("missing.bmp"), bytes));
    CHECK(!g_files->plainFileHolds(temp.path(), {}));
}

void plainFileExists_seesNeitherFoldersNorHiddenOrSystemFiles()
{
    const TempFolder temp;
    for (const char* name : {"plain.bin", "hidden.bin", "system.bin"})
        CHECK(g_files->writeWholeFile(temp.file(name), pattern(8)));
    SetFileAttributesA(temp.file("hidden.bin").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(temp.file("system.bin").c_str(), FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryA(temp.file("folder.bin").c_str(), nullptr);

    CHECK(g_files->plainFileExists(temp.file("plain.bin")));
    CHECK(g_files->plainFileExists(temp.file("PLAIN.BIN")));
    CHECK(!g_files->plainFileExists(temp.file("hidden.bin")));
    CHECK(!g_files->plainFileExists(temp.file("system.bin")));
    CHECK(!g_files->plainFileExists(temp.file("folder.bin")));
    CHECK(!g_files->plainFileExists(temp.file("missing.bin")));
}

void deleteFile_removesPlainFilesOnly()
{
    const TempFolder temp;
    CHECK(g_files->writeWholeFile(temp.file("42Special.bin"), pattern(8)));
    CreateDirectoryA(temp.file("folder").c_str(), nullptr);

    CHECK(g_files->deleteFile(temp.file("42Special.bin")));
    CHECK_EQ(sizeOf(temp.file("42Special.bin")), -1LL);
    CHECK(!g_files->deleteFile(temp.file("42Special.bin")));
    CHECK(!g_files->deleteFile(temp.file("folder")));
    CHECK(isFolder(temp.file("folder")));
}

void folders_areMadeAndRemovedOnlyWhenEmpty()
{
    const TempFolder temp;
    const std::string work = temp.file("TFWU");
    CHECK(!g_files->folderExists(work));
    CHECK(g_files->createFolder(work));
    CHECK(g_files->folderExists(work));
    CHECK(!g_files->createFolder(work)); // the name is taken

    CHECK(g_files->writeWholeFile(work + "\\foreign.txt", pattern(1)));
    CHECK(!g_files->removeEmptyFolder(work));
    CHECK(g_files->folderExists(work));
    CHECK(g_files->deleteFile(work + "\\foreign.txt"));
    CHECK(g_files->removeEmptyFolder(work));
    CHECK(!g_files->folderExists(work));

    CHECK(g_files->writeWholeFile(temp.file("file"), pattern(1)));
    CHECK(!g_files->folderExists(temp.file("file")));
    CHECK(!g_files->createFolder(temp.file("file")));
    CHECK(!g_files->removeEmptyFolder(temp.file("file")));
    CHECK(g_files->plainFileExists(temp.file("file")));
}

// The work folder sits directly on a drive root: its folder is "C:\", not "C:", which would
// name the current folder of that drive.
void workFolder_onADriveRootIsUsable()
{
    const std::string work = "C:\\TFWU-test-" + std::to_string(GetCurrentProcessId());
    CHECK(g_files->createFolder(work));
    CHECK(g_files->folderExists(work));
    const auto bytes = pattern(3430);
    CHECK(g_files->writeWholeFile(work + "\\logo.bmp", bytes));
    CHECK(g_files->plainFileHolds(work + "\\logo.bmp", bytes));
    CHECK(g_files->deleteFile(work + "\\logo.bmp"));
    CHECK(g_files->removeEmptyFolder(work));
    CHECK(!isFolder(work));
}

void diskSpace_givesTheVolumesFigures()
{
    const auto disk = makeDiskSpace();
    const TempFolder temp;
    for (const std::string& folder : {std::string("C:\\"), temp.path()}) {
        const wintest::Row named(folder);
        DiskSpaceFigures figures;
        CHECK(disk->query(folder, &figures));
        CHECK(figures.total > 0);
        CHECK(figures.availableToCaller > 0);
        CHECK(figures.availableToCaller <= figures.totalFree);
        CHECK(figures.totalFree <= figures.total);
    }
}

void diskSpace_ofAMissingDriveIsZero()
{
    const auto disk = makeDiskSpace();
    // The prefix maps only C: and Z:; a folder that does not exist fails the same way.
    for (const std::string& folder : {std::string("Q:\\"), std::string("C:\\no such folder\\")}) {
        const wintest::Row named(folder);
        DiskSpaceFigures figures{1, 2, 3};
        CHECK(!disk->query(folder, &figures));
        CHECK_EQ(figures.availableToCaller, 0);
        CHECK_EQ(figures.total, 0);
        CHECK_EQ(figures.totalFree, 0);
    }
}

} // namespace

int main(int argc, char** argv)
{
    g_files = makeFileSystem();
    return wintest::runTests(
        "win32_files",
        {
            {"writeWholeFile_leavesExactlyTheBytes", writeWholeFile_leavesExactlyTheBytes},
            {"writeWholeFile_replacesAnEarlierFileWhole",
             writeWholeFile_replacesAnEarlierFileWhole},
            {"writeWholeFile_refusesWhatIsNoPlainFileInARealFolder",
             writeWholeFile_refusesWhatIsNoPlainFileInARealFolder},
            {"plainFileHolds_matchesOnlyTheSameBytes", plainFileHolds_matchesOnlyTheSameBytes},
            {"plainFileExists_seesNeitherFoldersNorHiddenOrSystemFiles",
             plainFileExists_seesNeitherFoldersNorHiddenOrSystemFiles},
            {"deleteFile_removesPlainFilesOnly", deleteFile_removesPlainFilesOnly},
            {"folders_areMadeAndRemovedOnlyWhenEmpty", folders_areMadeAndRemovedOnlyWhenEmpty},
            {"workFolder_onADriveRootIsUsable", workFolder_onADriveRootIsUsable},
            {"diskSpace_givesTheVolumesFigures", diskSpace_givesTheVolumesFigures},
            {"diskSpace_ofAMissingDriveIsZero", diskSpace_ofAMissingDriveIsZero},
        },
        argc, argv);
}
