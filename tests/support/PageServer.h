#pragma once

#include <httplib.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::test {

// A web server on 127.0.0.1 and a free port, in a thread of the test: fixed
// pages, routes of the test's own, and a record of every request answered. A
// POST to a path without a route of its own is answered with a short page.
// Tests that use it link cpp-httplib.
class PageServer final {
public:
    struct Request {
        std::string method;
        std::string path;
        std::string query; // as sent, still percent-encoded
        std::string body;
        httplib::Headers headers;
    };

    PageServer()
    {
        // Recorded before the answer goes out, so that whoever reads the answer
        // finds its request.
        m_server.set_post_routing_handler([this](const httplib::Request& r, httplib::Response&) {
            const auto mark = r.target.find('?');
            const std::lock_guard lock(m_mutex);
            m_requests.push_back({r.method, r.path,
                                  mark == std::string::npos ? "" : r.target.substr(mark + 1),
                                  r.body, r.headers});
        });
        m_server.set_error_handler([](const httplib::Request& request, httplib::Response& res) {
            if (request.method == "POST" && res.status == 404) {
                res.status = 200;
                res.set_content("<html><body>Thank you.</body></html>", "text/html");
            }
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    ~PageServer()
    {
        m_server.stop();
        m_thread.join();
    }

    httplib::Server& routes() { return m_server; }
    // Serves `html` for GET `path` (a page path such as "/login.stm").
    void page(const std::string& path, const std::string& html)
    {
        m_server.Get(path, [html](const httplib::Request&, httplib::Response& res) {
            res.set_content(html, "text/html");
        });
    }
    // As a ModemAddress: "127.0.0.1:41234".
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

    std::vector<Request> requests() const
    {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
};

} // namespace tolvane::test
