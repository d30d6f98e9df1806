// The work folder's files and the free-space query over the real kernel32, under Wine.

#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"

#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

using namespace tolvane;

namespace {

std::vector<std::byte> pattern(std::size_t size, unsigned seed = 1)
{
    std::vector<std::byte> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::byte>((i * 31 + seed) & 0xFF);
    return bytes;
}

} // namespace

class Win32FilesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp;
    const std::unique_ptr<FileSystem> m_files = makeFileSystem();

    std::string file(const char* name) const
    {
        return QDir::toNativeSeparators(m_temp.filePath(QString::fromUtf8(name))).toStdString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(CreateDirectoryA(file("folder").c_str(), nullptr));
        QVERIFY(m_files->writeWholeFile(file("plain.bin"), pattern(16)));
        QVERIFY(m_files->writeWholeFile(file("readonly.bin"), pattern(16)));
        SetFileAttributesA(file("readonly.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    }

    void writeWholeFile_refusesWhatIsNoPlainFileInARealFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("a folder under the name") << "folder";
        QTest::newRow("a missing folder") << "missing\\logo.bmp";
        QTest::newRow("a file as the folder") << "plain.bin\\logo.bmp";
        QTest::newRow("a stream of a file") << "plain.bin:hidden";
        QTest::newRow("a read-only file") << "readonly.bin";
    }
    void writeWholeFile_refusesWhatIsNoPlainFileInARealFolder()
    {
        QFETCH(QString, name);
        QVERIFY(!m_files->writeWholeFile(file(name.toUtf8().constData()), pattern(4)));
        QVERIFY(m_files->folderExists(file("folder")));
        QVERIFY(m_files->plainFileHolds(file("plain.bin"), pattern(16)));
        QVERIFY(m_files->plainFileHolds(file("readonly.bin"), pattern(16)));
    }

    void plainFiles_areSeenAndDeletedWithoutFoldersHiddenOrSystemFiles()
    {
        for (const char* name : {"shown.bin", "hidden.bin", "system.bin"})
            QVERIFY(m_files->writeWholeFile(file(name), pattern(8)));
        SetFileAttributesA(file("hidden.bin").c_str(), FILE_ATTRIBUTE_HIDDEN);
        SetFileAttributesA(file("system.bin").c_str(), FILE_ATTRIBUTE_SYSTEM);
        CreateDirectoryA(file("folder.bin").c_str(), nullptr);

        QVERIFY(m_files->plainFileExists(file("SHOWN.BIN")));
        QVERIFY(!m_files->plainFileExists(file("hidden.bin")));
        QVERIFY(!m_files->plainFileExists(file("system.bin")));
        QVERIFY(!m_files->plainFileExists(file("folder.bin")));
        QVERIFY(!m_files->deleteFile(file("folder.bin")));
        QVERIFY(m_files->deleteFile(file("shown.bin")));
        QVERIFY(!m_files->plainFileExists(file("shown.bin")));
        QVERIFY(!m_files->deleteFile(file("shown.bin")));
    }

    // On a drive root the folder of "C:\TFWU-..." is "C:\", not "C:", the drive's current folder.
    void workFolder_onADriveRootHoldsExactlyTheBytesAndIsRemovedOnlyWhenEmpty()
    {
        const std::string work = "C:\\TFWU-test-" + std::to_string(GetCurrentProcessId());
        const std::string image = work + "\\42.bin";
        QVERIFY(m_files->createFolder(work));
        QVERIFY(!m_files->createFolder(work));
        QVERIFY(m_files->writeWholeFile(image, pattern(1334282, 7)));
        QVERIFY(m_files->plainFileHolds(image, pattern(1334282, 7)));
        QVERIFY(m_files->writeWholeFile(image, pattern(10, 3))); // replaced whole
        QVERIFY(m_files->plainFileHolds(image, pattern(10, 3)));
        QVERIFY(!m_files->plainFileHolds(image, pattern(11, 3)));
        QVERIFY(!m_files->plainFileHolds(image, pattern(10, 4)));
        QVERIFY(!m_files->removeEmptyFolder(work));
        QVERIFY(m_files->deleteFile(image));
        QVERIFY(m_files->removeEmptyFolder(work));
        QVERIFY(!m_files->folderExists(work));
    }

    void diskSpace_givesTheVolumesFiguresOrZero()
    {
        const auto disk = makeDiskSpace();
        DiskSpaceFigures figures;
        QVERIFY(disk->query("C:\\", &figures));
        QVERIFY(figures.availableToCaller > 0 && figures.availableToCaller <= figures.totalFree &&
                figures.totalFree <= figures.total);
        // The prefix maps only C: and Z:.
        QVERIFY(!disk->query("Q:\\", &figures));
        QVERIFY(figures.total == 0 && figures.totalFree == 0);
    }
};

QTEST_GUILESS_MAIN(Win32FilesTest)
#include "Win32FilesTest.moc"
