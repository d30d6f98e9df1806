// Runs AdapterRefreshCycle once on the system's real IP Helper and prints the gateway table.
// It releases and renews real leases, so it runs only inside the network namespace whose name it
// is given, one that the end-to-end test made with `ip netns add tolvane-...`.

#include "adapters/AdapterRefreshCycle.h"
#include "common/EventLoopClock.h"
#include "common/GatewayTable.h"
#include "common/Pause.h"
#include "platform/IpHelper.h"
#include "platform/MessageBoxes.h"
#include "platform/MousePointer.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

// True when this process runs in the named namespace: the name's bind mount under /run/netns and
// our own namespace are the same file.
bool insideNamedNamespace(const std::string& name)
{
    struct stat named = {}, own = {};
    return name.rfind("tolvane-", 0) == 0 && name.find('/') == std::string::npos &&
           stat(("/run/netns/" + name).c_str(), &named) == 0 &&
           stat("/proc/self/ns/net", &own) == 0 && named.st_dev == own.st_dev &&
           named.st_ino == own.st_ino;
}

class PrintedMessageBoxes final : public tolvane::MessageBoxes {
public:
    void show(const std::string& text, const std::string& title, tolvane::MessageIcon) override
    {
        std::printf("MessageBox=%s|%s\n", title.c_str(), text.c_str());
    }
};

} // namespace

int main(int argc, char** argv)
{
    using namespace tolvane;
    if (argc < 2 || !insideNamedNamespace(argv[1])) {
        std::fprintf(stderr, "usage: ip netns exec tolvane-NAME adapters_refresh_probe "
                             "tolvane-NAME [TIME_SCALE]\nrefusing to release and renew leases "
                             "outside the test's own network namespace\n");
        return 3;
    }
    QCoreApplication application(argc, argv);
    EventLoopClock clock;
    InstallPauseClock(&clock);
    SetPauseScale(argc > 2 ? std::atof(argv[2]) : 1.0);

    const std::unique_ptr<IpHelper> ipHelper = makeSystemIpHelper();
    const std::unique_ptr<MousePointer> pointer = makeMousePointer();
    PrintedMessageBoxes boxes;
    GatewayTable table;
    AdapterRefreshCycle(*ipHelper, *pointer, boxes, table);

    std::printf("GatewayCount=%d\n", table.GatewayCount);
    for (int i = 0; i < table.GatewayCount; ++i)
        std::printf("GatewayAddresses(%d)=%s\n", i,
                    table.GatewayAddresses[static_cast<std::size_t>(i)].c_str());
    return 0;
}
