#include "support/ProgramRun.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tolvane::test;

// Runs "$@" with a 2 MiB tmpfs over the folder $1, in a mount namespace of its own: the drive
// has room for the free-space check, the work folder not for all four files.
const QStringList SmallWorkFolder{
    "unshare",
    "--mount",
    "--propagation",
    "private",
    "sh",
    "-c",
    R"(mount -t tmpfs -o size=2m tolvane-full "$1" && shift && exec "$@")",
    "sh"};

// The program cut off by a full disk or by a signal: it says so honestly, and the next start
// puts back whatever the interrupted one left behind.
class InterruptionProcessTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProgramRun> m_run;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_run = std::make_unique<ProgramRun>(m_dir->path());
        QVERIFY(m_run->ok());
    }
    void cleanup()
    {
        m_run.reset();
        m_dir.reset();
    }

    void workFolderFullDuringDeployment_reportsTheMissingImageAndUploadsNothing()
    {
        ModemProcess modem(m_dir->filePath("modem.json"));
        const QString address = modem.start({});
        QVERIFY(!address.isEmpty());
        QVERIFY(m_run->writeAdapters({address}));
        QVERIFY(QDir().mkpath(m_run->workFolder()));
        QVERIFY(m_run->run({"-p", "admin"}, SmallWorkFolder + QStringList{m_run->workFolder()}));

        QCOMPARE(m_run->reported("Firmware_Status"), "Fail");
        QCOMPARE(m_run->reported("Error_Msg"), "Can not Find the Firmware!");
        QCOMPARE(modem.state()["requests"].toInt() > 0, true);
        QCOMPARE(modem.state()["uploads"].toObject()["rejected"].toArray().size(), 0);
        QCOMPARE(modem.acceptedUploads(), 0);
    }

    void stoppedFromOutside_nextStartCompletesTheUpgrade_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::addColumn<bool>("duringProgressBar");
        QTest::newRow("SIGTERM while deploying") << false << false;
        QTest::newRow("SIGKILL while deploying") << true << false;
        QTest::newRow("SIGTERM during the progress bar") << false << true;
        QTest::newRow("SIGKILL during the progress bar") << true << true;
    }
    void stoppedFromOutside_nextStartCompletesTheUpgrade()
    {
        QFETCH(bool, kill);
        QFETCH(bool, duringProgressBar);
        ModemProcess modem(m_dir->filePath("modem.json"));
        const QString address = modem.start({"--version", "0.39 (Oct 3 2005)"});
        QVERIFY(!address.isEmpty());
        QVERIFY(m_run->writeAdapters({address}));

        QProcess first;
        m_run->start(first, ProgramRun::silentArguments({"-p", "admin"}));
        const QString image = m_run->workFolder() + "/42.bin";
        if (duringProgressBar)
            QVERIFY(waitUntil([&] { return modem.acceptedUploads() == 1; }, 60000));
        else
            QVERIFY(waitUntil([&] { return QFileInfo::exists(m_run->workFolder()); }, 30000));
        kill ? first.kill() : first.terminate();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::CrashExit);
        if (duringProgressBar) {
            QCOMPARE(m_run->reported("Firmware_Status"), "Upgrading");
        } else {
            // Whatever the stop left of the image, the next start must not upload it as it is.
            QFile leftover(image);
            QVERIFY(leftover.open(QIODevice::WriteOnly | QIODevice::Truncate));
            leftover.write(QByteArray(4096, 'x'));
        }
        QVERIFY(QFileInfo::exists(m_run->workFolder()));

        QVERIFY(m_run->run({"-p", "admin"}));
        QCOMPARE(m_run->reported("Firmware_Status"), "Done");
        QCOMPARE(m_run->reported("Old_Firmware_Version"), duringProgressBar ? "0.38f" : "0.39");
        QCOMPARE(modem.version(), "0.42 (Mar 14 2006)");
        QCOMPARE(modem.state()["uploads"].toObject()["rejected"].toArray().size(), 0);
        QVERIFY(!QFileInfo::exists(m_run->workFolder()));
    }
};

QTEST_GUILESS_MAIN(InterruptionProcessTest)
#include "InterruptionProcessTest.moc"
