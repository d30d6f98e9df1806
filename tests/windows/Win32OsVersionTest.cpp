// GetOSName from the real version record (GetVersionExA). Wine reports whichever Windows version
// it is told to for a program of a given file name, so two probes, one built without a manifest
// and one with the program's manifest, are run as copies under a name of each version's own.

#include "WinProcess.h"
#include "WinTest.h"
#include "platform/RegistryStore.h"

using namespace tolvane;

namespace {

constexpr std::uint32_t HKCU = 0x80000001;
const std::string AppDefaults = "Software\\Wine\\AppDefaults\\";

struct Seen {
    std::string record;
    std::string name;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen)
{
    return out << "{" << seen.record << ", " << wintest::printable(seen.name) << "}";
}

// Runs a copy of the probe under the Windows version Wine is told for that copy's file name
// (none: the prefix's own).
Seen runProbe(const wintest::TempFolder& temp, const std::string& probe, const std::string& windows)
{
    const std::string name = probe + "-" + (windows.empty() ? "default" : windows) + ".exe";
    const std::string copy = temp.file(name);
    const std::string folder =
        wintest::ownProgramPath().substr(0, wintest::ownProgramPath().find_last_of('\\') + 1);
    if (!CHECK(wintest::copyFile(folder + probe + ".exe", copy)))
        return {};

    const auto store = makeRegistryStore();
    if (!windows.empty()) {
        RegistryStore::Key key = 0;
        CHECK_EQ(store->createKey(HKCU, AppDefaults + name, 0x3F, &key), ERROR_SUCCESS);
        const std::string data = windows + '\0';
        CHECK_EQ(store->setValue(key, "Version", REG_SZ,
                                 reinterpret_cast<const std::uint8_t*>(data.data()),
                                 static_cast<std::uint32_t>(data.size())),
                 ERROR_SUCCESS);
        store->closeKey(key);
    }
    wintest::ChildProcess child;
    Seen seen;
    if (CHECK(child.start("\"" + copy + "\""))) {
        seen.record = child.readLine();
        seen.name = child.readLine();
        CHECK_EQ(child.wait(), 0u);
    }
    store->deleteKey(HKCU, AppDefaults + name);
    return seen;
}

void getOSName_namesTheRealRecord()
{
    const wintest::TempFolder temp;
    struct {
        const char* windows;
        Seen withoutManifest;
        Seen withManifest;
    } const rows[] = {
        {"", {"2 6.1", ""}, {"2 6.1", ""}}, // the prefix's own: Windows 7
        {"win95", {"1 4.0", "Windows 95"}, {"1 4.0", "Windows 95"}},
        {"win98", {"1 4.10", "Windows 98"}, {"1 4.10", "Windows 98"}},
        {"winme", {"1 4.90", "Windows Millennium"}, {"1 4.90", "Windows Millennium"}},
        {"nt351", {"2 3.51", "Windows NT 3.51"}, {"2 3.51", "Windows NT 3.51"}},
        {"nt40", {"2 4.0", "Windows NT 4.0"}, {"2 4.0", "Windows NT 4.0"}},
        {"win2k", {"2 5.0", "Windows 2000"}, {"2 5.0", "Windows 2000"}},
        {"winxp", {"2 5.1", "Windows XP"}, {"2 5.1", "Windows XP"}},
        {"win2003", {"2 5.2", "Windows XP"}, {"2 5.2", "Windows XP"}},
        {"vista", {"2 6.0", ""}, {"2 6.0", ""}},
        {"win81", {"2 6.2", ""}, {"2 6.2", ""}},
        // Only a program that declares Windows 10 sees it; either way the name is empty.
        {"win10", {"2 6.2", ""}, {"2 10.0", ""}},
    };
    for (const auto& row : rows) {
        const wintest::Row named(*row.windows ? row.windows : "prefix default");
        CHECK_EQ(runProbe(temp, "os_version_probe", row.windows), row.withoutManifest);
        CHECK_EQ(runProbe(temp, "os_version_probe_manifest", row.windows), row.withManifest);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return wintest::runTests("win32_os_version",
                             {{"getOSName_namesTheRealRecord", getOSName_namesTheRealRecord}}, argc,
                             argv);
}
