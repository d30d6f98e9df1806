#include "support/ProgramRun.h"

#include <QtTest>

#include <sys/file.h>

using namespace tolvane;
using namespace tolvane::test;

// The instance rule over the real lock, and the report key deleted by a process without window.
class StartupProcessTest : public QObject {
    Q_OBJECT

    ProgramRun m_program;

    bool lockHeld() const
    {
        QFile lock(m_program.dir.filePath("tolvane.lock"));
        return lock.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) &&
               ::flock(lock.handle(), LOCK_EX | LOCK_NB) != 0;
    }

private slots:
    void instanceRuleAndReportKey_holdForWholeProcesses()
    {
        ProgramRun& program = m_program;
        QVERIFY(program.useAdapters(QString()));
        const QString key = ProgramRun::reportKey();
        {
            SqliteRegistryStore store(program.registry.toStdString());
            Registry(store).CreateKey(HKEY_CURRENT_USER, E2eReportPath);
            Registry(store).SetKeyValue(HKEY_CURRENT_USER, E2eReportPath, "Error_Msg", "old",
                                        ValueKindString);
        }
        const auto ends = [&](const QStringList& arguments) {
            QProcess process;
            program.launch(process, arguments);
            return process.waitForFinished(20000) && process.exitCode() == 0;
        };
        QProcess first;
        QProcess second;
        program.launch(first, {});
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(), 10000);
        QVERIFY(ends({"-s", "-k", key}));
        QCOMPARE(program.reported("Error_Msg"), "old"); // beside an instance: nothing touched
        program.launch(second, {});                     // without words the check is not made
        QVERIFY(!second.waitForFinished(1500));
        second.kill();
        first.kill(); // SIGKILL leaves the lock file, which blocks nobody
        QVERIFY(first.waitForFinished() && second.waitForFinished());
        QVERIFY(ends({"-k", key, "-k"}));
        QCOMPARE(program.reported("Error_Msg"), "");
    }
};

QTEST_GUILESS_MAIN(StartupProcessTest)
#include "StartupProcessTest.moc"
