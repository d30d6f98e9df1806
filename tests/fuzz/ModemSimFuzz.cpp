// The stand-in modem's request handling on hostile requests. Each input is up to four raw
// requests, separated by a line "--next--", sent one connection each to a fresh modem over
// loopback, so that a login in one request opens the pages behind it to the next. A first line
// that starts with "@" picks the modem's mode and faults by word: mini, drop, garbage, late,
// nofile, noversion, noadsl, refuse, password.
#include "FuzzCheck.h"
#include "ModemSimulator.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace tolvane::modemsim;

namespace {

constexpr std::size_t MostRequests = 4;
const std::string Separator = "\r\n--next--\r\n";

SimOptions optionsFrom(std::string& input)
{
    SimOptions options;
    options.listenPort = 0;
    options.writeSeconds = 0;
    options.restartSeconds = 0;
    if (input.empty() || input[0] != '@')
        return options;
    const auto end = input.find('\n');
    const std::string words = input.substr(0, end);
    input.erase(0, end == std::string::npos ? input.size() : end + 1);
    const auto has = [&words](const char* word) {
        return words.find(word) != std::string::npos;
    };
    options.mode = has("mini") ? SimMode::Mini : SimMode::Kernel;
    options.faults.dropUpload = has("drop");
    options.faults.garbageStatus = has("garbage");
    options.faults.lateVersionTag = has("late");
    options.faults.noFileInput = has("nofile");
    options.faults.noVersionTag = has("noversion");
    options.faults.noAdslTag = has("noadsl");
    options.faults.refuseUploads = has("refuse");
    options.faults.refusePasswords = has("password");
    return options;
}

std::vector<std::string> requestsOf(const std::string& input)
{
    std::vector<std::string> requests;
    std::size_t from = 0;
    while (requests.size() < MostRequests) {
        const auto at = input.find(Separator, from);
        if (at == std::string::npos || requests.size() + 1 == MostRequests) {
            requests.push_back(input.substr(from));
            break;
        }
        requests.push_back(input.substr(from, at - from));
        from = at + Separator.size();
    }
    return requests;
}

int connectTo(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(fd >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    FUZZ_CHECK(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    return fd;
}

// poll() for one descriptor, resumed after signals (libFuzzer's timer sends some).
int waitForInput(int fd, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int waited = poll(&ready, 1, static_cast<int>(std::max<long>(0, left.count())));
        if (waited >= 0 || errno != EINTR)
            return waited;
    }
}

// Sends the request and reads the answer until the modem closes the connection. A request the
// modem is still waiting to see the end of gets no answer: the connection is closed after a short
// silence instead of waiting for the modem's read timeout. (Closing only the sending side would
// not do: the modem takes a half-closed connection for a client that has gone.)
std::string exchange(int port, const std::string& request, int silenceMs)
{
    const int fd = connectTo(port);
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the modem may close early on a request it refuses
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    char buffer[4096];
    for (;;) {
        // Once an answer has begun, the rest must follow: the modem's write timeout is 15 s.
        const int waited = waitForInput(fd, answer.empty() ? silenceMs : 20000);
        if (waited == 0 && answer.empty())
            break;
        FUZZ_CHECK(waited == 1);
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // an end or a reset
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return answer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    ModemSimulator modem(optionsFrom(input));
    std::string error;
    FUZZ_CHECK(modem.start(error));
    for (const std::string& request : requestsOf(input)) {
        const std::string answer = exchange(modem.port(), request, 20);
        if (!answer.empty())
            FUZZ_CHECK(answer.compare(0, 5, "HTTP/") == 0);
    }
    // Still serving after all of it.
    FUZZ_CHECK(!modem.failed());
    const std::string login =
        exchange(modem.port(), "GET /login.stm HTTP/1.1\r\nHost: m\r\n\r\n", 20000);
    if (login.compare(0, 15, "HTTP/1.1 200 OK") != 0)
        std::fprintf(stderr, "%s\n", login.c_str());
    FUZZ_CHECK(login.compare(0, 15, "HTTP/1.1 200 OK") == 0);
    modem.stop();
    return 0;
}
