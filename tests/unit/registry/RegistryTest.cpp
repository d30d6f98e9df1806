// The registry module, the result report and the start-up's report key, against the store this
// platform provides: the SQLite file on Linux, the real registry on Windows. Everything happens
// below a scratch key under HKEY_CURRENT_USER, removed before and after each test.

#include "registry/Registry.h"

#include "common/ProcessState.h"
#include "platform/InstanceCheck.h"
#include "platform/RegistryStore.h"
#include "registry/ResultReport.h"
#include "startup/Module1.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tolvane;

namespace {

const std::string Base = "Software\\TolvaneTests";

// Windows keeps the zero after a REG_SZ whose size leaves it out when that zero follows the data
// in memory, as it does after every std::string; the SQLite store keeps the bytes given.
#ifdef _WIN32
const std::string Zero(1, '\0');
#else
const std::string Zero;
#endif

class NoEarlierInstance final : public InstanceCheck {
public:
    bool earlierInstanceRunning() override { return false; }
};

} // namespace

class RegistryTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<RegistryStore> m_store;
    std::unique_ptr<Registry> m_registry;

    bool keyExists(std::uint32_t root, const std::string& path)
    {
        return OpenedKey(*m_store, root, path, KEY_ACCESS).open();
    }

    // Exactly these bytes: what follows them in memory is no zero.
    void putRaw(const std::string& path, std::uint32_t type, const QByteArray& bytes)
    {
        const OpenedKey key(*m_store, HKEY_CURRENT_USER, path, KEY_ACCESS, OpenedKey::Mode::Create);
        const QByteArray guarded = bytes + 'X';
        QCOMPARE(m_store->setValue(key.key(), "V", type,
                                   reinterpret_cast<const std::uint8_t*>(guarded.constData()),
                                   static_cast<std::uint32_t>(bytes.size())),
                 ERROR_SUCCESS);
    }

    void removeTree(const std::string& path)
    {
        std::vector<std::string> children;
        {
            const OpenedKey key(*m_store, HKEY_CURRENT_USER, path, KEY_ACCESS);
            std::string name;
            for (std::uint32_t i = 0;
                 key.open() && m_store->enumKey(key.key(), i, &name) == ERROR_SUCCESS; ++i)
                children.push_back(name);
        }
        for (const std::string& child : children)
            removeTree(path + "\\" + child);
        m_store->deleteKey(HKEY_CURRENT_USER, path);
    }

