#include "common/ProcessState.h"
#include "platform/FileSystem.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"
#include "registry/ResultReport.h"
#include "support/Form1Rig.h"
#include "support/ThrowingProgramEnd.h"
#include "wizard/Form1.h"
#include "wizard/Form1View.h"
#include "wizard/PublicFunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/mount.h>

using namespace tolvane;

namespace {

constexpr const char* ReportPath = "Software\\TolvaneTest";
constexpr const char* SmallFilesystemSwitch = "--deploy-into-small-filesystem";
constexpr int SkipExit = 77;

using RecordingView = test::RecordingForm1View;

// One Form1 with its services, its work folder inside a fresh temporary folder and its report
// kept in a store of its own.
struct Rig : test::Form1Rig {
    explicit Rig(const QString& workFolder = "TFWU")
    {
        state.runOptions.ReportEnabled = true;
        state.runOptions.ReportRoot = HKEY_CURRENT_USER;
        state.runOptions.ReportPath = ReportPath;
        form.WorkFolder = dir.filePath(workFolder).toStdString();
    }

    QString work(const QString& name = {}) const
    {
        return QString::fromStdString(form.WorkFolder) + (name.isEmpty() ? "" : "/" + name);
    }
    void deploy()
    {
        QVERIFY(QDir().mkpath(work()));
        form.writeWorkFiles();
    }
    std::string reported(const char* name)
    {
        return registry.QueryKeyValue(HKEY_CURRENT_USER, ReportPath, name);
    }
};

QByteArray carried(std::int32_t number)
{
    const auto bytes = resourceFileBytes(number, "CUSTOM");
    return bytes
               ? QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size()))
               : QByteArray();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

using Procedure = void (Form1::*)();

// Runs in a private mount namespace (made by unshare for this process alone): a 1 MiB tmpfs over
// `folder`, the four files deployed into it, then Firmware1. Prints what it saw.
int deployIntoSmallFilesystem(const char* folder)
{
    if (::mount("tolvane-test", folder, "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") != 0) {
        std::printf("cannot mount a tmpfs here: %s\n", std::strerror(errno));
        return SkipExit;
    }
    const auto fileSystem = makeFileSystem();
    const std::string workFolder = std::string(folder) + "/TFWU";
    fileSystem->createFolder(workFolder);
    for (const WorkFile& file : WorkFiles)
        std::printf(
            "%s=%d ", file.name,
            WriteResourceFile(file.resource, "CUSTOM", workFolder + "/" + file.name, *fileSystem));
    const QFileInfo partial(QString::fromStdString(workFolder + "/38f.bin"));
    std::printf("partial38f=%d ",
                partial.isFile() && partial.size() > 0 && partial.size() < carried(102).size());

    SqliteRegistryStore store(":memory:");
    Registry registry(store);
    ProcessState state;
    state.runOptions.Silent = true;
    ResultReport report(registry, state.runOptions);
    test::ThrowingProgramEnd programEnd;
    RecordingView view;
    test::FakeDiskSpace diskSpace;
    test::FakeOsVersion osVersion;
    ModemBrowser browser;
    SimIpHelper ipHelper({});
    test::StillMousePointer mousePointer;
    Form1 form(Form1Services{state, registry, report, programEnd, *fileSystem, diskSpace, osVersion,
                             browser, ipHelper, mousePointer, folder},
               view);
    form.WorkFolder = workFolder;
    try {
        form.Firmware1();
    } catch (ProgramEnded) {
    }
    std::printf("ended=%d chosen=%s\n", programEnd.ends(), form.ImagePath.c_str());
    return 0;
}

} // namespace

