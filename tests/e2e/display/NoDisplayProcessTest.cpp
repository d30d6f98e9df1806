#include "support/ProgramRun.h"

#include <QtTest>

using namespace tolvane::test;

class NoDisplayProcessTest : public QObject {
    Q_OBJECT

private slots:
    void start_withoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("status"); // the report's Firmware_Status
        QTest::newRow("window run (no -s)")
            << QStringList{"-k", ProgramRun::reportKey()} << 1 << QString();
        QTest::newRow("silent run, no modem")
            << QStringList{"-s", "-k", ProgramRun::reportKey()} << 0 << "Fail";
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

QTEST_GUILESS_MAIN(NoDisplayProcessTest)
#include "NoDisplayProcessTest.moc"
