#include "SimOptions.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

namespace tolvane::modemsim {

namespace {

std::optional<double> parseNumber(std::string_view text)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> parseWhole(std::string_view text, int most)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > most)
        return std::nullopt;
    return value;
}

// "127.0.0.1:8080", "[::1]:8080"
bool parseListen(std::string_view text, SimOptions& options)
{
    std::string_view host;
    std::string_view port;
    if (text.starts_with('[')) {
        const auto close = text.find("]:");
        if (close == std::string_view::npos)
            return false;
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos)
            return false;
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return false; // an IPv6 address needs its brackets
    }
    const auto number = parseWhole(port, 65535);
    if (host.empty() || !number)
        return false;
    options.listenHost = std::string(host);
    options.listenPort = *number;
    return true;
}

std::string addFault(std::string_view name, Faults& faults)
{
    const std::map<std::string_view, bool Faults::*> flags = {
        {"refuse-uploads", &Faults::refuseUploads},
        {"no-file-input", &Faults::noFileInput},
        {"no-version-tag", &Faults::noVersionTag},
        {"late-version-tag", &Faults::lateVersionTag},
        {"no-adsl-tag", &Faults::noAdslTag},
        {"drop-upload", &Faults::dropUpload},
        {"garbage-status", &Faults::garbageStatus},
        {"refuse-passwords", &Faults::refusePasswords},
        {"login-elsewhere", &Faults::loginElsewhere},
        {"upload-elsewhere", &Faults::uploadElsewhere},
    };
    if (const auto flag = flags.find(name); flag != flags.end()) {
        faults.*(flag->second) = true;
        return {};
    }
    constexpr std::string_view delay = "delay=";
    if (name.starts_with(delay)) {
        const auto ms = parseWhole(name.substr(delay.size()), 3'600'000);
        if (!ms)
            return "the delay of --fault delay=MS must be a whole number of milliseconds";
        faults.delayMs = *ms;
        return {};
    }
    constexpr std::string_view missed = "missed-versions=";
    if (name.starts_with(missed)) {
        const auto count = parseWhole(name.substr(missed.size()), 1'000'000);
        if (!count)
            return "--fault missed-versions=N takes a whole number of status pages";
        faults.missedVersions = *count;
        return {};
    }
    return "unknown fault '" + std::string(name) + "' (see --help)";
}

std::string addFaults(std::string_view list, Faults& faults)
{
    for (;;) {
        const auto comma = list.find(',');
        if (const std::string error = addFault(list.substr(0, comma), faults); !error.empty())
            return error;
        if (comma == std::string_view::npos)
            return {};
        list.remove_prefix(comma + 1);
    }
}

std::string setSeconds(std::string_view text, double& target, std::string_view option)
{
    const auto value = parseNumber(text);
    if (!value || *value < 0 || *value > 86400)
        return std::string(option) + " takes a number of seconds from 0 to 86400";
    target = *value;
    return {};
}

} // namespace

ParsedCommandLine parseSimCommandLine(const std::vector<std::string>& arguments)
{
    ParsedCommandLine parsed;
    SimOptions& o = parsed.options;
    using Setter = std::function<std::string(std::string_view)>;
    const std::map<std::string_view, Setter> setters = {
        {"--listen",
         [&](std::string_view v) -> std::string {
             return parseListen(v, o) ? "" : "--listen takes ADDRESS:PORT, e.g. 127.0.0.1:8080";
         }},
        {"--version",
         [&](std::string_view v) -> std::string {
             o.versionText = v;
             return {};
         }},
        {"--mode",
         [&](std::string_view v) -> std::string {
             if (v != "kernel" && v != "mini")
                 return "--mode takes kernel or mini";
             o.mode = v == "mini" ? SimMode::Mini : SimMode::Kernel;
             return {};
         }},
        {"--password",
         [&](std::string_view v) -> std::string {
             o.password = v;
             return {};
         }},
        {"--annex",
         [&](std::string_view v) -> std::string {
             if (v != "A" && v != "B")
                 return "--annex takes A or B";
             o.annex = v;
             return {};
         }},
        {"--mac",
         [&](std::string_view v) -> std::string {
             o.mac = v;
             return {};
         }},
        {"--write-seconds",
         [&](std::string_view v) {
             return setSeconds(v, o.writeSeconds, "--write-seconds");
         }},
        {"--restart-seconds",
         [&](std::string_view v) {
             return setSeconds(v, o.restartSeconds, "--restart-seconds");
         }},
        {"--session-seconds",
         [&](std::string_view v) -> std::string {
             if (const std::string error = setSeconds(v, o.sessionSeconds, "--session-seconds");
                 !error.empty() || o.sessionSeconds > 0)
                 return error;
             return "--session-seconds must be above 0";
         }},
        {"--time-scale",
         [&](std::string_view v) -> std::string {
             const auto value = parseNumber(v);
             if (!value || *value <= 0 || *value > 1000)
                 return "--time-scale takes a factor above 0, e.g. 0.01";
             o.timeScale = *value;
             return {};
         }},
        {"--state-file",
         [&](std::string_view v) -> std::string {
             if (v.empty())
                 return "--state-file needs a path";
             o.stateFile = v;
             return {};
         }},
        {"--fault",
         [&](std::string_view v) {
             return addFaults(v, o.faults);
         }},
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view word = arguments[i];
        if (word == "--help" || word == "-h") {
            parsed.help = true;
            continue;
        }
        std::optional<std::string_view> value;
        if (const auto equals = word.find('='); word.starts_with("--") && equals != word.npos) {
            value = word.substr(equals + 1);
            word = word.substr(0, equals);
        }
        const auto setter = setters.find(word);
        if (setter == setters.end()) {
            parsed.error = "unknown option '" + std::string(word) + "'";
            return parsed;
        }
        if (!value) {
            if (i + 1 == arguments.size()) {
                parsed.error = std::string(word) + " needs a value";
                return parsed;
            }
            value = arguments[++i];
        }
        if (std::string error = setter->second(*value); !error.empty()) {
            parsed.error = std::move(error);
            return parsed;
        }
    }
    return parsed;
}

std::string simUsage()
{
    return R"usage(Usage: tolvane-modem-sim [OPTION]...
A stand-in for the Velmora KVX4120/07 modem's web pages: login, status, firmware upgrade.

  --listen ADDR:PORT      where to listen (default 127.0.0.1:8080; port 0 picks a free one;
                          IPv6 as [::1]:8080). Prints "listening on ADDR:PORT" once bound.
  --version TEXT          firmware version text (default "0.39k (Nov 15 2005)")
  --mode kernel|mini      kernel pages or the mini kernel's upgrade page only (default kernel)
  --password TEXT         password of the user "root" (default "admin")
  --annex A|B             the modem's annex (default A)
  --mac TEXT              LAN MAC address (default 00:17:3F:5A:21:C4)
  --write-seconds N       time to write an accepted image (default 20)
  --restart-seconds N     time the modem is down while restarting (default 8)
  --time-scale F          factor on the write and restart times (default 1)
  --session-seconds N     how long a login lasts without requests (default 300)
  --state-file PATH       JSON file rewritten after every change
  --fault NAME            misbehave; repeat or separate names by commas:
                            refuse-uploads, no-file-input, no-version-tag, late-version-tag,
                            no-adsl-tag, drop-upload, garbage-status, refuse-passwords,
                            login-elsewhere, upload-elsewhere, delay=MS, missed-versions=N
  -h, --help              show this text

Stops cleanly on SIGTERM or SIGINT. One line per request on stderr.
)usage";
}

} // namespace tolvane::modemsim
