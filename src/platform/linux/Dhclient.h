#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvane {

// How to reach the ISC dhclient that keeps one interface's lease: its program and the options it
// was started with (files, script, configuration), without its mode flags and interface names,
// so that a release, a stop or a fresh client uses the same lease and pid files as the running
// one.
struct DhclientInvocation {
    std::string program;
    std::vector<std::string> options;

    bool operator==(const DhclientInvocation&) const = default;
};

// Reads the command line (argv) of a running process. Gives the invocation when the process is
// dhclient for IPv4 started for `interface` alone; a client for several interfaces, for all of
// them (none named) or without a pid file cannot be stopped for one interface and gives nothing.
std::optional<DhclientInvocation> dhclientFor(const std::vector<std::string>& argv,
                                              const std::string& interface);

// The program that runs a client whose process runs `exe` (the target of its /proc/PID/exe link):
// that file where this process can run it, otherwise the dhclient on the PATH. A client started
// in another mount namespace or chroot, or from a binary replaced since, runs from a file that is
// not there for this process.
std::string dhclientProgram(const std::string& exe);

enum class DhclientMode {
    Release,    // -r: send a release, stop the running client, drop the address
    Stop,       // -x: stop the running client without releasing
    ObtainOnce, // -1: obtain a lease, then keep it in the background; exit 2 if none
    KeepTrying, // -nw: go to the background at once and keep asking for a lease
};

// The arguments (without the program) that run `invocation` for `interface` in `mode`.
std::vector<std::string> dhclientArguments(const DhclientInvocation& invocation, DhclientMode mode,
                                           const std::string& interface);

} // namespace tolvane
