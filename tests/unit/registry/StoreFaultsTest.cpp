#include "common/RunOptions.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"
#include "registry/ResultReport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace tolvane;

namespace {

const std::string Settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string ReportPath = "Software\\Acme\\Setup";

// Root reads and writes a file whatever its mode. While this lives, the calling thread gives
// that up, so that a file's mode means for the test what it means for a user; the store opens
// its file on the calling thread. Nothing to do when not running as root.
class FileModesApply {
public:
    FileModesApply()
    {
        if (geteuid() != 0)
            return;
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~FileModesApply()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }
    FileModesApply(const FileModesApply&) = delete;
    FileModesApply& operator=(const FileModesApply&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

// The same for a child process: its root gets no rights past the file modes.
void childModifier()
{
    prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
    prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
}

struct Snapshot {
    QByteArray bytes;
    mode_t mode = 0;
    QStringList folder;
    bool operator==(const Snapshot&) const = default;
};

// The file as it is, read whatever its mode (the test's own process is root, or the owner).
Snapshot snapshot(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    stat(name.constData(), &status);
    chmod(name.constData(), status.st_mode | S_IRUSR);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    Snapshot taken{file.readAll(), status.st_mode, QFileInfo(path).dir().entryList(QDir::Files)};
    file.close();
    chmod(name.constData(), status.st_mode);
    return taken;
}

} // namespace

class StoreFaultsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString storePath() const { return m_dir.filePath("registry.sqlite"); }

    // A store holding a report of an earlier run, then damaged as `fault` says.
    void prepareStore(const QString& fault)
    {
        QFile::remove(storePath());
        if (fault == "garbage") {
            QFile file(storePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, '\x5A'));
            return;
        }
        {
            SqliteRegistryStore store(storePath().toStdString());
            Registry(store).CreateKey(HKEY_CURRENT_USER, ReportPath);
            Registry(store).SetKeyValue(HKEY_CURRENT_USER, ReportPath, "Firmware_Status", "Done",
                                        ValueKindString);
        }
        chmod(QFile::encodeName(storePath()).constData(), fault == "read-only" ? 0444 : 0);
    }

    int reg(const QStringList& arguments, QString* out, QString* err)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TOLVANE_REGISTRY", storePath());
        process.setProcessEnvironment(environment);
        process.setChildProcessModifier(childModifier);
        process.start(qEnvironmentVariable("TOLVANE_BIN") + "/tolvane-reg", arguments);
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        *out = QString::fromLocal8Bit(process.readAllStandardOutput());
        *err = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    static void addFaultRows()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("readable");
        QTest::newRow("garbage bytes") << "garbage" << false;
        QTest::newRow("read-only file") << "read-only" << true;
        QTest::newRow("unreadable file") << "unreadable" << false;
    }

private slots:
    void cleanup() { QFile::remove(storePath()); }

    void registry_damagedStore_readsWhatItCanWritesNothingAndKeepsTheFile_data() { addFaultRows(); }
    void registry_damagedStore_readsWhatItCanWritesNothingAndKeepsTheFile()
    {
        QFETCH(QString, fault);
        QFETCH(bool, readable);
        prepareStore(fault);
        const Snapshot before = snapshot(storePath());
        {
            const FileModesApply modes;
            if (fault == "unreadable" && QFile(storePath()).open(QIODevice::ReadOnly))
                QSKIP("this process reads files whatever their mode");

            SqliteRegistryStore store(storePath().toStdString());
            Registry registry(store);
            QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"),
                     readable ? "0" : "");

            RunOptions options;
            options.ReportEnabled = true;
            options.ReportRoot = HKEY_CURRENT_USER;
            options.ReportPath = ReportPath;
            ResultReport report(registry, options);
            report.reportFailure("Login Password Incorrect..");
            report.report(ReportValue::Mac_Address, "00:17:3F:5A:21:C4");
            registry.SetKeyValue(HKEY_CURRENT_USER, Settings + "\\Zones\\3", "1601", "0",
                                 ValueKindNumber);
            registry.DeleteKey(HKEY_CURRENT_USER, ReportPath);
            registry.CreateKey(HKEY_CURRENT_USER, "Software\\Other");

            QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, ReportPath, "Firmware_Status"),
                     readable ? "Done" : "");
            QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, ReportPath, "Error_Msg"),
                     readable ? "No Data" : "");
        }
        QCOMPARE(snapshot(storePath()), before);
    }

    void regTool_damagedStore_failsHonestlyAndKeepsTheFile_data() { addFaultRows(); }
    void regTool_damagedStore_failsHonestlyAndKeepsTheFile()
    {
        QFETCH(QString, fault);
        QFETCH(bool, readable);
        prepareStore(fault);
        const Snapshot before = snapshot(storePath());
        QString out;
        QString err;

        QCOMPARE(reg({"query", "HKCU\\Software\\Acme\\Setup", "/v", "Firmware_Status"}, &out, &err),
                 readable ? 0 : 1);
        if (readable)
            QVERIFY2(out.contains("Firmware_Status    REG_SZ    Done"), qPrintable(out));
        else
            QVERIFY2(err.startsWith("ERROR: "), qPrintable(err));

        const QList<QStringList> changes = {
            {"add", "HKCU\\Software\\Acme\\Setup", "/v", "Error_Msg", "/t", "REG_SZ", "/d", "x",
             "/f"},
            {"add", "HKCU\\Software\\New", "/f"},
            {"delete", "HKCU\\Software\\Acme\\Setup", "/v", "Firmware_Status", "/f"},
            {"delete", "HKCU\\Software\\Acme", "/f"},
        };
        for (const QStringList& change : changes) {
            QCOMPARE(reg(change, &out, &err), 1);
            QVERIFY2(err.startsWith("ERROR: "), qPrintable(change.join(' ') + ": " + err));
        }
        QCOMPARE(snapshot(storePath()), before);
    }
};

QTEST_GUILESS_MAIN(StoreFaultsTest)
#include "StoreFaultsTest.moc"
