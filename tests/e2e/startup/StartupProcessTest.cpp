#include "support/ProgramRun.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/file.h>

using namespace tolvane;
using namespace tolvane::test;

// The instance rule over the real lock, and the report key deleted by a process without window.
class StartupProcessTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    bool lockHeld() const
    {
        QFile lock(m_dir.filePath("tolvane.lock"));
        return lock.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) &&
               ::flock(lock.handle(), LOCK_EX | LOCK_NB) != 0;
    }

private slots:
    void instanceRuleAndReportKey_holdForWholeProcesses()
    {
        ProgramRun program(m_dir.path());
        QVERIFY(program.ok());
        {
            SqliteRegistryStore store(program.registry().toStdString());
            Registry(store).CreateKey(HKEY_CURRENT_USER, E2eReportPath);
            Registry(store).SetKeyValue(HKEY_CURRENT_USER, E2eReportPath, "Error_Msg", "old",
                                        ValueKindString);
        }
        const auto ends = [&](const QStringList& arguments) {
            QProcess process;
            program.start(process, arguments);
            return process.waitForFinished(20000) && process.exitCode() == 0;
        };
        QProcess first;
        QProcess second;
        program.start(first, {});
        QVERIFY(waitUntil([&] { return lockHeld(); }, 10000));
        QVERIFY(ends({"-s", "-k", E2eReportKey}));
        QCOMPARE(program.reported("Error_Msg"), "old"); // beside an instance: nothing touched
        program.start(second, {});                      // without words the check is not made
        QVERIFY(!second.waitForFinished(1500));
        second.kill();
        first.kill(); // SIGKILL leaves the lock file, which blocks nobody
        QVERIFY(first.waitForFinished() && second.waitForFinished());
        QVERIFY(ends({"-k", E2eReportKey, "-k"}));
        QCOMPARE(program.reported("Error_Msg"), "");
    }
};

QTEST_GUILESS_MAIN(StartupProcessTest)
#include "StartupProcessTest.moc"
