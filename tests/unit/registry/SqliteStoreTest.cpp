// The SQLite store's own rules: a new store made once, and a damaged file kept as it is.

#include "common/RunOptions.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>
#include <thread>

using namespace tolvane;

namespace {

const std::string Settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string Report = "Software\\Acme\\Setup";

} // namespace

class SqliteStoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }

private slots:
    void newStore_madeByTwoAtOnce_holdsAFreshProfileOnce()
    {
        // A writer holds the new file while both look for the tables and find none.
        sqlite3* holder = nullptr;
        sqlite3_open(path("new.sqlite").c_str(), &holder);
        sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        std::unique_ptr<SqliteRegistryStore> stores[2];
        std::thread makers[2];
        for (int i = 0; i < 2; ++i)
            makers[i] = std::thread(
                [&, i] { stores[i] = std::make_unique<SqliteRegistryStore>(path("new.sqlite")); });
        QThread::msleep(500);
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        for (std::thread& maker : makers)
            maker.join();
        Registry writer(*stores[0]);
        Registry reader(*stores[1]);
        QCOMPARE(reader.QueryKeyValue(HKEY_CURRENT_USER, Settings + "\\Zones\\3", "1601"), "0");
        QCOMPARE(reader.QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"), "0");
        writer.SetKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable", "1", ValueKindNumber);
        QCOMPARE(reader.QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"), "1");
        stores[0].reset();
        stores[1].reset();
        SqliteRegistryStore again(path("new.sqlite")); // an existing store is never seeded again
        QCOMPARE(Registry(again).QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"), "1");
    }

    void damagedStore_failsEveryCallAndKeepsTheFile_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("garbage bytes") << QByteArray(8192, '\x5A');
        QTest::newRow("a folder") << QByteArray();
    }
    void damagedStore_failsEveryCallAndKeepsTheFile()
    {
        QFETCH(QByteArray, garbage);
        QFile file(m_dir.filePath(QTest::currentDataTag()));
        QVERIFY(garbage.isEmpty() ? QDir(m_dir.path()).mkdir(file.fileName())
                                  : file.open(QIODevice::WriteOnly) && file.write(garbage));
        file.close();
        const QStringList files = QDir(m_dir.path()).entryList();
        SqliteRegistryStore store(file.fileName().toStdString());
        Registry registry(store);
        registry.CreateKey(HKEY_CURRENT_USER, Report);
        registry.SetKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable", "1", ValueKindNumber);
        QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"), "");
        QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Report, "x"), "");
        QVERIFY(garbage.isEmpty() || file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), garbage);
        QCOMPARE(QDir(m_dir.path()).entryList(), files);
    }
};

QTEST_GUILESS_MAIN(SqliteStoreTest)
#include "SqliteStoreTest.moc"
