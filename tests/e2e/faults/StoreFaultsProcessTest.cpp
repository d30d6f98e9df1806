#include "support/ProgramRun.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tolvane::test;

namespace {

// Runs "$@" with the folder $1 mounted read-only, in a mount namespace of its own.
const QStringList ReadOnlyFolder{
    "unshare",
    "--mount",
    "--propagation",
    "private",
    "sh",
    "-c",
    R"(mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && shift && exec "$@")",
    "sh"};

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

// A registry store the program cannot use must not stop the upgrade, crash the program or be
// replaced by a fresh one: whoever reads the report later still finds the store as it was.
class StoreFaultsProcessTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProgramRun> m_run;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_run = std::make_unique<ProgramRun>(m_dir->path());
        QVERIFY(m_run->ok());
    }
    void cleanup()
    {
        m_run.reset();
        m_dir.reset();
    }

    void unusableStore_upgradeRunsAndStoreIsKept_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("store path is a folder") << "folder";
        QTest::newRow("store on a read-only filesystem") << "read-only";
        QTest::newRow("store of garbage bytes") << "garbage";
    }
    void unusableStore_upgradeRunsAndStoreIsKept()
    {
        QFETCH(QString, fault);
        const QString folder = m_dir->filePath("store");
        QVERIFY(QDir().mkpath(folder));
        QString store = folder + "/registry.sqlite";
        QStringList launcher;
        if (fault == "folder") {
            QVERIFY(QDir().mkpath(store));
        } else if (fault == "read-only") {
            tolvane::SqliteRegistryStore seeded(store.toStdString());
            tolvane::Registry registry(seeded);
            registry.CreateKey(tolvane::HKEY_CURRENT_USER, E2eReportPath);
            registry.SetKeyValue(tolvane::HKEY_CURRENT_USER, E2eReportPath, "Firmware_Status",
                                 "Earlier", tolvane::ValueKindString);
            launcher = ReadOnlyFolder + QStringList{folder};
        } else {
            QFile file(store);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QByteArray garbage(8192, '\0');
            QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(garbage.data()),
                                           garbage.size() / 4);
            file.write(garbage);
        }
        const QByteArray before = QFileInfo(store).isFile() ? contentsOf(store) : QByteArray();
        m_run->setRegistry(store);

        ModemProcess modem(m_dir->filePath("modem.json"));
        const QString address = modem.start({});
        QVERIFY(!address.isEmpty());
        QVERIFY(m_run->writeAdapters({address}));
        QVERIFY(m_run->run({"-p", "admin"}, launcher));

        QCOMPARE(modem.version(), "0.42 (Mar 14 2006)");
        QVERIFY(!QFileInfo::exists(m_run->workFolder()));
        if (fault == "folder")
            QVERIFY(QFileInfo(store).isDir() && QDir(store).isEmpty());
        else
            QCOMPARE(contentsOf(store), before);
        if (fault == "read-only")
            QCOMPARE(m_run->reported("Firmware_Status"), "Earlier");
    }
};

QTEST_GUILESS_MAIN(StoreFaultsProcessTest)
#include "StoreFaultsProcessTest.moc"
