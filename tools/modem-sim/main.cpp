#include "ModemSimulator.h"
#include "SimOptions.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace tolvane::modemsim;

    const ParsedCommandLine parsed =
        parseSimCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tolvane-modem-sim: %s\nTry 'tolvane-modem-sim --help'.\n",
                     parsed.error.c_str());
        return 2;
    }
    if (parsed.help) {
        std::fputs(simUsage().c_str(), stdout);
        return EXIT_SUCCESS;
    }

    // Blocked before the server's threads exist, so that only the wait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ModemSimulator modem(parsed.options, [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
    });
    std::string error;
    if (!modem.start(error)) {
        std::fprintf(stderr, "tolvane-modem-sim: %s\n", error.c_str());
        return EXIT_FAILURE;
    }
    std::printf("listening on %s\n", modem.address().c_str());
    std::fflush(stdout);

    const timespec poll{0, 200'000'000};
    while (!modem.failed()) {
        const int signal = sigtimedwait(&stopSignals, nullptr, &poll);
        if (signal == SIGINT || signal == SIGTERM)
            break;
    }
    modem.stop();
    return modem.failed() ? EXIT_FAILURE : EXIT_SUCCESS;
}
