#include "support/ProgramRun.h"

#include <QDir>
#include <QtTest>

#include <unistd.h>

using namespace tolvane::test;

namespace {

const QStringList Unshare = QString("unshare --mount --propagation private").split(' ');

// Why no mount namespace of its own can be made here, with its mounts kept from the rest of the
// system; empty when one can. It needs root, unshare from util-linux, and a root whose mount
// propagation can be changed (in a chroot, / is no mount point and it cannot).
QString privateMountsUnavailable()
{
    if (geteuid() != 0)
        return "mounting needs root";
    QProcess unshare;
    unshare.start(Unshare.first(), Unshare.mid(1) + QStringList{"true"});
    if (!unshare.waitForStarted())
        return "unshare is not installed (util-linux)";
    if (endsWell(unshare, 10000))
        return {};
    return "a private mount namespace cannot be made here: " +
           QString::fromLocal8Bit(unshare.readAllStandardError()).trimmed();
}

// Runs "$@" after `mount` has run on the folder $1, in a mount namespace of its own.
QStringList privateMount(const QString& mount, const QString& folder)
{
    return Unshare + QStringList{"sh", "-c", mount + R"( && shift && exec "$@")", "sh", folder};
}

} // namespace

// The built program, run silently with a report key as an installer runs it, against the
// stand-in modem on loopback with its real write and restart times (scaled); the report is read
// back from the store and the work folder looked for on disk. Under broken surroundings too: a
// misbehaving modem, a registry store it cannot use (which must neither stop the upgrade nor be
// replaced), a full work folder; each ends in an honest report, with no crash and no hang.
class UpgradeProcessTest : public QObject {
    Q_OBJECT

private slots:
    // A mini kernel: the first image is saved and the modem restarted, then the second cycle. A
    // store the program cannot use must neither stop the upgrade nor be replaced.
    void silentUpgrade_reportsInTheStoreAndClearsTheWorkFolder_data()
    {
        QTest::addColumn<QString>("store");
        QTest::newRow("store in order") << "";
        QTest::newRow("store on a read-only filesystem") << "read-only";
        QTest::newRow("store of garbage bytes") << "garbage";
    }
    void silentUpgrade_reportsInTheStoreAndClearsTheWorkFolder()
    {
        QFETCH(QString, store);
        ProgramRun run;
        const QString folder = run.dir.filePath("store");
        run.registry = folder + "/registry.sqlite";
        QVERIFY(QDir().mkpath(folder));
        QStringList launcher;
        if (store == "read-only") {
            if (const QString why = privateMountsUnavailable(); !why.isEmpty())
                QSKIP(qPrintable("a read-only store needs a read-only mount: " + why));
            launcher =
                privateMount(R"(mount --bind "$1" "$1" && mount -o remount,bind,ro "$1")", folder);
            tolvane::SqliteRegistryStore seeded(run.registry.toStdString()); // the report key
            tolvane::Registry(seeded).CreateKey(tolvane::HKEY_CURRENT_USER, E2eReportPath);
        } else if (store == "garbage") {
            QFile file(run.registry);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(8192, '\x5a')) > 0);
        }
        const QByteArray before = fileContents(run.registry);
        QVERIFY(run.startModem({"--mode", "mini", "--version", "0.39k (Nov 15 2005)"}));
        QVERIFY(run.run({"-p", "admin"}, launcher));

        QCOMPARE(run.modem.version(), "0.42 (Mar 14 2006)");
        QCOMPARE(run.modem.uploads("accepted"), (QStringList{"0.38f STD", "0.42 STD"}));
        QVERIFY(!run.workFolderExists());
        if (!store.isEmpty()) {
            QCOMPARE(fileContents(run.registry), before);
            return;
        }
        QCOMPARE(run.reported("Firmware_Status"), "Done");
        QCOMPARE(run.reported("Old_Firmware_Version"), "0.38f");
        QCOMPARE(run.reported("New_Firmware_Version"), "0.42");
        QCOMPARE(run.reported("Operation_System"), "Failed");
        QCOMPARE(run.reported("Mac_Address"), "00:17:3F:5A:21:C4");
        QCOMPARE(run.reported("Error_Msg"), "No Data");
        // An installer may capture what a silent run prints: nothing, when nothing went wrong.
        QVERIFY2(run.errors.isEmpty(), run.errors.constData());
    }

    // Whatever a stop from outside leaves behind, the next start completes the upgrade.
    void stoppedFromOutside_nextStartCompletesTheUpgrade_data()
    {
        QTest::addColumn<bool>("duringProgressBar");
        QTest::newRow("SIGTERM while deploying") << false;
        QTest::newRow("SIGKILL during the progress bar") << true;
    }
    void stoppedFromOutside_nextStartCompletesTheUpgrade()
    {
        QFETCH(bool, duringProgressBar);
        ProgramRun run;
        QVERIFY(run.startModem({"--version", "0.39 (Oct 3 2005)"}));
        QProcess first;
        run.launch(first, ProgramRun::silentWords() + QStringList{"-p", "admin"});
        if (duringProgressBar) {
            QTRY_VERIFY_WITH_TIMEOUT(run.modem.uploads("accepted").size() == 1, 60000);
            first.kill();
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(run.workFolderExists(), 30000);
            first.terminate();
        }
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::CrashExit);
        QVERIFY(run.workFolderExists());
        if (duringProgressBar) {
            QCOMPARE(run.reported("Firmware_Status"), "Upgrading");
        } else {
            // A cut-short image must not be uploaded as it is.
            QFile leftover(run.copy.workFolder() + "/42.bin");
            QVERIFY(leftover.open(QIODevice::WriteOnly | QIODevice::Truncate));
            leftover.write(QByteArray(4096, 'x'));
        }

        QVERIFY(run.run({"-p", "admin"}));
        QCOMPARE(run.reported("Firmware_Status"), "Done");
        QCOMPARE(run.reported("Old_Firmware_Version"), duringProgressBar ? "0.38f" : "0.39");
        QCOMPARE(run.modem.version(), "0.42 (Mar 14 2006)");
        QVERIFY(run.modem.uploads("rejected").isEmpty());
        QVERIFY(!run.workFolderExists());
    }

    void faultyModem_endsWithAnHonestReport_data()
    {
        const QString failure = "Firmware Update not successful!!!. Please check all cables "
                                "connected to your wireless modem, and power on/off the modem..";
        QTest::addColumn<QStringList>("modem");
        QTest::addColumn<QString>("errorMessage");
        QTest::addColumn<QString>("newVersion");
        QTest::addColumn<bool>("imagesRemoved");
        // Every upload is cut off, so the six cycles run out with the modem where it was.
        QTest::newRow("connection dropped mid-upload")
            << QStringList{"--fault", "drop-upload"} << failure << "0.42" << true;
        // No page arrives within the probe's waits: the modem is never recognised.
        QTest::newRow("pages slower than the waits")
            << QStringList{"--fault", "delay=1500"} << failure << "No Data" << true;
        // The image is taken, but the modem is still down when it is looked for again.
        QTest::newRow("restart slower than the progress bar")
            << QStringList{"--restart-seconds", "4000"} << failure << "0.42" << true;
        QTest::newRow("every password refused")
            << QStringList{"--fault", "refuse-passwords"} << "Login Password Incorrect.."
            << "No Data" << false;
    }
    void faultyModem_endsWithAnHonestReport()
    {
        QFETCH(QStringList, modem);
        QFETCH(QString, errorMessage);
        QFETCH(QString, newVersion);
        QFETCH(bool, imagesRemoved);
        ProgramRun run;
        QVERIFY(run.startModem(modem));
        QVERIFY(run.run({"-p", "admin"}));

        QCOMPARE(run.reported("Firmware_Status"), "Fail");
        QCOMPARE(QString::fromStdString(run.reported("Error_Msg")), errorMessage);
        QCOMPARE(QString::fromStdString(run.reported("New_Firmware_Version")), newVersion);
        QCOMPARE(run.modem.version(), "0.39k (Nov 15 2005)");
        QCOMPARE(run.workFolderExists(), !imagesRemoved);
    }

    // A 2 MiB work folder: room for the free-space check, not for all four files.
    void workFolderFullDuringDeployment_reportsTheMissingImageAndUploadsNothing()
    {
        ProgramRun run;
        QVERIFY(run.startModem());
        QVERIFY(QDir().mkpath(run.copy.workFolder()));
        if (const QString why = privateMountsUnavailable(); !why.isEmpty())
            QSKIP(qPrintable("a full work folder needs a small tmpfs: " + why));
        QVERIFY(
            run.run({"-p", "admin"}, privateMount(R"(mount -t tmpfs -o size=2m tolvane-full "$1")",
                                                  run.copy.workFolder())));

        QCOMPARE(run.reported("Firmware_Status"), "Fail");
        QCOMPARE(run.reported("Error_Msg"), "Can not Find the Firmware!");
        QVERIFY(run.modem.state()["requests"].toInt() > 0);
        QVERIFY(run.modem.uploads("accepted").isEmpty() && run.modem.uploads("rejected").isEmpty());
    }
};

QTEST_GUILESS_MAIN(UpgradeProcessTest)
#include "UpgradeProcessTest.moc"
