// The stand-in modem's request handling on hostile requests. Each input is up to four raw requests,
// separated by a line "--next--", sent one connection each to a fresh modem over loopback, so that
// a login in one request opens the pages behind it to the next. A first line that starts with "@"
// picks the modem's mode and faults by word: mini, drop, garbage, late, nofile, noversion, noadsl,
// refuse, password.
#include "FuzzCheck.h"
#include "ModemSimulator.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

using namespace tolvane::modemsim;

namespace {

SimOptions optionsFrom(std::string& input)
{
    SimOptions options;
    options.listenPort = 0;
    options.writeSeconds = 0;
    options.restartSeconds = 0;
    if (input.empty() || input[0] != '@')
        return options;
    const std::string words = input.substr(0, input.find('\n'));
    input.erase(0, words.size() + 1);
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

// Sends the request and reads the answer until the modem closes the connection. A request the
// modem is still waiting to see the end of gets no answer: the connection is closed after
// `silenceMs` instead of waiting for the modem's read timeout. (Closing only the sending side
// would not do: the modem takes a half-closed connection for a client that has gone.) Calls
// interrupted by a signal (libFuzzer's timer sends some) are retried.
std::string exchange(int port, const std::string& request, int silenceMs)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    FUZZ_CHECK(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n == 0 || (n < 0 && errno != EINTR))
            break; // the modem may close early on a request it refuses
        sent += static_cast<std::size_t>(std::max<ssize_t>(n, 0));
    }
    std::string answer;
    for (char buffer[4096];;) {
        // Once an answer has begun, the rest must follow: the modem's write timeout is 15 s.
        pollfd ready{fd, POLLIN, 0};
        const int waited = poll(&ready, 1, answer.empty() ? silenceMs : 20000);
        if (waited < 0 && errno == EINTR)
            continue;
        if (waited == 0 && answer.empty())
            break;
        FUZZ_CHECK(waited == 1);
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR))
            break; // an end or a reset
        answer.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
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
    const std::string separator = "\r\n--next--\r\n";
    for (int i = 0; i < 4; ++i) {
        const auto end = i == 3 ? std::string::npos : input.find(separator);
        const std::string answer = exchange(modem.port(), input.substr(0, end), 20);
        FUZZ_CHECK(answer.empty() || answer.compare(0, 5, "HTTP/") == 0);
        if (end == std::string::npos)
            break;
        input.erase(0, end + separator.size());
    }
    // Still serving after all of it.
    FUZZ_CHECK(!modem.failed());
    const std::string login =
        exchange(modem.port(), "GET /login.stm HTTP/1.1\r\nHost: m\r\n\r\n", 20000);
    FUZZ_CHECK(login.compare(0, 15, "HTTP/1.1 200 OK") == 0);
    modem.stop();
    return 0;
}
