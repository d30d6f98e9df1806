#pragma once

#include <QString>

#include <httplib.h>
#include <mutex>
#include <thread>
#include <vector>

namespace tolvane::test {

// A web server on 127.0.0.1 and a free port, running in a thread of the test. It records every
// request it answered.
class LocalServer {
public:
    struct Request {
        std::string method;
        std::string path;
        std::string query; // as sent, still percent-encoded
        std::string body;
        httplib::Headers headers;
        httplib::MultipartFormDataMap files;

        std::string header(const char* name) const
        {
            const auto found = headers.find(name);
            return found == headers.end() ? std::string() : found->second;
        }
    };

    LocalServer()
    {
        m_server.set_logger([this](const httplib::Request& request, const httplib::Response&) {
            const auto mark = request.target.find('?');
            const std::string query =
                mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
            const std::lock_guard lock(m_mutex);
            m_requests.push_back({request.method, request.path, query, request.body,
                                  request.headers, request.files});
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;
    ~LocalServer()
    {
        m_server.stop();
        m_thread.join();
    }

    httplib::Server& routes() { return m_server; }

    // The address of a path as the program writes it: no scheme.
    QString address(const QString& path = {}) const
    {
        return QStringLiteral("127.0.0.1:%1").arg(m_port) + path;
    }

    std::vector<Request> requests() const
    {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // Serves a fixed page.
    void page(const std::string& path, const std::string& html,
              const std::string& contentType = "text/html")
    {
        m_server.Get(path, [html, contentType](const httplib::Request&, httplib::Response& res) {
            res.set_content(html, contentType);
        });
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
};

} // namespace tolvane::test
