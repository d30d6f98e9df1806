#pragma once

#include "SimOptions.h"

#include <functional>
#include <memory>
#include <string>

namespace tolvane::modemsim {

// The stand-in modem: an HTTP server on its own threads that serves the modem's pages, keeps
// login sessions per client address, takes firmware uploads along the maker's upgrade path, and
// goes through write and restart windows (a restart closes the port until the modem is back).
class ModemSimulator final {
public:
    using LogSink = std::function<void(const std::string& line)>;

    // `log` receives one line per request and one per change of the modem's phase.
    explicit ModemSimulator(SimOptions options, LogSink log = {});
    ~ModemSimulator();
    ModemSimulator(const ModemSimulator&) = delete;
    ModemSimulator& operator=(const ModemSimulator&) = delete;

    // Binds and starts serving; on failure returns false with the reason in `error`.
    bool start(std::string& error);
    // Stops serving and waits for the server's threads; safe to call more than once.
    void stop();

    // Where the modem listens, "127.0.0.1:41234" or "[::1]:41234" (the bound port, also when
    // port 0 was asked for).
    std::string address() const;
    int port() const;
    // True when the modem could not take its port back after a restart.
    bool failed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tolvane::modemsim
