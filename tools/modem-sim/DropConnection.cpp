#include "DropConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace tolvane::modemsim {

namespace {

bool endpointIs(const sockaddr_storage& address, const std::string* host, int port)
{
    char text[INET6_ADDRSTRLEN] = {};
    int actualPort = -1;
    if (address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        actualPort = ntohs(in->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        actualPort = ntohs(in6->sin6_port);
    } else {
        return false;
    }
    return actualPort == port && (!host || *host == text);
}

} // namespace

bool dropConnection(int localPort, const std::string& remoteAddress, int remotePort)
{
    // The HTTP library does not hand its sockets to request handlers, so find ours among the
    // process's descriptors: a connection is unique by its two endpoints.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const int most = limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > 65536
                         ? 65536
                         : static_cast<int>(limit.rlim_cur);
    for (int fd = 0; fd < most; ++fd) {
        struct stat status {};
        if (fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode))
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
            continue;
        if (!endpointIs(local, nullptr, localPort) || !endpointIs(peer, &remoteAddress, remotePort))
            continue;
        // Linger 0: the library's later close() sends a reset instead of an orderly end.
        const linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        shutdown(fd, SHUT_RDWR);
        return true;
    }
    return false;
}

} // namespace tolvane::modemsim
