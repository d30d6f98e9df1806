#include "support/ProgramRun.h"

#include <QtTest>

#include <sys/file.h>

using namespace tolvane;
using namespace tolvane::test;

// How a whole process starts: the instance rule over the real lock, the report key deleted by a
// process without window, and a start where no display exists.
class StartupProcessTest : public QObject {
    Q_OBJECT

private slots:
    void instanceRuleAndReportKey_holdForWholeProcesses()
    {
        ProgramRun program;
        const auto lockHeld = [&] {
            QFile lock(program.dir.filePath("tolvane.lock"));
            return lock.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) &&
                   ::flock(lock.handle(), LOCK_EX | LOCK_NB) != 0;
        };
        QVERIFY(program.useAdapters(QString()));
        {
            SqliteRegistryStore store(program.registry.toStdString());
            Registry(store).CreateKey(HKEY_CURRENT_USER, E2eReportPath);
            Registry(store).SetKeyValue(HKEY_CURRENT_USER, E2eReportPath, "Error_Msg", "old",
                                        ValueKindString);
        }
        const auto ends = [&](const QStringList& arguments) {
            QProcess process;
            program.launch(process, arguments);
            return endsWell(process, 20000);
        };
        QProcess first;
        QProcess second;
        program.launch(first, {});
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(), 10000);
        QVERIFY(ends(ProgramRun::silentWords()));
        QCOMPARE(program.reported("Error_Msg"), "old"); // beside an instance: nothing touched
        program.launch(second, {});                     // without words the check is not made
        QVERIFY(!second.waitForFinished(1500));
        second.kill();
        first.kill(); // SIGKILL leaves the lock file, which blocks nobody
        QVERIFY(first.waitForFinished() && second.waitForFinished());
        QVERIFY(ends({"-k", ProgramRun::reportKey(), "-k"}));
        QCOMPARE(program.reported("Error_Msg"), "");
    }

    void start_withoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("status"); // the report's Firmware_Status
        QTest::newRow("window run (no -s)")
            << QStringList{"-k", ProgramRun::reportKey()} << 1 << QString();
        QTest::newRow("silent run, no modem") << ProgramRun::silentWords() << 0 << "Fail";
    }
    void start_withoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, status);
        ProgramRun run;
        QVERIFY(run.useAdapters(QString()));
        QProcessEnvironment environment = run.environment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(name);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(run.copy.program(), arguments);
        QVERIFY2(process.waitForFinished(120000), "it waits for a window nobody sees");
        QCOMPARE(process.exitCode(), exitCode);
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(errors == "tolvane: there is no display to show the window on (neither DISPLAY "
                           "nor WAYLAND_DISPLAY is set). Start it in a desktop session, or with "
                           "-s to let the upgrade run by itself.\n",
                 exitCode != 0);
        QCOMPARE(QString::fromStdString(run.reported("Firmware_Status")), status);
        QVERIFY(!run.workFolderExists());
    }
};

QTEST_GUILESS_MAIN(StartupProcessTest)
#include "StartupProcessTest.moc"
