// The registry module, the result report and the start-up's report key over the real advapi32.
// The same rules are tested against the SQLite store on Linux; here they show that both stores
// answer alike.

#include "WinTest.h"
#include "common/ProcessState.h"
#include "platform/InstanceCheck.h"
#include "platform/RegistryStore.h"
#include "registry/Registry.h"
#include "registry/ResultReport.h"
#include "startup/Module1.h"

#include <memory>
#include <set>
#include <vector>

using namespace tolvane;

namespace {

const std::string Base = "Software\\TolvaneTests";

// Given a REG_SZ value whose size leaves out the terminating zero while the byte after the data
// is a zero (as it is after the text of every std::string), Windows stores the zero as well. So
// a text that SetKeyValue writes comes back from QueryKeyValue with a zero at its end.
const std::string Zero(1, '\0');

std::unique_ptr<RegistryStore> g_store;

// Passes every call on to the real store and keeps the access asked for by each open and create.
class AccessRecordingStore final : public RegistryStore {
public:
    explicit AccessRecordingStore(RegistryStore& real) : m_real(real) {}

    long openKey(Key parent, const std::string& path, std::uint32_t access, Key* result) override
    {
        m_access.push_back(access);
        return m_real.openKey(parent, path, access, result);
    }
    long createKey(Key parent, const std::string& path, std::uint32_t access, Key* result) override
    {
        m_access.push_back(access);
        return m_real.createKey(parent, path, access, result);
    }
    void closeKey(Key key) override { m_real.closeKey(key); }
    long deleteKey(Key parent, const std::string& path) override
    {
        return m_real.deleteKey(parent, path);
    }
    long queryValue(Key key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override
    {
        return m_real.queryValue(key, name, type, data, size);
    }
    long setValue(Key key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override
    {
        return m_real.setValue(key, name, type, data, size);
    }
    long deleteValue(Key key, const std::string& name) override
    {
        return m_real.deleteValue(key, name);
    }
    long enumKey(Key key, std::uint32_t index, std::string* name) override
    {
        return m_real.enumKey(key, index, name);
    }
    long enumValue(Key key, std::uint32_t index, std::string* name) override
    {
        return m_real.enumValue(key, index, name);
    }

    std::vector<std::uint32_t> m_access;

private:
    RegistryStore& m_real;
};

class NoEarlierInstance final : public InstanceCheck {
public:
    bool earlierInstanceRunning() override { return false; }
};

bool keyExists(std::uint32_t root, const std::string& path)
{
    RegistryStore::Key key = 0;
    if (g_store->openKey(root, path, KEY_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    g_store->closeKey(key);
    return true;
}

// Stores exactly these bytes: what follows them is no zero, so Windows adds none.
void putRaw(std::uint32_t root, const std::string& path, const std::string& name,
            std::uint32_t type, const std::string& bytes)
{
    RegistryStore::Key key = 0;
    if (!CHECK_EQ(g_store->createKey(root, path, KEY_ACCESS, &key), ERROR_SUCCESS))
        return;
    const std::string guarded = bytes + 'X';
    CHECK_EQ(g_store->setValue(key, name, type,
                               reinterpret_cast<const std::uint8_t*>(guarded.data()),
                               static_cast<std::uint32_t>(bytes.size())),
             ERROR_SUCCESS);
    g_store->closeKey(key);
}

// Removes a key with everything below it; the module itself never deletes more than a leaf.
void removeTree(std::uint32_t root, const std::string& path)
{
    RegistryStore::Key key = 0;
    if (g_store->openKey(root, path, KEY_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> children;
    std::string name;
    for (std::uint32_t i = 0; g_store->enumKey(key, i, &name) == ERROR_SUCCESS; ++i)
        children.push_back(name);
    g_store->closeKey(key);
    for (const std::string& child : children)
        removeTree(root, path + "\\" + child);
    g_store->deleteKey(root, path);
}

struct Clean {
    Clean()
    {
        removeTree(HKEY_CURRENT_USER, Base);
        removeTree(HKEY_LOCAL_MACHINE, Base);
    }
    ~Clean()
    {
        removeTree(HKEY_CURRENT_USER, Base);
        removeTree(HKEY_LOCAL_MACHINE, Base);
    }
};

void queryKeyValue_givesTheDocumentedTexts()
{
    const Clean clean;
    Registry registry(*g_store);
    struct {
        const char* row;
        std::uint32_t type;
        std::string bytes;
        std::string expected;
    } const rows[] = {
        {"REG_SZ without terminating zero", REG_SZ, "0.39k", "0.39k"},
        {"REG_SZ with terminating zero keeps it", REG_SZ, std::string("0.39k", 6),
         std::string("0.39k", 6)},
        {"empty REG_SZ", REG_SZ, "", ""},
        {"REG_SZ longer than any fixed buffer", REG_SZ, std::string(5000, 'x'),
         std::string(5000, 'x')},
        {"REG_DWORD 1", REG_DWORD, std::string("\x01\0\0\0", 4), "1"},
        {"REG_DWORD read as signed", REG_DWORD, "\xFF\xFF\xFF\xFF", "-1"},
        {"oversized REG_DWORD cannot be read", REG_DWORD, std::string("\x01\0\0\0\0", 5), ""},
        {"REG_BINARY is a third type", REG_BINARY, "\x01\x02", "-1"},
        {"REG_EXPAND_SZ is a third type", 2, "%TEMP%", "-1"},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.row);
        putRaw(HKEY_CURRENT_USER, Base, "V", row.type, row.bytes);
        CHECK_EQ(registry.QueryKeyValue(HKEY_CURRENT_USER, Base, "V"), row.expected);
    }
}

void queryKeyValue_tellsMissingKeyFromMissingValue()
{
    const Clean clean;
    Registry registry(*g_store);
    registry.CreateKey(HKEY_CURRENT_USER, Base + "\\Internet Settings");
    CHECK_EQ(registry.QueryKeyValue(HKEY_CURRENT_USER, Base + "\\Internet Settings", "ProxyEnable"),
             "No Data");
    CHECK_EQ(registry.QueryKeyValue(HKEY_CURRENT_USER, Base + "\\Zones\\3", "1601"), "");
    CHECK_EQ(registry.QueryKeyValue(0, "Software", "x"), ""); // not a root handle
}

void setKeyValue_writesByKind()
{
    const Clean clean;
    Registry registry(*g_store);
    registry.CreateKey(HKEY_CURRENT_USER, Base);
    registry.SetKeyValue(HKEY_CURRENT_USER, Base, "Dword", "0", ValueKindNumber);
    registry.SetKeyValue(HKEY_CURRENT_USER, Base, "Text", "Done", ValueKindString);
    registry.SetKeyValue(HKEY_CURRENT_USER, Base, "Bad", "No Data", ValueKindNumber);
    registry.SetKeyValue(HKEY_CURRENT_USER, Base, "Other", "1", 3);
    registry.SetKeyValue(HKEY_CURRENT_USER, Base + "\\Missing", "Text", "x", ValueKindString);

    RegistryStore::Key key = 0;
    if (!CHECK_EQ(g_store->openKey(HKEY_CURRENT_USER, Base, KEY_ACCESS, &key), ERROR_SUCCESS))
        return;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    CHECK_EQ(g_store->queryValue(key, "Dword", &type, nullptr, &size), ERROR_SUCCESS);
    CHECK_EQ(type, REG_DWORD);
    std::uint8_t dword[4] = {1, 1, 1, 1};
    size = sizeof dword;
    CHECK_EQ(g_store->queryValue(key, "Dword", &type, dword, &size), ERROR_SUCCESS);
    CHECK_EQ(size, 4u);
    CHECK(dword[0] == 0 && dword[1] == 0 && dword[2] == 0 && dword[3] == 0);
    CHECK_EQ(g_store->queryValue(key, "Text", &type, nullptr, &size), ERROR_SUCCESS);
    CHECK_EQ(type, REG_SZ);
    CHECK_EQ(size, 5u); // "Done" and the zero that Windows adds
    CHECK_EQ(g_store->queryValue(key, "Bad", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(g_store->queryValue(key, "Other", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    g_store->closeKey(key);
    CHECK(!keyExists(HKEY_CURRENT_USER, Base + "\\Missing"));
}

void everyOpenAndCreate_asksForAccess0x3F()
{
    const Clean clean;
    AccessRecordingStore recording(*g_store);
    Registry registry(recording);
    RunOptions options;
    options.ReportEnabled = true;
    options.ReportPath = Base + "\\Report"; // below HKEY_LOCAL_MACHINE, the default root
    ResultReport report(registry, options);

    report.report(ReportValue::Firmware_Status, "Upgrading");
    registry.SetKeyValue(HKEY_LOCAL_MACHINE, options.ReportPath, "1601", "0", ValueKindNumber);
    CHECK_EQ(registry.QueryKeyValue(HKEY_LOCAL_MACHINE, options.ReportPath, "Firmware_Status"),
             "Upgrading" + Zero);
    CHECK_EQ(registry.QueryKeyValue(HKEY_LOCAL_MACHINE, options.ReportPath, "1601"), "0");
    registry.DeleteKey(HKEY_LOCAL_MACHINE, options.ReportPath);
    CHECK(!keyExists(HKEY_LOCAL_MACHINE, options.ReportPath));

    CHECK(!recording.m_access.empty());
    for (const std::uint32_t access : recording.m_access)
        CHECK_EQ(access, 0x3Fu);
}

void names_areCaseInsensitiveAndKeepTheirFirstSpelling()
{
    const Clean clean;
    Registry registry(*g_store);
    registry.CreateKey(HKEY_LOCAL_MACHINE, Base + "\\Acme\\Setup");
    registry.SetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\tolvanetests\\acme\\SETUP", "Mac_Address",
                         "00:11", ValueKindString);
    CHECK_EQ(registry.QueryKeyValue(HKEY_LOCAL_MACHINE, "software\\TOLVANETESTS\\ACME\\setup",
                                    "MAC_ADDRESS"),
             "00:11" + Zero);
    RegistryStore::Key key = 0;
    if (!CHECK_EQ(g_store->openKey(HKEY_LOCAL_MACHINE, Base, KEY_ACCESS, &key), ERROR_SUCCESS))
        return;
    std::string name;
    CHECK_EQ(g_store->enumKey(key, 0, &name), ERROR_SUCCESS);
    CHECK_EQ(name, "Acme");
    CHECK_EQ(g_store->enumKey(key, 1, &name), ERROR_NO_MORE_ITEMS);
    g_store->closeKey(key);
}

void enumValue_listsEveryNameOnce()
{
    const Clean clean;
    Registry registry(*g_store);
    registry.CreateKey(HKEY_CURRENT_USER, Base);
    for (const char* name : {"Old_Firmware_Version", "Error_Msg", "Firmware_Status"})
        registry.SetKeyValue(HKEY_CURRENT_USER, Base, name, "x", ValueKindString);
    RegistryStore::Key key = 0;
    if (!CHECK_EQ(g_store->openKey(HKEY_CURRENT_USER, Base, KEY_ACCESS, &key), ERROR_SUCCESS))
        return;
    std::set<std::string> names;
    std::string name;
    std::uint32_t index = 0;
    for (; g_store->enumValue(key, index, &name) == ERROR_SUCCESS; ++index)
        names.insert(name);
    g_store->closeKey(key);
    CHECK_EQ(index, 3u);
    CHECK((names == std::set<std::string>{"Error_Msg", "Firmware_Status", "Old_Firmware_Version"}));
}

void deleteKey_leavesAKeyWithSubkeys()
{
    const Clean clean;
    Registry registry(*g_store);
    const std::string parent = Base + "\\Parent";
    registry.CreateKey(HKEY_CURRENT_USER, parent + "\\Child");
    registry.SetKeyValue(HKEY_CURRENT_USER, parent, "V", "1", ValueKindString);

    registry.DeleteKey(HKEY_CURRENT_USER, parent);
    CHECK(keyExists(HKEY_CURRENT_USER, parent + "\\Child"));
    CHECK_EQ(registry.QueryKeyValue(HKEY_CURRENT_USER, parent, "V"), "1" + Zero);

    registry.DeleteKey(HKEY_CURRENT_USER, parent + "\\Child");
    registry.DeleteKey(HKEY_CURRENT_USER, "software\\TolvaneTests\\PARENT");
    CHECK(!keyExists(HKEY_CURRENT_USER, parent));

    // A re-created key starts without the values of the deleted one.
    registry.CreateKey(HKEY_CURRENT_USER, parent);
    CHECK_EQ(registry.QueryKeyValue(HKEY_CURRENT_USER, parent, "V"), "No Data");
}

void deleteKey_neverRemovesARoot()
{
    const Clean clean;
    Registry registry(*g_store);
    registry.CreateKey(HKEY_CURRENT_USER, Base + "\\Leaf");
    registry.DeleteKey(HKEY_CURRENT_USER, "");
    registry.DeleteKey(HKEY_CURRENT_USER, "\\");
    CHECK_EQ(g_store->deleteKey(HKEY_CURRENT_USER, ""), ERROR_INVALID_PARAMETER);
    CHECK(keyExists(HKEY_CURRENT_USER, Base + "\\Leaf"));
}

void saveReportValue_writesOnlyWhatItShould()
{
    const Clean clean;
    Registry registry(*g_store);
    RunOptions options;
    options.ReportRoot = HKEY_CURRENT_USER;
    options.ReportPath = Base + "\\Acme\\Setup";
    ResultReport report(registry, options);

    report.SaveReportValue("Mac_Address", "");
    report.SaveReportValue("", "0.39k");
    CHECK(!keyExists(HKEY_CURRENT_USER, options.ReportPath));

    report.SaveReportValue("Firmware_Status", "Upgrading"); // creates the key
    report.SaveReportValue("Firmware_Status", "Done");      // replaces the value
    report.SaveReportValue("Mac_Address", "00:0A");
    report.SaveReportValue("Mac_Address", ""); // leaves the earlier value
    CHECK_EQ(registry.QueryKeyValue(HKEY_CURRENT_USER, options.ReportPath, "Firmware_Status"),
             "Done" + Zero);
    CHECK_EQ(registry.QueryKeyValue(HKEY_CURRENT_USER, options.ReportPath, "Mac_Address"),
             "00:0A" + Zero);

    options.ReportEnabled = false;
    report.reportFailure("Login Password Incorrect..");
    CHECK_EQ(registry.QueryKeyValue(HKEY_CURRENT_USER, options.ReportPath, "Error_Msg"), "No Data");
}

void rootNames_nameTheSystemsRoots()
{
    for (const char* rootName :
         {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
        const wintest::Row named(rootName);
        const KeyName key = SplitKeyName(std::string(rootName) + "\\Software\\X");
        CHECK_EQ(key.root, rootName);
        CHECK_EQ(key.path, "Software\\X");
        CHECK(keyExists(RootKeyOf(key.root), ""));
    }
    CHECK(!keyExists(RootKeyOf("HKCU"), ""));
}

void main_deletesTheReportKeyItNames()
{
    struct {
        const char* row;
        std::string commandLine;
        std::uint32_t keyRoot;
        std::string keyPath;
        bool hasSubkey;
        bool deleted;
    } const rows[] = {
        {"root name", "-s -k HKEY_CURRENT_USER\\" + Base + "\\Setup -p pw", HKEY_CURRENT_USER,
         Base + "\\Setup", false, true},
        {"no root name goes below HKEY_LOCAL_MACHINE\\Software", "-k TolvaneTests\\Plain",
         HKEY_LOCAL_MACHINE, Base + "\\Plain", false, true},
        {"small-letter root name is a path", "-k hkey_current_user\\" + Base + "\\Setup",
         HKEY_LOCAL_MACHINE, "Software\\hkey_current_user\\" + Base + "\\Setup", false, true},
        {"a key with a subkey stays", "-k HKEY_CURRENT_USER\\" + Base + "\\Setup",
         HKEY_CURRENT_USER, Base + "\\Setup", true, false},
        {"a root is never deleted", "-k HKEY_CURRENT_USER\\", HKEY_CURRENT_USER, Base + "\\Setup",
         false, false},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.row);
        const Clean clean;
        Registry registry(*g_store);
        putRaw(row.keyRoot, row.keyPath, "Firmware_Status", REG_SZ, "Done");
        if (row.hasSubkey)
            registry.CreateKey(row.keyRoot, row.keyPath + "\\Child");

        ProcessState state;
        NoEarlierInstance instance;
        bool shown = false;
        CHECK(Main(row.commandLine, state, registry, instance, [&] { shown = true; }));
        CHECK(shown);
        CHECK_EQ(keyExists(row.keyRoot, row.keyPath), !row.deleted);
        if (row.deleted) {
            CHECK_EQ(state.runOptions.ReportRoot, row.keyRoot);
            CHECK_EQ(state.runOptions.ReportPath, row.keyPath);
        }
        removeTree(HKEY_LOCAL_MACHINE, "Software\\hkey_current_user");
    }
}

} // namespace

int main(int argc, char** argv)
{
    g_store = makeRegistryStore();
    return wintest::runTests(
        "win32_registry",
        {
            {"queryKeyValue_givesTheDocumentedTexts", queryKeyValue_givesTheDocumentedTexts},
            {"queryKeyValue_tellsMissingKeyFromMissingValue",
             queryKeyValue_tellsMissingKeyFromMissingValue},
            {"setKeyValue_writesByKind", setKeyValue_writesByKind},
            {"everyOpenAndCreate_asksForAccess0x3F", everyOpenAndCreate_asksForAccess0x3F},
            {"names_areCaseInsensitiveAndKeepTheirFirstSpelling",
             names_areCaseInsensitiveAndKeepTheirFirstSpelling},
            {"enumValue_listsEveryNameOnce", enumValue_listsEveryNameOnce},
            {"deleteKey_leavesAKeyWithSubkeys", deleteKey_leavesAKeyWithSubkeys},
            {"deleteKey_neverRemovesARoot", deleteKey_neverRemovesARoot},
            {"saveReportValue_writesOnlyWhatItShould", saveReportValue_writesOnlyWhatItShould},
            {"rootNames_nameTheSystemsRoots", rootNames_nameTheSystemsRoots},
            {"main_deletesTheReportKeyItNames", main_deletesTheReportKeyItNames},
        },
        argc, argv);
}
