#include "support/ProgramCopy.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// Runs the built program and the registry tool as a launcher would, each run with a store and a
// lock folder of its own.
class StartupProcessTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_bin = qEnvironmentVariable("TOLVANE_BIN");
    tolvane::test::ProgramCopy m_program{m_dir.path()};

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TOLVANE_REGISTRY", m_dir.filePath("registry.sqlite"));
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }

    int run(const QString& program, const QStringList& args, QString* out = nullptr)
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program == "tolvane" ? m_program.program() : m_bin + "/" + program, args);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (out)
            *out = QString::fromUtf8(process.readAllStandardOutput());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    void start(QProcess& process, const QStringList& args)
    {
        process.setProcessEnvironment(environment());
        process.start(m_program.program(), args);
        QVERIFY(process.waitForStarted());
    }

    // True while some process holds the instance lock.
    bool lockHeld() const
    {
        const int fd = ::open(QFile::encodeName(m_dir.filePath("tolvane.lock")).constData(),
                              O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }

    static void stop(QProcess& process)
    {
        process.kill();
        process.waitForFinished();
    }

private slots:
    void initTestCase() { QVERIFY(m_program.ok()); }

    void dashKLast_deletesTheNamedKeyAndEndsWithoutWindow()
    {
        QCOMPARE(
            run("tolvane-reg", {"add", "HKCU\\Software\\X", "/v", "Error_Msg", "/d", "old", "/f"}),
            0);
        QCOMPARE(run("tolvane", {"-k", "HKEY_CURRENT_USER\\Software\\X", "-k"}), 0);
        QCOMPARE(run("tolvane-reg", {"query", "HKCU\\Software\\X"}), 1);
        QCOMPARE(run("tolvane-reg", {"query", "HKCU\\Software"}), 0);
    }

    void laterStartWithWords_endsAtOnceBesideARunningInstance()
    {
        QCOMPARE(
            run("tolvane-reg", {"add", "HKCU\\Software\\Y", "/v", "Error_Msg", "/d", "old", "/f"}),
            0);
        QProcess first;
        start(first, {});
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(), 10000);

        QCOMPARE(run("tolvane", {"-s", "-k", "HKEY_CURRENT_USER\\Software\\Y"}), 0);
        QString out;
        QCOMPARE(run("tolvane-reg", {"query", "HKCU\\Software\\Y", "/v", "Error_Msg"}, &out), 0);
        QVERIFY(out.contains("old"));

        // Without words the check is not made: a second window opens and keeps running.
        QProcess second;
        start(second, {});
        QVERIFY(!second.waitForFinished(1500));
        stop(second);
        stop(first);
    }

    void killedInstance_doesNotBlockTheNextStart()
    {
        QProcess first;
        start(first, {"-p", "x"});
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(), 10000);
        first.kill(); // SIGKILL: no chance to clean up
        QVERIFY(first.waitForFinished());
        QVERIFY(QFile::exists(m_dir.filePath("tolvane.lock"))); // left behind, and harmless

        QProcess next;
        start(next, {"-p", "x"});
        QVERIFY(!next.waitForFinished(1500));
        QVERIFY(lockHeld());
        stop(next);
        QVERIFY(QFileInfo::exists(m_program.workFolder() + "/42.bin"));
    }
};

QTEST_GUILESS_MAIN(StartupProcessTest)
#include "StartupProcessTest.moc"
