// What only the SQLite store has to show: a new store's contents, several processes on one file,
// and a damaged file that is used as far as it can be and never replaced.

#include "RegTool.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"
#include "registry/ResultReport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <linux/capability.h>
#include <sqlite3.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace tolvane;

namespace {

const std::string Settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string Report = "Software\\Acme\\Setup";

// Root reads and writes a file whatever its mode. While this lives, the calling thread gives
// that up, so that a file's mode means for the test what it means for a user.
class FileModesApply {
public:
    FileModesApply()
    {
        __user_cap_data_struct reduced[2];
        if (geteuid() != 0 || syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        std::copy(m_saved, m_saved + 2, reduced);
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~FileModesApply()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class SqliteStoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }

private slots:
    void newStore_holdsAFreshProfileOnce()
    {
        SqliteRegistryStore store(path("fresh.sqlite"));
        Registry registry(store);
        QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"), "0");
        QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Settings + "\\Zones\\3", "1601"), "0");
        const OpenedKey key(store, HKEY_CURRENT_USER, Settings, KEY_ACCESS);
        QCOMPARE(store.deleteValue(key.key(), "ProxyEnable"), ERROR_SUCCESS);
        SqliteRegistryStore again(path("fresh.sqlite"));
        QCOMPARE(Registry(again).QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"),
                 "No Data");
    }

    void newStore_madeByTwoAtOnce_servesBoth()
    {
        // A writer holds the new file while both look for the tables and find none.
        sqlite3* holder = nullptr;
        sqlite3_open(path("race.sqlite").c_str(), &holder);
        sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        std::unique_ptr<SqliteRegistryStore> stores[2];
        std::thread makers[2];
        for (int i = 0; i < 2; ++i)
            makers[i] = std::thread(
                [&, i] { stores[i] = std::make_unique<SqliteRegistryStore>(path("race.sqlite")); });
        QThread::msleep(500);
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        for (std::thread& maker : makers)
            maker.join();
        for (const auto& store : stores) {
            Registry registry(*store);
            registry.CreateKey(HKEY_CURRENT_USER, Report);
            registry.SetKeyValue(HKEY_CURRENT_USER, Report, "Error_Msg", "x", ValueKindString);
            QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"), "0");
        }
    }

    void store_sharedWithAReader_showsEveryWrite()
    {
        SqliteRegistryStore writer(path("shared.sqlite"));
        SqliteRegistryStore reader(path("shared.sqlite"));
        Registry registry(writer);
        for (const std::string status : {"Upgrading", "Fail", "Done"}) {
            registry.CreateKey(HKEY_CURRENT_USER, Report);
            registry.SetKeyValue(HKEY_CURRENT_USER, Report, "Firmware_Status", status,
                                 ValueKindString);
            QCOMPARE(Registry(reader).QueryKeyValue(HKEY_CURRENT_USER, Report, "Firmware_Status"),
                     status);
        }
    }

    void damagedStore_readsWhatItCanWritesNothingAndKeepsTheFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("readable");
        QTest::newRow("garbage bytes") << "garbage" << false;
        QTest::newRow("read-only file") << "read-only" << true;
        QTest::newRow("unreadable file") << "unreadable" << false;
        QTest::newRow("a folder") << "folder" << false;
    }
    void damagedStore_readsWhatItCanWritesNothingAndKeepsTheFile()
    {
        QFETCH(QString, fault);
        QFETCH(bool, readable);
        const QString file = m_dir.filePath(fault);
        if (fault == "folder") {
            QVERIFY(QDir(m_dir.path()).mkdir(fault));
        } else if (fault == "garbage") {
            QFile garbage(file);
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            garbage.write(QByteArray(8192, '\x5A'));
        } else {
            SqliteRegistryStore store(file.toStdString());
            Registry(store).CreateKey(HKEY_CURRENT_USER, Report);
            Registry(store).SetKeyValue(HKEY_CURRENT_USER, Report, "Firmware_Status", "Done",
                                        ValueKindString);
        }
        const QByteArray before = contents(file);
        chmod(QFile::encodeName(file).constData(), fault == "unreadable" ? 0 : 0555);
        {
            const FileModesApply modes;
            SqliteRegistryStore store(file.toStdString());
            Registry registry(store);
            RunOptions options;
            options.ReportEnabled = true;
            options.ReportRoot = HKEY_CURRENT_USER;
            options.ReportPath = Report;
            ResultReport(registry, options).reportFailure("Login Password Incorrect..");
            registry.DeleteKey(HKEY_CURRENT_USER, Report);
            QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Report, "Firmware_Status"),
                     readable ? "Done" : "");
            QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Report, "Error_Msg"),
                     readable ? "No Data" : "");

            std::ostringstream out;
            std::ostringstream err;
            QCOMPARE(runRegTool(store, {"add", "HKCU\\Software\\New", "/f"}, out, err), 1);
            QCOMPARE(err.str(), "ERROR: Access is denied.\n");
        }
        chmod(QFile::encodeName(file).constData(), 0755);
        QCOMPARE(contents(file), before);
    }
};

QTEST_GUILESS_MAIN(SqliteStoreTest)
#include "SqliteStoreTest.moc"
