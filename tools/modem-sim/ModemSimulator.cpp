#include "ModemSimulator.h"

#include "DropConnection.h"
#include "ImageTrailer.h"
#include "ModemPages.h"
#include "StateFile.h"
#include "UpgradePath.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <httplib.h>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <utility>

namespace tolvane::modemsim {

namespace {

using Clock = std::chrono::steady_clock;
using HandlerResponse = httplib::Server::HandlerResponse;

enum class Phase { Running, Writing, Restarting };

// What the handler of a request wants said about it on the request's log line. The logger runs
// on the thread that handled the request.
thread_local std::string t_note;

constexpr std::size_t MaxUploadBytes = 16 * 1024 * 1024;
constexpr std::size_t StatusGarbageBytes = 4096;

Clock::duration scaledSeconds(double seconds, double scale)
{
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(seconds * scale));
}

std::string timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03d",
                  static_cast<int>(ms.count() % 1000));
    return text;
}

const char* phaseName(Phase phase)
{
    switch (phase) {
    case Phase::Running:
        return "running";
    case Phase::Writing:
        return "writing";
    case Phase::Restarting:
        return "restarting";
    }
    return "";
}

// A form field from a urlencoded or a multipart body.
std::string formValue(const httplib::Request& request, const std::string& name)
{
    if (request.has_param(name))
        return request.get_param_value(name);
    if (request.has_file(name))
        return request.get_file_value(name).content;
    return {};
}

// Aims the page's form that sends to `cgi` at a host that is not the modem.
void aimElsewhere(std::string& page, const std::string& cgi)
{
    const std::string action = "action=\"" + cgi + '"';
    if (const auto at = page.find(action); at != std::string::npos)
        page.replace(at, action.size(), "action=\"http://elsewhere.invalid/" + cgi + '"');
}

void sendPage(httplib::Response& response, const std::string& html, int status = 200)
{
    response.status = status;
    response.set_header("Cache-Control", "no-cache");
    response.set_content(html, "text/html");
}

void reuseAddressOnly(socket_t socket)
{
    // Not SO_REUSEPORT: a second modem on a taken port must fail instead of sharing it.
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

} // namespace

struct ModemSimulator::Impl {
    Impl(SimOptions simOptions, LogSink logSink)
        : options(std::move(simOptions)), log(std::move(logSink)),
          writeTime(scaledSeconds(options.writeSeconds, options.timeScale)),
          restartTime(scaledSeconds(options.restartSeconds, options.timeScale)),
          sessionTime(scaledSeconds(options.sessionSeconds, 1.0)), port(options.listenPort),
          versionText(options.versionText), mode(options.mode)
    {}

    const SimOptions options;
    const LogSink log;
    const Clock::duration writeTime;
    const Clock::duration restartTime;
    const Clock::duration sessionTime;
    std::atomic<int> port;
    std::atomic<bool> failed{false};

    // Everything below is guarded by `mutex`, except the server objects, which only start(),
    // stop() and the supervisor touch, one at a time.
    mutable std::mutex mutex;
    std::condition_variable wake;
    Phase phase = Phase::Running;
    Clock::time_point phaseEnds;
    bool restartRequested = false;
    bool stopping = false;
    std::string versionText;
    SimMode mode;
    bool imageWritten = false;
    std::optional<std::string> pendingVersion;
    // Status pages still to be served without their version, counted from the first restart.
    int missedVersionsLeft = 0;
    Clock::time_point bootedAt = Clock::now();
    std::map<std::string, Clock::time_point> sessions; // client address -> expiry
    ModemReport report;
    bool stateFileComplained = false;

    std::unique_ptr<httplib::Server> server;
    std::thread listener;
    std::thread supervisor;
    bool started = false;

    std::string address() const
    {
        const std::string& host = options.listenHost;
        const std::string shown = host.find(':') == std::string::npos ? host : "[" + host + "]";
        return shown + ":" + std::to_string(port.load());
    }

    void event(const std::string& text) const
    {
        if (log)
            log(timestamp() + " modem: " + text);
    }

    void saveStateLocked()
    {
        if (options.stateFile.empty())
            return;
        report.listen = address();
        report.versionText = versionText;
        report.mode = mode == SimMode::Mini ? "mini" : "kernel";
        report.phase = phaseName(phase);
        report.imageWritten = imageWritten;
        report.sessions = static_cast<int>(sessions.size());
        if (!writeStateFile(options.stateFile, report) && !stateFileComplained) {
            stateFileComplained = true;
            event("cannot write the state file " + options.stateFile);
        }
    }

    bool hasSessionLocked(const std::string& client)
    {
        const auto session = sessions.find(client);
        if (session == sessions.end())
            return false;
        const auto now = Clock::now();
        if (session->second <= now) {
            sessions.erase(session);
            return false;
        }
        session->second = now + sessionTime;
        return true;
    }