private slots:
    void initTestCase()
    {
        qputenv("TOLVANE_REGISTRY", QFile::encodeName(m_dir.filePath("registry.sqlite")));
        m_store = makeRegistryStore();
        m_registry = std::make_unique<Registry>(*m_store);
    }
    void init() { removeTree(Base); }
    void cleanup() { removeTree(Base); }

    void queryKeyValue_givesTheDocumentedTexts_data()
    {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("REG_SZ") << REG_SZ << QByteArray("0.39k") << QByteArray("0.39k");
        QTest::newRow("REG_SZ keeps its zero")
            << REG_SZ << QByteArray("0.39k", 6) << QByteArray("0.39k", 6);
        QTest::newRow("empty REG_SZ") << REG_SZ << QByteArray() << QByteArray();
        QTest::newRow("long REG_SZ") << REG_SZ << QByteArray(5000, 'x') << QByteArray(5000, 'x');
        QTest::newRow("REG_DWORD 1") << REG_DWORD << QByteArray("\x01\0\0\0", 4) << QByteArray("1");
        QTest::newRow("REG_DWORD is signed")
            << REG_DWORD << QByteArray("\xFF\xFF\xFF\xFF", 4) << QByteArray("-1");
        QTest::newRow("oversized REG_DWORD")
            << REG_DWORD << QByteArray("\x01\0\0\0\0", 5) << QByteArray();
        QTest::newRow("REG_BINARY") << REG_BINARY << QByteArray("\x01\x02") << QByteArray("-1");
        QTest::newRow("REG_EXPAND_SZ") << 2u << QByteArray("%TEMP%") << QByteArray("-1");
    }
    void queryKeyValue_givesTheDocumentedTexts()
    {
        QFETCH(quint32, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        putRaw(Base, type, bytes);
        QCOMPARE(QByteArray::fromStdString(m_registry->QueryKeyValue(HKEY_CURRENT_USER, Base, "V")),
                 expected);
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, Base, "Missing"), "No Data");
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, Base + "\\Missing", "V"), "");
        QCOMPARE(m_registry->QueryKeyValue(0, Base, "V"), ""); // not a root handle
    }

    void setKeyValue_writesByKind()
    {
        m_registry->CreateKey(HKEY_CURRENT_USER, Base);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, Base, "Dword", " +7 ", ValueKindNumber);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, Base, "Text", "Done", ValueKindString);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, Base, "Bad", "No Data", ValueKindNumber);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, Base, "Other", "1", 3);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, Base + "\\Missing", "T", "x", ValueKindString);
        const OpenedKey key(*m_store, HKEY_CURRENT_USER, Base, KEY_ACCESS);
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        QCOMPARE(m_store->queryValue(key.key(), "Dword", &type, nullptr, &size), ERROR_SUCCESS);
        QCOMPARE(type, REG_DWORD);
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, Base, "Dword"), "7");
        QCOMPARE(m_store->queryValue(key.key(), "Text", &type, nullptr, &size), ERROR_SUCCESS);
        QCOMPARE(type, REG_SZ);
        QCOMPARE(size, 4 + Zero.size()); // no terminating zero asked for
        QCOMPARE(m_store->queryValue(key.key(), "Bad", &type, nullptr, &size),
                 ERROR_FILE_NOT_FOUND);
        QCOMPARE(m_store->queryValue(key.key(), "Other", &type, nullptr, &size),
                 ERROR_FILE_NOT_FOUND);
        QVERIFY(!keyExists(HKEY_CURRENT_USER, Base + "\\Missing"));
    }

    void names_areCaseInsensitiveAndKeepTheirFirstSpelling()
    {
        m_registry->CreateKey(HKEY_CURRENT_USER, Base + "\\Acme");
        for (const char* name : {"Mac_Address", "Error_Msg", "MAC_ADDRESS"})
            m_registry->SetKeyValue(HKEY_CURRENT_USER, "SOFTWARE\\tolvanetests\\ACME", name, name,
                                    ValueKindString);
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, Base + "\\acme", "mac_address"),
                 "MAC_ADDRESS" + Zero);
        const OpenedKey key(*m_store, HKEY_CURRENT_USER, Base, KEY_ACCESS);
        std::string name;
        QCOMPARE(m_store->enumKey(key.key(), 0, &name), ERROR_SUCCESS);
        QCOMPARE(name, "Acme");
        QCOMPARE(m_store->enumKey(key.key(), 1, &name), ERROR_NO_MORE_ITEMS);
        const OpenedKey acme(*m_store, HKEY_CURRENT_USER, Base + "\\Acme", KEY_ACCESS);
        QCOMPARE(m_store->enumValue(acme.key(), 1, &name), ERROR_SUCCESS);
        QCOMPARE(m_store->enumValue(acme.key(), 2, &name), ERROR_NO_MORE_ITEMS);
    }

    void deleteKey_removesOnlyALeafAndNeverARoot()
    {
        const std::string parent = Base + "\\Parent";
        m_registry->CreateKey(HKEY_CURRENT_USER, parent + "\\Child");
        m_registry->SetKeyValue(HKEY_CURRENT_USER, parent, "V", "1", ValueKindString);
        m_registry->DeleteKey(HKEY_CURRENT_USER, parent);
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, parent, "V"), "1" + Zero);

        m_registry->DeleteKey(HKEY_CURRENT_USER, parent + "\\Child");
        m_registry->DeleteKey(HKEY_CURRENT_USER, "software\\TolvaneTests\\PARENT");
        QVERIFY(!keyExists(HKEY_CURRENT_USER, parent));
        m_registry->CreateKey(HKEY_CURRENT_USER, parent);
        QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, parent, "V"), "No Data");

        m_registry->DeleteKey(HKEY_CURRENT_USER, "");
        m_registry->DeleteKey(HKEY_CURRENT_USER, "\\");
        QCOMPARE(m_store->deleteKey(HKEY_CURRENT_USER, ""), ERROR_INVALID_PARAMETER);
        QVERIFY(keyExists(HKEY_CURRENT_USER, parent));
    }

    void saveReportValue_writesOnlyWhatItShould()
    {
        RunOptions options;
        options.ReportRoot = HKEY_CURRENT_USER;
        options.ReportPath = Base + "\\Setup";
        ResultReport report(*m_registry, options);
        report.SaveReportValue("Mac_Address", "");
        report.SaveReportValue("", "0.39k");
        QVERIFY(!keyExists(HKEY_CURRENT_USER, options.ReportPath));

        report.SaveReportValue("Firmware_Status", "Upgrading"); // creates the key
        report.SaveReportValue("Firmware_Status", "Done");
        report.SaveReportValue("Mac_Address", "00:0A");
        report.SaveReportValue("Mac_Address", "");          // leaves the earlier value
        report.reportFailure("Login Password Incorrect.."); // not enabled: nothing
        options.ReportEnabled = true;
        options.nameOf(ReportValue::Old_Firmware_Version).clear();
        report.report(ReportValue::Old_Firmware_Version, "0.38f");
        for (const auto& [name, value] :
             {std::pair{"Firmware_Status", "Done"}, std::pair{"Mac_Address", "00:0A"},
              std::pair{"Error_Msg", "No Data"}, std::pair{"Old_Firmware_Version", "No Data"}})
            QCOMPARE(m_registry->QueryKeyValue(HKEY_CURRENT_USER, options.ReportPath, name),
                     value == std::string("No Data") ? value : value + Zero);
    }

    void splitKeyName_acceptsOnlyTheFourRoots_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("path");
        for (const char* root :
             {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"})
            QTest::newRow(root) << root + QString("\\Software\\X") << root << "Software\\X";
        QTest::newRow("small letters") << "hkey_current_user\\Software"
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
        QTest::newRow("root and empty path") << "HKEY_USERS\\"
                                             << "HKEY_USERS"
                                             << "";
        QTest::newRow("short root name") << "HKCU\\Software"
                                         << ""
                                         << "";
        QTest::newRow("trailing blank") << "HKEY_USERS \\Software"
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
        QCOMPARE(keyExists(RootKeyOf(root.toStdString()), ""), !root.isEmpty());
    }

    void main_deletesOnlyTheReportKeyItNames_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("hasSubkey");
        QTest::addColumn<bool>("reported");
        QTest::newRow("named key")
            << "-s -k HKEY_CURRENT_USER\\Software\\TolvaneTests\\Setup -p x" << false << true;
        QTest::newRow("a key with a subkey stays")
            << "-k HKEY_CURRENT_USER\\Software\\TolvaneTests\\Setup" << true << true;
        QTest::newRow("a root is no report key") << "-k HKEY_CURRENT_USER\\" << false << false;
        QTest::newRow("nor is Software") << "-k HKEY_CURRENT_USER\\software\\" << false << false;
    }
    void main_deletesOnlyTheReportKeyItNames()
    {
        QFETCH(QString, commandLine);
        QFETCH(bool, hasSubkey);
        QFETCH(bool, reported);
        const std::string setup = Base + "\\Setup";
        m_registry->CreateKey(HKEY_CURRENT_USER, setup + (hasSubkey ? "\\Child" : ""));
        ProcessState state;
        NoEarlierInstance instance;
        QVERIFY(Main(commandLine.toStdString(), state, *m_registry, instance, [] {}));
        QCOMPARE(keyExists(HKEY_CURRENT_USER, setup), hasSubkey || !reported);
        QCOMPARE(state.runOptions.ReportEnabled, reported);
        QCOMPARE(state.runOptions.ReportPath, reported ? setup : "Software");
    }
};

QTEST_GUILESS_MAIN(RegistryTest)
#include "RegistryTest.moc"
