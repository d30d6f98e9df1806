#include "support/ProgramRun.h"

#include <QtTest>

using namespace tolvane::test;

// The built program, run silently with a report key as an installer runs it, against the
// stand-in modem on loopback with its real write and restart times (scaled); the report is read
// back from the store and the work folder looked for on disk.
class UpgradeProcessTest : public QObject {
    Q_OBJECT

private slots:
    // A mini kernel: the first image is saved and the modem restarted, then the second cycle.
    void silentUpgrade_reportsInTheStoreAndClearsTheWorkFolder()
    {
        ProgramRun run;
        QVERIFY(run.startModem({"--mode", "mini", "--version", "0.39k (Nov 15 2005)"}));
        QVERIFY(run.run({"-p", "admin"}));

        QCOMPARE(run.modem.version(), "0.42 (Mar 14 2006)");
        QCOMPARE(run.modem.uploads("accepted"), (QStringList{"0.38f STD", "0.42 STD"}));
        QCOMPARE(run.reported("Firmware_Status"), "Done");
        QCOMPARE(run.reported("Old_Firmware_Version"), "0.38f");
        QCOMPARE(run.reported("New_Firmware_Version"), "0.42");
        QCOMPARE(run.reported("Operation_System"), "Failed");
        QCOMPARE(run.reported("Mac_Address"), "00:17:3F:5A:21:C4");
        QCOMPARE(run.reported("Error_Msg"), "No Data");
        QVERIFY(!run.workFolderExists());
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
};

QTEST_GUILESS_MAIN(UpgradeProcessTest)
#include "UpgradeProcessTest.moc"