    void beginWritingLocked()
    {
        event("writing firmware " + pendingVersion.value_or("?"));
        if (writeTime <= Clock::duration::zero()) {
            finishWritingLocked();
            return;
        }
        phase = Phase::Writing;
        phaseEnds = Clock::now() + writeTime;
        wake.notify_all();
    }

    void finishWritingLocked()
    {
        phase = Phase::Running;
        if (mode == SimMode::Mini) {
            imageWritten = true;
            event("image written, waiting for save and restart");
        } else {
            requestRestartLocked();
        }
    }

    void requestRestartLocked()
    {
        if (phase == Phase::Restarting)
            return; // a second request that slipped in before the port closed
        if (restartTime <= Clock::duration::zero()) {
            completeRestartLocked();
            event("restarted at once, version " + versionText);
            return;
        }
        phase = Phase::Restarting;
        restartRequested = true;
        wake.notify_all();
    }

    void completeRestartLocked()
    {
        if (pendingVersion)
            versionText = *std::exchange(pendingVersion, std::nullopt);
        // The mini kernel restarts only to boot a freshly written image.
        mode = SimMode::Kernel;
        imageWritten = false;
        sessions.clear();
        if (report.restarts == 0)
            missedVersionsLeft = options.faults.missedVersions;
        ++report.restarts;
        bootedAt = Clock::now();
        phase = Phase::Running;
    }

    void supervise()
    {
        std::unique_lock lock(mutex);
        const auto isStopping = [this] {
            return stopping;
        };
        while (!stopping) {
            if (phase == Phase::Writing) {
                if (wake.wait_until(lock, phaseEnds, isStopping))
                    break;
                finishWritingLocked();
                saveStateLocked();
                continue;
            }
            if (restartRequested) {
                restartRequested = false;
                event("restarting");
                saveStateLocked();
                lock.unlock();
                shutDownServer();
                lock.lock();
                if (wake.wait_until(lock, Clock::now() + restartTime, isStopping))
                    break;
                completeRestartLocked();
                lock.unlock();
                std::string error;
                const bool up = bootServer(error, true);
                lock.lock();
                if (!up) {
                    failed = true;
                    event("cannot listen again after the restart: " + error);
                    saveStateLocked();
                    break;
                }
                event("up, version " + versionText);
                saveStateLocked();
                continue;
            }
            wake.wait(lock,
                      [this] { return stopping || phase == Phase::Writing || restartRequested; });
        }
    }

