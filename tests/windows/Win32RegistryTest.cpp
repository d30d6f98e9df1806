// The registry module over the real advapi32, under Wine: the rules where the Windows registry
// itself decides (types, sizes, names, deletion), which the SQLite store imitates on Linux.

#include "common/RunOptions.h"
#include "platform/RegistryStore.h"
#include "registry/Registry.h"

#include <QTest>

using namespace tolvane;

namespace {

const std::string Base = "Software\\TolvaneTests";

// Windows keeps a zero after a REG_SZ written without one when the next byte is a zero, as it is
// after the text of every std::string: so a text SetKeyValue wrote comes back with a zero.
const std::string Zero(1, '\0');

} // namespace

class Win32RegistryTest : public QObject {
    Q_OBJECT

    const std::unique_ptr<RegistryStore> m_store = makeRegistryStore();
    Registry m_registry{*m_store};

    bool keyExists(const std::string& path)
    {
        RegistryStore::Key key = 0;
        if (m_store->openKey(HKEY_CURRENT_USER, path, KEY_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        m_store->closeKey(key);
        return true;
    }
    // Exactly these bytes: what follows them is no zero, so Windows adds none.
    void putRaw(std::uint32_t type, const std::string& bytes)
    {
        RegistryStore::Key key = 0;
        QCOMPARE(m_store->createKey(HKEY_CURRENT_USER, Base, KEY_ACCESS, &key), ERROR_SUCCESS);
        const std::string guarded = bytes + 'X';
        QCOMPARE(m_store->setValue(key, "V", type,
                                   reinterpret_cast<const std::uint8_t*>(guarded.data()),
                                   static_cast<std::uint32_t>(bytes.size())),
                 ERROR_SUCCESS);
        m_store->closeKey(key);
    }
    std::vector<std::string> names(bool values)
    {
        RegistryStore::Key key = 0;
        std::vector<std::string> found;
        if (m_store->openKey(HKEY_CURRENT_USER, Base, KEY_ACCESS, &key) != ERROR_SUCCESS)
            return found;
        std::string name;
        for (std::uint32_t i = 0; (values ? m_store->enumValue(key, i, &name)
                                          : m_store->enumKey(key, i, &name)) == ERROR_SUCCESS;
             ++i)
            found.push_back(name);
        m_store->closeKey(key);
        return found;
    }

private slots:
    void cleanup()
    {
        for (const std::string& child : names(false))
            m_registry.DeleteKey(HKEY_CURRENT_USER, Base + "\\" + child);
        m_registry.DeleteKey(HKEY_CURRENT_USER, Base);
    }

    void queryKeyValue_givesTheDocumentedTexts_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("REG_SZ") << uint(REG_SZ) << QByteArray("0.39k") << QByteArray("0.39k");
        QTest::newRow("REG_SZ with its zero")
            << uint(REG_SZ) << QByteArray("0.39k", 6) << QByteArray("0.39k", 6);
        QTest::newRow("REG_SZ beyond any fixed buffer")
            << uint(REG_SZ) << QByteArray(5000, 'x') << QByteArray(5000, 'x');
        QTest::newRow("REG_DWORD, signed")
            << uint(REG_DWORD) << QByteArray("\xFF\xFF\xFF\xFF") << QByteArray("-1");
        QTest::newRow("oversized REG_DWORD")
            << uint(REG_DWORD) << QByteArray("\1\0\0\0\0", 5) << QByteArray();
        QTest::newRow("REG_BINARY") << uint(REG_BINARY) << QByteArray("\1\2") << QByteArray("-1");
    }
    void queryKeyValue_givesTheDocumentedTexts()
    {
        QFETCH(uint, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        putRaw(type, bytes.toStdString());
        QCOMPARE(m_registry.QueryKeyValue(HKEY_CURRENT_USER, Base, "V"), expected.toStdString());
        QCOMPARE(m_registry.QueryKeyValue(HKEY_CURRENT_USER, Base, "W"), "No Data");
        QCOMPARE(m_registry.QueryKeyValue(HKEY_CURRENT_USER, Base + "\\Missing", "V"), "");
    }

    void setKeyValue_writesByKindUnderNamesOfEitherCase()
    {
        m_registry.CreateKey(HKEY_CURRENT_USER, Base + "\\Acme");
        m_registry.SetKeyValue(HKEY_CURRENT_USER, Base, "Dword", "7", ValueKindNumber);
        m_registry.SetKeyValue(HKEY_CURRENT_USER, "SOFTWARE\\tolvanetests", "Text", "Done",
                               ValueKindString);
        m_registry.SetKeyValue(HKEY_CURRENT_USER, Base, "Bad", "No Data", ValueKindNumber);
        QCOMPARE(m_registry.QueryKeyValue(HKEY_CURRENT_USER, Base, "DWORD"), "7");
        QCOMPARE(m_registry.QueryKeyValue(HKEY_CURRENT_USER, Base, "text"), "Done" + Zero);
        QCOMPARE(names(true), (std::vector<std::string>{"Dword", "Text"}));
        QCOMPARE(names(false), std::vector<std::string>{"Acme"});
    }

    void deleteKey_removesLeavesOnlyAndNeverARoot()
    {
        m_registry.CreateKey(HKEY_CURRENT_USER, Base + "\\Parent\\Child");
        m_registry.DeleteKey(HKEY_CURRENT_USER, Base + "\\Parent");
        QVERIFY(keyExists(Base + "\\Parent\\Child"));
        m_registry.DeleteKey(HKEY_CURRENT_USER, "\\");
        QCOMPARE(m_store->deleteKey(HKEY_CURRENT_USER, "\\\\"), ERROR_INVALID_PARAMETER);
        QVERIFY(keyExists(Base + "\\Parent\\Child"));
        m_registry.DeleteKey(HKEY_CURRENT_USER, Base + "\\PARENT\\child");
        m_registry.DeleteKey(HKEY_CURRENT_USER, Base + "\\Parent");
        QVERIFY(!keyExists(Base + "\\Parent"));
    }
};

QTEST_GUILESS_MAIN(Win32RegistryTest)
#include "Win32RegistryTest.moc"
