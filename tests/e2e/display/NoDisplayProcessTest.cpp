#include "support/ProgramRun.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tolvane;

namespace {

const QString NoDisplay =
    "tolvane: there is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
    "set). Start it in a desktop session, or with -s to let the upgrade run by itself.\n";

} // namespace

// The built program started where there is no display at all, as on a server or in CI.
class NoDisplayProcessTest : public QObject {
    Q_OBJECT

private slots:
    void start_withoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errors");
        QTest::addColumn<QString>("status");
        QTest::newRow("window run ends at once") << QStringList() << 1 << NoDisplay << QString();
        QTest::newRow("window run for an installer ends at once, reporting nothing")
            << QStringList{"-k", test::E2eReportKey, "-p", "admin"} << 1 << NoDisplay << QString();
        QTest::newRow("silent run upgrades as before: here it finds no modem")
            << test::ProgramRun::silentArguments({}) << 0 << QString() << "Fail";
    }
    void start_withoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, errors);
        QFETCH(QString, status);
        QTemporaryDir dir;
        const test::ProgramRun run(dir.path());
        QVERIFY(run.ok());
        QVERIFY(run.writeAdapters({QString()}));
        QProcessEnvironment environment = run.environment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(name);

        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(run.program(), arguments);
        QVERIFY2(process.waitForFinished(120000), "the program waits for a window nobody sees");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString stderrText = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(errors.isEmpty() ? !stderrText.contains("display") : stderrText == errors,
                 qPrintable(stderrText));
        QCOMPARE(QString::fromStdString(run.reported("Firmware_Status")), status);
        QVERIFY(!QFileInfo::exists(run.workFolder()));
    }
};

QTEST_GUILESS_MAIN(NoDisplayProcessTest)
#include "NoDisplayProcessTest.moc"