    bool bootServer(std::string& error, bool rebind)
    {
        auto next = std::make_unique<httplib::Server>();
        configure(*next);
        const std::string& host = options.listenHost;
        if (port == 0) {
            const int bound = next->bind_to_any_port(host);
            if (bound > 0)
                port = bound;
        } else {
            // After a restart the old socket may take a moment to let go of the port.
            for (int attempt = 0; !next->bind_to_port(host, port); ++attempt) {
                if (!rebind || attempt == 40) {
                    error = "cannot listen on " + address();
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        if (port == 0) {
            error = "cannot listen on " + host;
            return false;
        }
        httplib::Server* const raw = next.get();
        listener = std::thread([raw] { raw->listen_after_bind(); });
        // stop() does nothing to a server that has not begun listening yet.
        for (int wait = 0; !raw->is_running() && wait < 2000; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        server = std::move(next);
        return true;
    }

    void shutDownServer()
    {
        if (server)
            server->stop();
        if (listener.joinable())
            listener.join();
        server.reset();
    }

    void configure(httplib::Server& http)
    {
        http.set_socket_options(reuseAddressOnly);
        // Like the modem's small server: one request per connection, so a restart can close
        // the port at once instead of waiting for idle connections.
        http.set_keep_alive_max_count(1);
        http.set_payload_max_length(MaxUploadBytes);
        http.set_read_timeout(std::chrono::seconds(15));
        http.set_write_timeout(std::chrono::seconds(15));
        http.set_pre_routing_handler(
            [this](const httplib::Request& request, httplib::Response& response) {
                return preRoute(request, response);
            });
        http.Post(
            "/upgrade.cgi",
            [this](const httplib::Request& request, httplib::Response& response,
                   const httplib::ContentReader& reader) { upload(request, response, reader); });
        http.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            serveGet(request, response);
            aimFormsElsewhere(response);
        });
        http.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
            servePost(request, response);
            aimFormsElsewhere(response);
        });
        http.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
            if (!log)
                return;
            std::string line = timestamp() + " " + request.remote_addr + " " + request.method +
                               " " + request.path + " " + std::to_string(response.status) + " " +
                               std::to_string(response.body.size());
            if (!t_note.empty())
                line += " (" + t_note + ")";
            log(line);
        });
    }

    void aimFormsElsewhere(httplib::Response& response) const
    {
        if (options.faults.loginElsewhere)
            aimElsewhere(response.body, "login.cgi");
        if (options.faults.uploadElsewhere)
            aimElsewhere(response.body, "upgrade.cgi");
    }

    HandlerResponse preRoute(const httplib::Request&, httplib::Response& response)
    {
        t_note.clear();
        if (options.faults.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.faults.delayMs));
        const std::lock_guard lock(mutex);
        ++report.requests;
        if (phase != Phase::Running) {
            t_note = phaseName(phase);
            response.set_header("Retry-After", "30");
            sendPage(response, busyPage(), 503);
            saveStateLocked();
            return HandlerResponse::Handled;
        }
        saveStateLocked();
        return HandlerResponse::Unhandled;
    }

    StatusValues statusValuesLocked() const
    {
        StatusValues values;
        values.versionText = versionText;
        values.mac = options.mac;
        values.adslCode = options.annex == "A" ? "A2pB024k.d20m" : "B2pB024k.d20m";
        values.uptimeSeconds =
            std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - bootedAt).count();
        values.versionTag = !options.faults.noVersionTag;
        values.adslTag = !options.faults.noAdslTag;
        values.versionTagLate = options.faults.lateVersionTag;
        return values;
    }

    void serveGet(const httplib::Request& request, httplib::Response& response)
    {
        const std::lock_guard lock(mutex);
        const std::string& path = request.path;
        const Faults& faults = options.faults;
        if (mode == SimMode::Mini) {
            if (path == "/upgrade_firm_browse.htm")
                sendPage(response, miniUpgradePage(!faults.noFileInput));
            else if (path == "/tools_save_restart.htm" && imageWritten)
                sendPage(response, saveRestartPage());
            else
                sendPage(response, miniKernelPage(imageWritten));
            return;
        }
        if (path == "/login.stm") {
            sendPage(response, loginPage(false));
            return;
        }
        if (path == "/logout.cgi") {
            sessions.erase(request.remote_addr);
            saveStateLocked();
            sendPage(response, loginPage(false));
            return;
        }
        if (!hasSessionLocked(request.remote_addr)) {
            t_note = "login required";
            sendPage(response, loginPage(false));
            return;
        }
        if (path == "/" || path == "/index.stm") {
            sendPage(response, homePage(versionText));
        } else if (path == "/status_main.stm") {
            if (faults.garbageStatus) {
                sendPage(response, garbageBytes(StatusGarbageBytes));
            } else {
                StatusValues values = statusValuesLocked();
                if (missedVersionsLeft > 0) {
                    --missedVersionsLeft;
                    values.versionTag = false;
                    t_note = "version not shown yet";
                }
                sendPage(response, statusPage(values));
            }
        } else if (path == "/system_f.stm") {
            sendPage(response, kernelUpgradePage(versionText, !faults.noFileInput));
        } else if (const auto setup = setupPage(path)) {
            sendPage(response, *setup);
        } else {
            sendPage(response, notFoundPage(path), 404);
        }
    }

    void servePost(const httplib::Request& request, httplib::Response& response)
    {
        const std::lock_guard lock(mutex);
        const std::string& path = request.path;
        const std::string& client = request.remote_addr;
        if (mode == SimMode::Mini) {
            if (path == "/save_restart.cgi" && imageWritten) {
                ++report.saveRestarts;
                t_note = "save and restart";
                sendPage(response, restartingPage());
                requestRestartLocked();
            } else {
                sendPage(response, miniKernelPage(imageWritten));
            }
            saveStateLocked();
            return;
        }
        if (path == "/login.cgi") {
            login(request, response);
        } else if (path == "/logout.cgi") {
            sessions.erase(client);
            sendPage(response, loginPage(false));
        } else if (!hasSessionLocked(client)) {
            t_note = "login required";
            sendPage(response, loginPage(false));
        } else if (path == "/apply.cgi") {
            sendPage(response, settingsSavedPage());
        } else if (path == "/restart.cgi") {
            t_note = "restart";
            sendPage(response, restartingPage());
            requestRestartLocked();
        } else {
            sendPage(response, notFoundPage(path), 404);
        }
        saveStateLocked();
    }

    void login(const httplib::Request& request, httplib::Response& response)
    {
        // The password is compared, never logged.
        const bool accepted = !options.faults.refusePasswords &&
                              formValue(request, "username") == "root" &&
                              formValue(request, "pws") == options.password;
        if (!accepted) {
            ++report.loginsRefused;
            t_note = "login refused";
            sendPage(response, loginPage(true));
            return;
        }
        ++report.loginsAccepted;
        t_note = "login accepted";
        sessions[request.remote_addr] = Clock::now() + sessionTime;
        response.set_redirect("/");
        response.set_content("<html><body><a href=\"/\">Continue</a></body></html>\n", "text/html");
    }

    void upload(const httplib::Request& request, httplib::Response& response,
                const httplib::ContentReader& reader)
    {
        const std::size_t announced = request.get_header_value_count("Content-Length") > 0
                                          ? request.get_header_value<std::size_t>("Content-Length")
                                          : 0;
        const std::size_t dropAfter = !options.faults.dropUpload
                                          ? std::numeric_limits<std::size_t>::max()
                                      : announced > 1 ? announced / 2
                                                      : 65536;
        std::size_t received = 0;
        bool dropped = false;
        const auto arrived = [&](std::size_t size) {
            received += size;
            dropped = received >= dropAfter;
            return !dropped;
        };

        std::string image;
        bool imageField = false;
        bool imageSeen = false;
        bool complete = false;
        if (request.is_multipart_form_data()) {
            complete = reader(
                [&](const httplib::MultipartFormData& part) {
                    imageField = part.name == "webUpload";
                    imageSeen = imageSeen || imageField;
                    return true;
                },
                [&](const char* data, std::size_t size) {
                    if (imageField)
                        image.append(data, size);
                    return arrived(size);
                });
        } else {
            complete = reader([&](const char*, std::size_t size) { return arrived(size); });
        }

        const std::lock_guard lock(mutex);
        const bool mini = mode == SimMode::Mini;
        const auto refuse = [&](UploadRecord record, const std::string& page) {
            t_note = "upload refused: " + record.reason;
            report.uploadsRejected.push_back(std::move(record));
            sendPage(response, page);
            saveStateLocked();
        };
        if (dropped) {
            // Recorded first: the client learns of the cut at once and may read the state.
            refuse({received, "", "", "connection dropped during upload"}, "");
            event("dropped the connection of " + request.remote_addr + " after " +
                  std::to_string(received) + " bytes of an upload");
            dropConnection(request.local_port, request.remote_addr, request.remote_port);
            return;
        }
        if (!complete) {
            refuse({received, "", "", "upload incomplete"},
                   uploadRefusedPage("upload incomplete", mini));
            return;
        }
        if (phase != Phase::Running) {
            refuse({image.size(), "", "", "modem busy"}, busyPage());
            response.status = 503;
            return;
        }
        if (!mini && !hasSessionLocked(request.remote_addr)) {
            refuse({image.size(), "", "", "not logged in"}, loginPage(false));
            return;
        }
        if (options.faults.refuseUploads) {
            refuse({image.size(), "", "", "uploads refused"},
                   uploadRefusedPage("the modem refuses firmware uploads", mini));
            return;
        }
        if (!imageSeen || image.empty()) {
            refuse({image.size(), "", "", "no firmware file"},
                   uploadRefusedPage("no firmware file was selected", mini));
            return;
        }
        const ImageCheck check = checkImage(image, options.annex);
        std::string reason = check.reason;
        if (check.valid)
            reason = upgradeRefusal(versionNumberOf(versionText), check.label, check.variant);
        UploadRecord record{image.size(), check.label, check.variant, reason};
        if (!reason.empty()) {
            refuse(std::move(record), uploadRefusedPage(reason, mini));
            return;
        }
        t_note = "upload accepted: " + check.label + " " + check.variant;
        report.uploadsAccepted.push_back(std::move(record));
        pendingVersion = versionTextAfter(check.label);
        sendPage(response, uploadAcceptedPage(mini));
        beginWritingLocked();
        saveStateLocked();
    }
};

ModemSimulator::ModemSimulator(SimOptions options, LogSink log)
    : d(std::make_unique<Impl>(std::move(options), std::move(log)))
{}

ModemSimulator::~ModemSimulator()
{
    stop();
}

bool ModemSimulator::start(std::string& error)
{
    if (d->started)
        return true;
    if (!d->bootServer(error, false))
        return false;
    bool stateWritten = true;
    {
        const std::lock_guard lock(d->mutex);
        d->saveStateLocked();
        stateWritten = !d->stateFileComplained;
    }
    if (!stateWritten) {
        error = "cannot write the state file " + d->options.stateFile;
        d->shutDownServer();
        return false;
    }
    d->started = true;
    d->supervisor = std::thread([this] { d->supervise(); });
    return true;
}

void ModemSimulator::stop()
{
    if (!d->started)
        return;
    {
        const std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    if (d->supervisor.joinable())
        d->supervisor.join();
    d->shutDownServer();
    d->started = false;
}

std::string ModemSimulator::address() const
{
    return d->address();
}

int ModemSimulator::port() const
{
    return d->port;
}

bool ModemSimulator::failed() const
{
    return d->failed;
}

} // namespace tolvane::modemsim
