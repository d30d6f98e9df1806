// The registry module and the result report against this platform's store (SQLite on Linux, the
// real registry on Windows), below a scratch key removed before and after each test.

#include "registry/Registry.h"

#include "platform/RegistryStore.h"
#include "registry/ResultReport.h"

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

} // namespace

class RegistryTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<RegistryStore> m_store;
    std::unique_ptr<Registry> m_registry;

    std::string query(const std::string& path, const std::string& name)
    {
        return m_registry->QueryKeyValue(HKEY_CURRENT_USER, path, name);
    }

    void removeTree(const std::string& path)
    {
        const OpenedKey key(*m_store, HKEY_CURRENT_USER, path, KEY_ACCESS);
        std::string child;
        while (key.open() && m_store->enumKey(key.key(), 0, &child) == ERROR_SUCCESS)
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

    // Kind 0 puts the bytes as they are (no zero after them in memory), others use SetKeyValue.
    void queryKeyValue_readsWhatWasWritten_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("REG_SZ") << 0 << REG_SZ << QByteArray("0.39k") << QByteArray("0.39k");
        QTest::newRow("REG_SZ keeps its zero")
            << 0 << REG_SZ << QByteArray("1\0", 2) << QByteArray("1\0", 2);
        QTest::newRow("empty REG_SZ") << 0 << REG_SZ << QByteArray() << QByteArray();
        QTest::newRow("long REG_SZ")
            << 0 << REG_SZ << QByteArray(5000, 'x') << QByteArray(5000, 'x');
        QTest::newRow("REG_DWORD is signed")
            << 0 << REG_DWORD << QByteArray("\xFE\xFF\xFF\xFF") << QByteArray("-2");
        QTest::newRow("long REG_DWORD") << 0 << REG_DWORD << QByteArray("12345") << QByteArray();
        QTest::newRow("REG_EXPAND_SZ") << 0 << 2u << QByteArray("%TEMP%") << QByteArray("-1");
        QTest::newRow("kind 1") << 1 << 0u << QByteArray("Done")
                                << "Done" + QByteArray::fromStdString(Zero);
        QTest::newRow("kind 4") << 4 << 0u << QByteArray(" +7 ") << QByteArray("7");
        QTest::newRow("kind 4, no number") << 4 << 0u << QByteArray("1x") << QByteArray("No Data");
        QTest::newRow("kind 3") << 3 << 0u << QByteArray("1") << QByteArray("No Data");
    }
    void queryKeyValue_readsWhatWasWritten()
    {
        QFETCH(int, kind);
        QFETCH(quint32, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        m_registry->CreateKey(HKEY_CURRENT_USER, Base);
        const OpenedKey key(*m_store, HKEY_CURRENT_USER, Base, KEY_ACCESS);
        const QByteArray guarded = bytes + 'X';
        if (kind == 0)
            m_store->setValue(key.key(), "V", type,
                              reinterpret_cast<const std::uint8_t*>(guarded.constData()),
                              static_cast<std::uint32_t>(bytes.size()));
        else
            m_registry->SetKeyValue(HKEY_CURRENT_USER, Base, "V", bytes.toStdString(), kind);
        QCOMPARE(QByteArray::fromStdString(query(Base, "V")), expected);
        m_registry->SetKeyValue(HKEY_CURRENT_USER, Base + "\\Missing", "V", "x", ValueKindString);
        QCOMPARE(query(Base + "\\Missing", "V"), "");          // nothing created
        QCOMPARE(m_registry->QueryKeyValue(0, Base, "V"), ""); // not a root handle
    }

    void deleteKey_removesOnlyALeafAndNeverARoot()
    {
        const std::string parent = Base + "\\Parent";
        m_registry->CreateKey(HKEY_CURRENT_USER, parent + "\\Child");
        m_registry->SetKeyValue(HKEY_CURRENT_USER, parent, "V", "1", ValueKindString);
        m_registry->DeleteKey(HKEY_CURRENT_USER, parent);
        QCOMPARE(query(parent, "V"), "1" + Zero);
        m_registry->DeleteKey(HKEY_CURRENT_USER, parent + "\\Child");
        m_registry->DeleteKey(HKEY_CURRENT_USER, "software\\TolvaneTests\\PARENT");
        m_registry->CreateKey(HKEY_CURRENT_USER, parent);
        QCOMPARE(query(parent, "V"), "No Data");
        m_registry->DeleteKey(HKEY_CURRENT_USER, "\\");
        QCOMPARE(m_store->deleteKey(HKEY_CURRENT_USER, ""), ERROR_INVALID_PARAMETER);
        QCOMPARE(query(parent, "x"), "No Data"); // the key is there
    }

    // What a report writes, under an installer's key and with texts as written, whatever the
    // system's code page.
    void saveReportValue_writesOnlyWhatItShould()
    {
        RunOptions options;
        options.ReportRoot = HKEY_CURRENT_USER;
        options.ReportPath = Base + "\\Отчёт Tölvane";
        ResultReport report(*m_registry, options);
        report.SaveReportValue("Mac_Address", "");
        report.SaveReportValue("", "0.39k");
        QCOMPARE(query(options.ReportPath, "x"), "");           // no key
        report.SaveReportValue("Firmware_Status", "Upgrading"); // creates the key
        report.SaveReportValue("Firmware_Status", "Done");
        report.SaveReportValue("Mac_Address", "00:0A");
        report.SaveReportValue("Mac_Address", "");          // leaves the earlier value
        report.reportFailure("Login Password Incorrect.."); // not enabled: nothing
        options.ReportEnabled = true;
        options.nameOf(ReportValue::Old_Firmware_Version).clear();
        report.report(ReportValue::Old_Firmware_Version, "0.38f");
        QCOMPARE(query(options.ReportPath, "Firmware_Status"), "Done" + Zero);
        QCOMPARE(query("SOFTWARE\\tolvanetests\\Отчёт TöLVANE", "MAC_ADDRESS"), "00:0A" + Zero);
        QCOMPARE(query(options.ReportPath, "Error_Msg"), "No Data");
        QCOMPARE(query(options.ReportPath, "Old_Firmware_Version"), "No Data");
        report.SaveReportValue("Error_Msg", "Ошибка: ü");
        QCOMPARE(query(options.ReportPath, "Error_Msg"), "Ошибка: ü" + Zero);
        const OpenedKey base(*m_store, HKEY_CURRENT_USER, Base, KEY_ACCESS);
        std::string child;
        QCOMPARE(m_store->enumKey(base.key(), 0, &child), ERROR_SUCCESS);
        QCOMPARE(child, "Отчёт Tölvane");
#ifdef _WIN32
        // Qt reads the registry through the wide calls: what another program sees.
        const QSettings settings(QStringLiteral("HKEY_CURRENT_USER\\Software\\TolvaneTests"),
                                 QSettings::NativeFormat);
        QCOMPARE(settings.childGroups(), QStringList({"Отчёт Tölvane"}));
        QCOMPARE(settings.value("Отчёт Tölvane/Error_Msg").toString(), "Ошибка: ü");
#endif
    }
};

QTEST_GUILESS_MAIN(RegistryTest)
#include "RegistryTest.moc"
