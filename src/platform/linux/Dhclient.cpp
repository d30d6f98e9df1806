#include "Dhclient.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unistd.h>

namespace tolvane {

namespace {

// Options of dhclient that take the next word as their value.
constexpr std::array<std::string_view, 11> ValueOptions = {"-p",  "-D",  "-s",  "-g", "-cf", "-df",
                                                           "-lf", "-pf", "-sf", "-e", "-4o6"};
constexpr std::array<std::string_view, 4> LongValueOptions = {
    "--dad-wait-time", "--prefix-len-hint", "--decline-wait-time", "--address-prefix-len"};

// Flags that choose what a run of dhclient does rather than how it keeps a lease.
constexpr std::array<std::string_view, 8> ModeFlags = {"-r",  "-x", "-1", "-d",
                                                       "-nw", "-w", "-n", "--version"};

template <typename List> bool contains(const List& list, std::string_view word)
{
    return std::find(list.begin(), list.end(), word) != list.end();
}

std::string_view baseName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

std::optional<DhclientInvocation> dhclientFor(const std::vector<std::string>& argv,
                                              const std::string& interface)
{
    if (argv.empty() || baseName(argv[0]) != "dhclient")
        return std::nullopt;
    DhclientInvocation invocation{argv[0], {}};
    std::vector<std::string> interfaces;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string& word = argv[i];
        if (word == "-6" || word == "--no-pid")
            return std::nullopt;
        if (contains(ValueOptions, word) || contains(LongValueOptions, word)) {
            if (i + 1 >= argv.size())
                return std::nullopt;
            invocation.options.push_back(word);
            invocation.options.push_back(argv[++i]);
        } else if (contains(ModeFlags, word)) {
            continue;
        } else if (!word.empty() && word[0] == '-') {
            invocation.options.push_back(word);
        } else {
            interfaces.push_back(word);
        }
    }
    if (interfaces.size() != 1 || interfaces[0] != interface)
        return std::nullopt;
    return invocation;
}

std::string dhclientProgram(const std::string& exe)
{
    const bool runnable = !exe.empty() && exe.find(" (deleted)") == std::string::npos &&
                          access(exe.c_str(), X_OK) == 0;
    return runnable ? exe : "dhclient";
}

std::vector<std::string> dhclientArguments(const DhclientInvocation& invocation, DhclientMode mode,
                                           const std::string& interface)
{
    std::vector<std::string> arguments;
    switch (mode) {
    case DhclientMode::Release:
        arguments.push_back("-r");
        break;
    case DhclientMode::Stop:
        arguments.push_back("-x");
        break;
    case DhclientMode::ObtainOnce:
        arguments.push_back("-1");
        break;
    case DhclientMode::KeepTrying:
        arguments.push_back("-nw");
        break;
    }
    arguments.insert(arguments.end(), invocation.options.begin(), invocation.options.end());
    arguments.push_back(interface);
    return arguments;
}

} // namespace tolvane
