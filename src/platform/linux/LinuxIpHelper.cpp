#include "platform/IpHelper.h"
#include "platform/linux/DefaultGateways.h"
#include "platform/linux/Dhclient.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ifaddrs.h>
#include <map>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tolvane {

namespace {

Q_LOGGING_CATEGORY(lcLinuxAdapters, "tolvane.adapters", QtWarningMsg)

struct Interface {
    std::uint32_t index = 0;
    std::string name;
    std::string address; // the first IPv4 address
};

// The interfaces that are up, loopback left out (the Windows list never shows it), by index.
std::vector<Interface> upInterfaces()
{
    std::map<std::string, Interface> byName;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        Interface& known = byName[entry->ifa_name];
        known.name = entry->ifa_name;
        if (known.address.empty() && entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            const auto* bytes = reinterpret_cast<const unsigned char*>(&ipv4->sin_addr.s_addr);
            known.address = std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
                            std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
        }
    }
    freeifaddrs(list);

    std::vector<Interface> interfaces;
    for (auto& [name, known] : byName) {
        known.index = if_nametoindex(name.c_str());
        if (known.index != 0)
            interfaces.push_back(std::move(known));
    }
    std::sort(interfaces.begin(), interfaces.end(),
              [](const Interface& a, const Interface& b) { return a.index < b.index; });
    return interfaces;
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string readLink(const std::string& path)
{
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

std::vector<std::string> splitAtNul(const std::string& text)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// The dhclient that keeps `interface`'s lease in this process's network namespace, if any. Only
// clients in the same namespace count: an interface of the same name elsewhere is another one.
std::optional<DhclientInvocation> runningDhclient(const std::string& interface)
{
    const std::string ownNamespace = readLink("/proc/self/ns/net");
    DIR* proc = opendir("/proc");
    if (!proc || ownNamespace.empty()) {
        if (proc)
            closedir(proc);
        return std::nullopt;
    }
    std::optional<DhclientInvocation> found;
    while (const dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.empty() ||
            !std::all_of(pid.begin(), pid.end(), [](unsigned char c) { return std::isdigit(c); }))
            continue;
        const std::string base = "/proc/" + pid;
        found = dhclientFor(splitAtNul(readWholeFile(base + "/cmdline")), interface);
        if (!found || readLink(base + "/ns/net") != ownNamespace) {
            found.reset();
            continue;
        }
        found->program = dhclientProgram(readLink(base + "/exe"));
        qCInfo(lcLinuxAdapters) << "the dhclient of" << interface.c_str() << "is process"
                                << pid.c_str() << "; runs" << found->program.c_str() << "for it";
        break;
    }
    closedir(proc);
    return found;
}

// Runs a program to its end with no input and its output discarded; gives its exit code, or -1
// when it could not run or was killed. A client that goes to the background leaves this wait
// once its first process exits.
int runToEnd(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // A client left running in the background must not hold our pipes or files open.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t child = 0;
    const int spawned =
        posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        qCWarning(lcLinuxAdapters) << "cannot run" << program.c_str() << ":" << strerror(spawned);
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::string line = program;
    for (const std::string& argument : arguments)
        line += " " + argument;
    qCDebug(lcLinuxAdapters) << line.c_str() << "->" << code;
    return code;
}

// Adapters from the kernel, gateways from the routing table, leases through dhclient. A client
// stopped by a release is remembered, so that the renew that follows starts a fresh one with the
// same files; as on Windows, an interface without a DHCP client cannot be released or renewed.
class LinuxIpHelper final : public IpHelper {
public:
    std::uint32_t getAdaptersInfo(IpAdapterInfo* buffer, std::uint32_t* count) override
    {
        const auto gateways = defaultGateways(readWholeFile("/proc/net/route"));
        std::vector<IpAdapterInfo> records;
        for (const Interface& interface : upInterfaces()) {
            IpAdapterInfo record;
            record.Index = static_cast<std::int32_t>(interface.index);
            setFixedText(record.Description, interface.name);
            setFixedText(record.IpAddress,
                         interface.address.empty() ? "0.0.0.0" : interface.address);
            const auto gateway = gateways.find(interface.name);
            if (gateway != gateways.end())
                setFixedText(record.GatewayAddress, gateway->second);
            records.push_back(record);
        }
        return answerAdaptersInfo(records, buffer, count);
    }

    std::uint32_t getInterfaceInfo(std::uint8_t* block, std::uint32_t* size) override
    {
        std::vector<IpAdapterIndexMap> entries;
        for (const Interface& interface : upInterfaces()) {
            IpAdapterIndexMap entry;
            entry.Index = interface.index;
            std::copy_n(interface.name.begin(),
                        std::min(interface.name.size(), entry.Name.size() - 1), entry.Name.begin());
            entries.push_back(entry);
        }
        return answerInterfaceInfo(entries, block, size);
    }

    std::uint32_t ipReleaseAddress(const IpAdapterIndexMap& entry) override
    {
        const std::string interface = interfaceName(entry);
        if (interface.empty())
            return ERROR_NOT_FOUND;
        std::optional<DhclientInvocation> client = runningDhclient(interface);
        if (!client)
            client = remembered(interface);
        if (!client)
            return ERROR_NOT_SUPPORTED;
        m_stopped[interface] = *client;
        const int code =
            runToEnd(client->program, dhclientArguments(*client, DhclientMode::Release, interface));
        return code == 0 ? NO_ERROR : ERROR_GEN_FAILURE;
    }

    std::uint32_t ipRenewAddress(const IpAdapterIndexMap& entry) override
    {
        const std::string interface = interfaceName(entry);
        if (interface.empty())
            return ERROR_NOT_FOUND;
        // Never a second client beside a running one: the running one makes way for the fresh
        // client, which asks the server again for the lease it held.
        std::optional<DhclientInvocation> client = runningDhclient(interface);
        if (client) {
            m_stopped[interface] = *client;
            if (runToEnd(client->program,
                         dhclientArguments(*client, DhclientMode::Stop, interface)) != 0)
                return ERROR_GEN_FAILURE;
        } else {
            client = remembered(interface);
        }
        if (!client)
            return ERROR_NOT_SUPPORTED;
        if (runToEnd(client->program,
                     dhclientArguments(*client, DhclientMode::ObtainOnce, interface)) == 0) {
            m_stopped.erase(interface);
            return NO_ERROR;
        }
        // No lease now: leave a client asking in the background, as the interface had before,
        // rather than an interface that nothing will configure again.
        if (runToEnd(client->program,
                     dhclientArguments(*client, DhclientMode::KeepTrying, interface)) == 0)
            m_stopped.erase(interface);
        return ERROR_GEN_FAILURE;
    }

    int socketsStartup(std::uint16_t) override
    {
        ++m_socketStarts;
        return 0;
    }

    int socketsCleanup() override
    {
        if (m_socketStarts == 0)
            return WSANOTINITIALISED;
        --m_socketStarts;
        return 0;
    }

private:
    static std::string interfaceName(const IpAdapterIndexMap& entry)
    {
        char name[IF_NAMESIZE] = {};
        return if_indextoname(entry.Index, name) ? std::string(name) : std::string();
    }

    std::optional<DhclientInvocation> remembered(const std::string& interface) const
    {
        const auto found = m_stopped.find(interface);
        if (found == m_stopped.end())
            return std::nullopt;
        return found->second;
    }

    std::map<std::string, DhclientInvocation> m_stopped;
    int m_socketStarts = 0;
};

} // namespace

std::unique_ptr<IpHelper> makeSystemIpHelper()
{
    return std::make_unique<LinuxIpHelper>();
}

} // namespace tolvane
