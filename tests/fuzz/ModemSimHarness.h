#pragma once

#include "ModemSimulator.h"
#include "SimOptions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <arpa/inet.h>
#include <array>
#include <cstdint>
#include <functional>
#include <httplib.h>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>

// Used by the seed generator: start it on a free loopback port, talk to it as a plain
// HTTP client would, and build firmware images of the trailer format independently of the
// modem's own parser.
namespace modemsimtest {

using tolvane::modemsim::ModemSimulator;
using tolvane::modemsim::SimMode;
using tolvane::modemsim::SimOptions;

// Loopback, free port, and no write or restart window unless a test asks for one.
inline SimOptions instantOptions()
{
    SimOptions options;
    options.listenPort = 0;
    options.writeSeconds = 0;
    options.restartSeconds = 0;
    return options;
}

inline std::unique_ptr<ModemSimulator> startModem(const SimOptions& options)
{
    auto modem = std::make_unique<ModemSimulator>(options);
    std::string error;
    if (!modem->start(error))
        qFatal("the stand-in modem did not start: %s", error.c_str());
    return modem;
}

// A client of the modem; `fromAddress` makes it connect from another loopback address.
inline std::unique_ptr<httplib::Client> clientOf(const ModemSimulator& modem,
                                                 const std::string& fromAddress = {})
{
    auto client = std::make_unique<httplib::Client>("127.0.0.1", modem.port());
    client->set_connection_timeout(5);
    client->set_read_timeout(20);
    if (!fromAddress.empty()) {
        client->set_socket_options([fromAddress](socket_t socket) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            inet_pton(AF_INET, fromAddress.c_str(), &local.sin_addr);
            bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local);
        });
    }
    return client;
}

inline std::string getPage(httplib::Client& client, const std::string& path)
{
    const auto result = client.Get(path);
    return result ? result->body : std::string();
}

inline bool login(httplib::Client& client, const std::string& password = "admin")
{
    const auto result =
        client.Post("/login.cgi", httplib::Params{{"username", "root"}, {"pws", password}});
    return result && result->status == 302;
}

inline httplib::Result upload(httplib::Client& client, const std::string& image)
{
    const httplib::MultipartFormDataItems items = {
        {"page", "system_f", "", ""},
        {"webUpload", image, "firmware.bin", "application/octet-stream"},
    };
    return client.Post("/upgrade.cgi", items);
}

// The value the status page gives a tag, cut the way the program cuts it: after the tag and
// its opening quote, up to the character before the next ";".
inline std::string tagValue(const std::string& page, const std::string& tag)
{
    const auto at = page.find(tag);
    if (at == std::string::npos)
        return "<missing>";
    const auto start = at + tag.size() + 1;
    const auto end = page.find(';', start);
    return end == std::string::npos || end < start + 1 ? "<unterminated>"
                                                       : page.substr(start, end - start - 1);
}

inline QJsonObject readState(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// CRC-32 of IEEE 802.3, bit by bit, deliberately not zlib's: a test of the modem's checksums
// must not share their code.
inline std::uint32_t crc32Of(const std::string& bytes)
{
    std::uint32_t crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

struct ImageFields {
    std::string label = "0.42";
    std::string variant = "STD";
    std::string model = "KVX4120/07";
    std::string annex = "A";
    std::size_t archiveSize = 3000;
};

inline void putLittleEndian(std::string& bytes, std::size_t offset, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

// [archive run][96-byte trailer], as the program uploads it.
inline std::string makeImage(const ImageFields& fields)
{
    std::string archives(fields.archiveSize, '\0');
    for (std::size_t i = 0; i < archives.size(); ++i)
        archives[i] = static_cast<char>((i * 131 + fields.label.size() * 7) & 0xff);
    archives.replace(0, 4, "PK\x03\x04");
    std::string trailer(96, '\0');
    trailer.replace(0, 8, "KVXFWTRL");
    putLittleEndian(trailer, 8, 1, 2);
    putLittleEndian(trailer, 10, 96, 2);
    trailer.replace(12, fields.model.size(), fields.model);
    trailer.replace(28, fields.annex.size(), fields.annex);
    trailer.replace(32, fields.label.size(), fields.label);
    trailer.replace(48, fields.variant.size(), fields.variant);
    putLittleEndian(trailer, 56, static_cast<std::uint32_t>(archives.size()), 4);
    putLittleEndian(trailer, 60, crc32Of(archives), 4);
    putLittleEndian(trailer, 92, crc32Of(trailer.substr(0, 92)), 4);
    return archives + trailer;
}

inline std::string image38f()
{
    return makeImage({"0.38f", "STD"});
}
inline std::string image42()
{
    return makeImage({"0.42", "STD"});
}
inline std::string image42Special()
{
    return makeImage({"0.42", "SPECIAL"});
}

} // namespace modemsimtest
