#include "registry/Registry.h"

#include "common/RunOptions.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/ResultReport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tolvane;

namespace {

const std::string Settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

void putRaw(RegistryStore& store, std::uint32_t root, const std::string& path,
            const std::string& name, std::uint32_t type, const std::string& bytes)
{
    RegistryStore::Key key = 0;
    QCOMPARE(store.createKey(root, path, KEY_ACCESS, &key), ERROR_SUCCESS);
    store.setValue(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                   static_cast<std::uint32_t>(bytes.size()));
    store.closeKey(key);
}

bool keyExists(RegistryStore& store, std::uint32_t root, const std::string& path)
{
    RegistryStore::Key key = 0;
    if (store.openKey(root, path, KEY_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    store.closeKey(key);
    return true;
}

} // namespace

class RegistryTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SqliteRegistryStore> m_store;
    std::unique_ptr<Registry> m_registry;

    std::string storePath() const { return m_dir.filePath("registry.sqlite").toStdString(); }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath("registry.sqlite"));
        m_store = std::make_unique<SqliteRegistryStore>(storePath());
        m_registry = std::make_unique<Registry>(*m_store);
    }
    void cleanup()
    {
        m_registry.reset();
        m_store.reset();
    }

    void queryKeyValue_givesTheDocumentedTexts_data()
    {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("REG_SZ without terminating zero")
            << REG_SZ << QByteArray("0.39k") << QByteArray("0.39k");
        QTest::newRow("REG_SZ with terminating zero keeps it")
            << REG_SZ << QByteArray("0.39k", 6) << QByteArray("0.39k", 6);
        QTest::newRow("empty REG_SZ") << REG_SZ << QByteArray() << QByteArray();
        QTest::newRow("REG_DWORD 1") << REG_DWORD << QByteArray("\x01\0\0\0", 4) << QByteArray("1");
        QTest::newRow("REG_DWORD read as signed")
            << REG_DWORD << QByteArray("\xFF\xFF\xFF\xFF", 4) << QByteArray("-1");
        QTest::newRow("REG_DWORD 3") << REG_DWORD << QByteArray("\x03\0\0\0", 4) << QByteArray("3");
        QTest::newRow("oversized REG_DWORD cannot be read")
            << REG_DWORD << QByteArray("\x01\0\0\0\0", 5) << QByteArray();
        QTest::newRow("any third type")
            << REG_BINARY << QByteArray("\x01\x02", 2) << QByteArray("-1");
    }
    void queryKeyValue_givesTheDocumentedTexts()
    {
        QFETCH(quint32, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        putRaw(*m_store, HKEY_CURRENT_USER, Settings, "V", type, bytes.toStdString());
        const std::string result = m_registry->QueryKeyValue(HKEY_CURRENT_USER, Settings, "V");
        QCOMPARE(QByteArray(result.data(), static_cast<int>(result.size())), expected);
    }

    void queryKeyValue_tellsMissingKeyFromMissingValue()
    {
        m_registry->CreateKey(HKEY_CURRENT_USER, "Software\\Acme");
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, "Software\\Acme", "Mac_Address"),
                 "No Data");
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, "Software\\Acme\\Setup", "x"), "");
        QCOMPARE(m_registry->QueryKeyValue(0, "Software", "x"), ""); // not a root handle
    }

    void freshStore_holdsAFreshProfilesInternetSettings()
    {
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"), "0");
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, Settings + "\\Zones\\3", "1601"),
                 "0");
        // An existing store is never seeded again: a value the user removed stays removed.
        RegistryStore::Key key = 0;
        QCOMPARE(m_store->openKey(HKEY_CURRENT_USER, Settings, KEY_ACCESS, &key), ERROR_SUCCESS);
        QCOMPARE(m_store->deleteValue(key, "ProxyEnable"), ERROR_SUCCESS);
        m_store->closeKey(key);
        SqliteRegistryStore again(storePath());
        QCOMPARE(Registry(again).QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"),
                 "No Data");
    }

    void setKeyValue_writesByKind()
    {
        m_registry->CreateKey(HKEY_CURRENT_USER, "Software\\T");
        m_registry->SetKeyValue(HKEY_CURRENT_USER, "Software\\T", "Dword", "0", ValueKindNumber);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, "Software\\T", "Text", "Done", ValueKindString);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, "Software\\T", "Bad", "No Data",
                                ValueKindNumber);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, "Software\\T", "Other", "1", 3);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, "Software\\Missing", "Text", "x",
                                ValueKindString);

        std::uint32_t type = 0;
        std::uint32_t size = 0;
        RegistryStore::Key key = 0;
        QCOMPARE(m_store->openKey(HKEY_CURRENT_USER, "Software\\T", KEY_ACCESS, &key),
                 ERROR_SUCCESS);
        QCOMPARE(m_store->queryValue(key, "Dword", &type, nullptr, &size), ERROR_SUCCESS);
        QCOMPARE(type, REG_DWORD);
        QCOMPARE(size, 4u);
        QCOMPARE(m_store->queryValue(key, "Text", &type, nullptr, &size), ERROR_SUCCESS);
        QCOMPARE(type, REG_SZ);
        QCOMPARE(size, 4u); // no terminating zero written
        QCOMPARE(m_store->queryValue(key, "Bad", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
        QCOMPARE(m_store->queryValue(key, "Other", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
        m_store->closeKey(key);
        QVERIFY(!keyExists(*m_store, HKEY_CURRENT_USER, "Software\\Missing"));
    }

    void store_namesAreCaseInsensitive()
    {
        m_registry->CreateKey(HKEY_LOCAL_MACHINE, "Software\\Acme\\Setup");
        m_registry->SetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\acme\\SETUP", "Mac_Address", "00:11",
                                ValueKindString);
        QCOMPARE(
            m_registry->QueryKeyValue(HKEY_LOCAL_MACHINE, "software\\ACME\\setup", "MAC_ADDRESS"),
            "00:11");
        std::string name;
        RegistryStore::Key key = 0;
        QCOMPARE(m_store->openKey(HKEY_LOCAL_MACHINE, "Software", KEY_ACCESS, &key), ERROR_SUCCESS);
        QCOMPARE(m_store->enumKey(key, 0, &name), ERROR_SUCCESS);
        QCOMPARE(name, "Acme"); // the spelling of the first creation is kept
        QCOMPARE(m_store->enumKey(key, 1, &name), ERROR_NO_MORE_ITEMS);
        m_store->closeKey(key);
    }

    void deleteKey_behavesLikeTheWindowsCall()
    {
        m_registry->CreateKey(HKEY_CURRENT_USER, "Software\\Parent\\Child");
        m_registry->SetKeyValue(HKEY_CURRENT_USER, "Software\\Parent", "V", "1", ValueKindString);

        m_registry->DeleteKey(HKEY_CURRENT_USER, "Software\\Parent");
        QVERIFY(keyExists(*m_store, HKEY_CURRENT_USER, "Software\\Parent\\Child"));
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, "Software\\Parent", "V"), "1");

        m_registry->DeleteKey(HKEY_CURRENT_USER, "Software\\Parent\\Child");
        m_registry->DeleteKey(HKEY_CURRENT_USER, "software\\PARENT");
        QVERIFY(!keyExists(*m_store, HKEY_CURRENT_USER, "Software\\Parent"));

        // A re-created key starts without the values of the deleted one.
        m_registry->CreateKey(HKEY_CURRENT_USER, "Software\\Parent");
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, "Software\\Parent", "V"), "No Data");
    }

    void deleteKey_neverRemovesARoot()
    {
        m_registry->CreateKey(HKEY_USERS, "Leaf");
        m_registry->DeleteKey(HKEY_USERS, "Leaf");
        m_registry->DeleteKey(HKEY_USERS, "");
        m_registry->DeleteKey(HKEY_USERS, "\\");
        QCOMPARE(m_store->deleteKey(HKEY_USERS, ""), ERROR_INVALID_PARAMETER);
        m_registry->CreateKey(HKEY_USERS, "Again");
        QVERIFY(keyExists(*m_store, HKEY_USERS, "Again"));
    }

    void saveReportValue_writesOnlyWhatItShould()
    {
        RunOptions options;
        options.ReportRoot = HKEY_CURRENT_USER;
        options.ReportPath = "Software\\Acme\\Setup";
        ResultReport report(*m_registry, options);

        report.SaveReportValue("Mac_Address", "");
        report.SaveReportValue("", "0.39k");
        QVERIFY(!keyExists(*m_store, HKEY_CURRENT_USER, options.ReportPath));

        report.SaveReportValue("Firmware_Status", "Upgrading"); // creates the key
        report.SaveReportValue("Firmware_Status", "Done");      // replaces the value
        report.SaveReportValue("Mac_Address", "00:0A");
        report.SaveReportValue("Mac_Address", ""); // leaves the earlier value
        QCOMPARE(
            m_registry->QueryKeyValue(HKEY_CURRENT_USER, options.ReportPath, "Firmware_Status"),
            "Done");
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, options.ReportPath, "Mac_Address"),
                 "00:0A");
    }

    void report_writesNothingUnlessEnabled()
    {
        RunOptions options;
        ResultReport report(*m_registry, options);
        report.reportFailure("Login Password Incorrect..");
        QVERIFY(!keyExists(*m_store, HKEY_LOCAL_MACHINE, "Software"));

        options.ReportEnabled = true;
        options.ReportPath = "Software\\Tool";
        report.reportFailure("Login Password Incorrect..");
        options.nameOf(ReportValue::Old_Firmware_Version).clear();
        report.report(ReportValue::Old_Firmware_Version, "0.38f");
        QCOMPARE(m_registry->QueryKeyValue(HKEY_LOCAL_MACHINE, "Software\\Tool", "Firmware_Status"),
                 "Fail");
        QCOMPARE(m_registry->QueryKeyValue(HKEY_LOCAL_MACHINE, "Software\\Tool", "Error_Msg"),
                 "Login Password Incorrect..");
        QCOMPARE(
            m_registry->QueryKeyValue(HKEY_LOCAL_MACHINE, "Software\\Tool", "Old_Firmware_Version"),
            "No Data");
    }

    void splitKeyName_acceptsOnlyTheFourRoots_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("path");
        QTest::newRow("root and path") << "HKEY_CURRENT_USER\\Software\\Example"
                                       << "HKEY_CURRENT_USER"
                                       << "Software\\Example";
        QTest::newRow("small letters") << "hkey_current_user\\Software\\Example"
                                       << ""
                                       << "";
        QTest::newRow("no root name") << "Software\\Example"
                                      << ""
                                      << "";
        QTest::newRow("no backslash") << "HKEY_USERS"
                                      << ""
                                      << "";
        QTest::newRow("backslash first") << "\\Setup"
                                         << ""
                                         << "";
        QTest::newRow("root with empty path") << "HKEY_USERS\\"
                                              << "HKEY_USERS"
                                              << "";
        QTest::newRow("short root names are not roots") << "HKCU\\Software"
                                                        << ""
                                                        << "";
    }
    void splitKeyName_acceptsOnlyTheFourRoots()
    {
        QFETCH(QString, text);
        QFETCH(QString, root);
        QFETCH(QString, path);
        const KeyName key = SplitKeyName(text.toStdString());
        QCOMPARE(QString::fromStdString(key.root), root);
        QCOMPARE(QString::fromStdString(key.path), path);
    }

    void rootKeyOf_mapsExactNamesOnly()
    {
        QCOMPARE(RootKeyOf("HKEY_CLASSES_ROOT"), 0x80000000u);
        QCOMPARE(RootKeyOf("HKEY_USERS"), 0x80000003u);
        QCOMPARE(RootKeyOf("HKEY_LOCAL_MACHINE "), 0u);
        QCOMPARE(RootKeyOf("Hkey_Users"), 0u);
    }

    void store_isSharedSafelyBetweenProcesses()
    {
        // A second connection stands in for the installer reading the report meanwhile.
        SqliteRegistryStore reader(storePath());
        Registry readerRegistry(reader);
        RunOptions options;
        options.ReportEnabled = true;
        options.ReportRoot = HKEY_CURRENT_USER;
        options.ReportPath = "Software\\Shared";
        ResultReport report(*m_registry, options);
        for (int i = 0; i < 50; ++i) {
            report.report(ReportValue::Firmware_Status, "Upgrading " + std::to_string(i));
            QCOMPARE(readerRegistry.QueryKeyValue(HKEY_CURRENT_USER, "Software\\Shared",
                                                  "Firmware_Status"),
                     "Upgrading " + std::to_string(i));
        }
    }

    void store_thatCannotBeReadActsLikeMissingKeysAndSurvives()
    {
        const QString garbage = m_dir.filePath("garbage.sqlite");
        QFile file(garbage);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray noise(8192, '\x5A');
        file.write(noise);
        file.close();

        SqliteRegistryStore broken(garbage.toStdString());
        Registry registry(broken);
        RunOptions options;
        options.ReportEnabled = true;
        ResultReport report(registry, options);
        report.reportFailure("anything");
        registry.DeleteKey(HKEY_LOCAL_MACHINE, "Software\\X");
        QCOMPARE(registry.QueryKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable"), "");

        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), noise);

        SqliteRegistryStore unopenable(m_dir.path().toStdString()); // a folder
        QCOMPARE(Registry(unopenable).QueryKeyValue(HKEY_CURRENT_USER, "Software", "x"), "");
    }
};

QTEST_GUILESS_MAIN(RegistryTest)
#include "RegistryTest.moc"