class FirmwareFilesTest : public QObject {
    Q_OBJECT

private slots:
    void resourceFileLength_followsLengthRule_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<qsizetype>("written"); // -1: nothing may be written
        QTest::newRow("logo whole") << 101 << qsizetype(3430) << qsizetype(3430);
        QTest::newRow("logo empty") << 101 << qsizetype(0) << qsizetype(0);
        QTest::newRow("image less two") << 102 << qsizetype(1184780) << qsizetype(1184778);
        QTest::newRow("other number less two") << 105 << qsizetype(10) << qsizetype(8);
        QTest::newRow("image of two bytes") << 103 << qsizetype(2) << qsizetype(0);
        QTest::newRow("image of one byte") << 104 << qsizetype(1) << qsizetype(-1);
        QTest::newRow("empty image") << 102 << qsizetype(0) << qsizetype(-1);
    }
    void resourceFileLength_followsLengthRule()
    {
        QFETCH(int, number);
        QFETCH(qsizetype, size);
        QFETCH(qsizetype, written);
        const auto length = resourceFileLength(number, std::size_t(size));
        QCOMPARE(length ? qsizetype(*length) : qsizetype(-1), written);
    }

    void WriteResourceFile_writesCarriedBytes_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<QByteArray>("existing");
        QTest::newRow("logo, all of it") << 101 << "logo.bmp" << qsizetype(3430) << QByteArray();
        QTest::newRow("38f, two bytes less")
            << 102 << "38f.bin" << qsizetype(1184778) << QByteArray();
        QTest::newRow("42, two bytes less")
            << 103 << "42.bin" << qsizetype(1334282) << QByteArray();
        QTest::newRow("42Special, two bytes less")
            << 104 << "42Special.bin" << qsizetype(1334282) << QByteArray();
        QTest::newRow("longer file replaced")
            << 101 << "logo.bmp" << qsizetype(3430) << QByteArray(2'000'000, 'x');
        QTest::newRow("shorter file replaced")
            << 103 << "42.bin" << qsizetype(1334282) << QByteArray(100, 'x');
    }
    void WriteResourceFile_writesCarriedBytes()
    {
        QFETCH(int, number);
        QFETCH(QString, name);
        QFETCH(qsizetype, size);
        QFETCH(QByteArray, existing);
        Rig rig;
        QVERIFY(QDir().mkpath(rig.work()));
        if (!existing.isEmpty())
            QVERIFY(writeFile(rig.work(name), existing));

        QVERIFY(WriteResourceFile(number, "CUSTOM", rig.work(name).toStdString(), *rig.fileSystem));
        const QByteArray written = contents(rig.work(name));
        QCOMPARE(written.size(), size);
        QVERIFY(written == carried(number));
    }

    void WriteResourceFile_refusesAndLeavesOthersAlone_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("setup");
        QTest::newRow("resource not carried") << 105 << "CUSTOM"
                                              << "";
        QTest::newRow("other resource type") << 101 << "BITMAP"
                                             << "";
        QTest::newRow("no work folder") << 101 << "CUSTOM"
                                        << "no folder";
        QTest::newRow("work folder is a file") << 101 << "CUSTOM"
                                               << "folder is file";
        QTest::newRow("work folder is a link") << 102 << "CUSTOM"
                                               << "folder is link";
        QTest::newRow("file name is a link") << 102 << "CUSTOM"
                                             << "file is link";
        QTest::newRow("file name is a folder") << 102 << "CUSTOM"
                                               << "file is folder";
    }
    void WriteResourceFile_refusesAndLeavesOthersAlone()
    {
        QFETCH(int, number);
        QFETCH(QString, type);
        QFETCH(QString, setup);
        Rig rig;
        const QString elsewhere = rig.dir.filePath("elsewhere");
        const QString victim = elsewhere + "/victim";
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(writeFile(victim, "keep me"));
        if (setup == "folder is file")
            QVERIFY(writeFile(rig.work(), "a file"));
        else if (setup == "folder is link")
            QVERIFY(QFile::link(elsewhere, rig.work()));
        else if (setup != "no folder")
            QVERIFY(QDir().mkpath(rig.work()));
        const QString target = rig.work(setup == "folder is link" ? "victim" : "target");
        if (setup == "file is link")
            QVERIFY(QFile::link(victim, target));
        if (setup == "file is folder")
            QVERIFY(QDir().mkpath(target));

        QVERIFY(
            !WriteResourceFile(number, type.toStdString(), target.toStdString(), *rig.fileSystem));
        QCOMPARE(contents(victim), QByteArray("keep me"));
        QCOMPARE(QDir(elsewhere).entryList(QDir::Files), QStringList{"victim"});
        if (setup.isEmpty())
            QVERIFY(!QFileInfo::exists(target));
        if (setup == "file is link")
            QVERIFY(QFileInfo(target).isSymLink());
    }

    void WriteResourceFile_fullFilesystem_failsAndImageNeverChosen()
    {
        QTemporaryDir mountPoint;
        QProcess child;
        child.start("unshare", {"--mount", "--propagation", "private", "--",
                                QCoreApplication::applicationFilePath(), SmallFilesystemSwitch,
                                mountPoint.path()});
        if (!child.waitForStarted())
            QSKIP("unshare is not available to make a private mount namespace");
        QVERIFY(child.waitForFinished(60'000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        const QString output = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
        const QString errors = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
        if (child.exitCode() == SkipExit)
            QSKIP(qPrintable("no small filesystem in a private mount namespace: " + output));
        if (child.exitCode() != 0 && errors.startsWith("unshare:"))
            QSKIP(qPrintable("no private mount namespace here: " + errors));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(output,
                 "logo.bmp=1 38f.bin=0 42.bin=0 42Special.bin=0 partial38f=1 ended=1 chosen=");
        QVERIFY(QDir(mountPoint.path())
                    .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    void Firmware_choosesDeployedImage_data()
    {
        QTest::addColumn<Procedure>("procedure");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::newRow("Firmware1") << &Form1::Firmware1 << "38f.bin"
                                   << "0.38f";
        QTest::newRow("Firmware2") << &Form1::Firmware2 << "42Special.bin"
                                   << "0.42";
        QTest::newRow("Firmware3") << &Form1::Firmware3 << "42.bin"
                                   << "0.42";
    }
    void Firmware_choosesDeployedImage()
    {
        QFETCH(Procedure, procedure);
        QFETCH(QString, name);
        QFETCH(QString, version);
        Rig rig;
        rig.deploy();
        QVERIFY(!rig.ends([&] { (rig.form.*procedure)(); }));
        QCOMPARE(QString::fromStdString(rig.form.ImagePath), rig.work(name));
        QCOMPARE(QString::fromStdString(rig.form.ImageVersion), version);
        QVERIFY(rig.view.shown().empty());
    }

    void Firmware_imageMissingOrAltered_endsProgram_data()
    {
        QTest::addColumn<Procedure>("procedure");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("reporting");
        QTest::newRow("38f missing") << &Form1::Firmware1 << "38f.bin"
                                     << "delete" << false << true;
        QTest::newRow("42Special missing, silent") << &Form1::Firmware2 << "42Special.bin"
                                                   << "delete" << true << true;
        QTest::newRow("42 missing, no report") << &Form1::Firmware3 << "42.bin"
                                               << "delete" << false << false;
        QTest::newRow("38f cut short") << &Form1::Firmware1 << "38f.bin"
                                       << "truncate" << true << true;
        QTest::newRow("42 carries the special trailer") << &Form1::Firmware3 << "42.bin"
                                                        << "swap" << false << true;
        QTest::newRow("38f is a link to an intact copy") << &Form1::Firmware1 << "38f.bin"
                                                         << "link" << false << true;
    }
    void Firmware_imageMissingOrAltered_endsProgram()
    {
        QFETCH(Procedure, procedure);
        QFETCH(QString, name);
        QFETCH(QString, damage);
        QFETCH(bool, silent);
        QFETCH(bool, reporting);
        Rig rig;
        rig.state.runOptions.Silent = silent;
        rig.state.runOptions.ReportEnabled = reporting;
        rig.deploy();
        const QString path = rig.work(name);
        const QByteArray bytes = contents(path);
        if (damage == "truncate")
            QVERIFY(writeFile(path, bytes.chopped(1)));
        else if (damage == "swap")
            QVERIFY(writeFile(path, carried(104)));
        else if (damage == "link")
            QVERIFY(QFile::rename(path, rig.dir.filePath("copy")) &&
                    QFile::link(rig.dir.filePath("copy"), path));
        else
            QVERIFY(QFile::remove(path));

        QVERIFY(rig.ends([&] { (rig.form.*procedure)(); }));
        QVERIFY(rig.form.ImagePath.empty());
        QVERIFY(rig.form.ImageVersion.empty());
        QCOMPARE(rig.view.m_unloads, 1);
        QCOMPARE(rig.view.shown().size(), silent ? 0u : 1u);
        if (!silent) {
            QCOMPARE(rig.view.shown()[0].text, "Can not Find the Firmware!");
            QCOMPARE(rig.view.shown()[0].title, "Tolvane");
            QVERIFY(rig.view.shown()[0].icon == MessageIcon::Information);
        }
        QCOMPARE(rig.reported("Firmware_Status"), reporting ? "Fail" : "");
        QCOMPARE(rig.reported("Error_Msg"), reporting ? "Can not Find the Firmware!" : "");
        // The other files stay where they are on this path.
        QVERIFY(QFileInfo(rig.work("logo.bmp")).isFile());
    }

    void ExitOrCancel_removesWorkFiles_data()
    {
        QTest::addColumn<Procedure>("procedure");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("remaining"); // the work folder's entries afterwards
        QTest::addColumn<bool>("folderRemains");
        QTest::newRow("Exit after full deployment")
            << &Form1::Command2_Click << "" << QStringList() << false;
        QTest::newRow("Cancel after full deployment")
            << &Form1::Command4_Click << "" << QStringList() << false;
        QTest::newRow("Exit with a foreign file")
            << &Form1::Command2_Click << "foreign" << QStringList{"notes.txt"} << true;
        QTest::newRow("Exit with two images already gone")
            << &Form1::Command2_Click << "partial" << QStringList() << false;
        QTest::newRow("Exit with a link under an image's name")
            << &Form1::Command2_Click << "link" << QStringList{"42.bin"} << true;
    }
    void ExitOrCancel_removesWorkFiles()
    {
        QFETCH(Procedure, procedure);
        QFETCH(QString, setup);
        QFETCH(QStringList, remaining);
        QFETCH(bool, folderRemains);
        Rig rig;
        rig.deploy();
        const QString outside = rig.dir.filePath("outside.bin");
        QVERIFY(writeFile(outside, "keep me"));
        if (setup == "foreign")
            QVERIFY(writeFile(rig.work("notes.txt"), "mine"));
        if (setup == "partial")
            QVERIFY(QFile::remove(rig.work("38f.bin")) && QFile::remove(rig.work("logo.bmp")));
        if (setup == "link")
            QVERIFY(QFile::remove(rig.work("42.bin")) && QFile::link(outside, rig.work("42.bin")));

        QVERIFY(rig.ends([&] { (rig.form.*procedure)(); }));
        QCOMPARE(rig.programEnd.ends(), 1);
        QCOMPARE(QFileInfo(rig.work()).isDir(), folderRemains);
        if (folderRemains)
            QCOMPARE(
                QDir(rig.work()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                remaining);
        QCOMPARE(contents(outside), QByteArray("keep me"));
        QVERIFY(rig.view.shown().empty());
    }

    void DeleteFirmwareFiles_workFolderIsLink_leavesTargetAlone()
    {
        Rig rig;
        const QString real = rig.dir.filePath("real");
        rig.form.WorkFolder = real.toStdString();
        rig.deploy();
        const QString link = rig.dir.filePath("TFWU");
        QVERIFY(QFile::link(real, link));
        rig.form.WorkFolder = link.toStdString();

        rig.form.DeleteFirmwareFiles();
        QCOMPARE(QDir(real).entryList(QDir::Files).size(), 4);
        QVERIFY(QFileInfo(link).isSymLink());
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], SmallFilesystemSwitch) == 0)
        return deployIntoSmallFilesystem(argv[2]);
    QCoreApplication application(argc, argv);
    FirmwareFilesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FirmwareFilesTest.moc"
