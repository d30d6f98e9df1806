#pragma once

#include <httplib.h>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::test {

// Fixed pages on 127.0.0.1 and a free port, for the shapes of page the stand-in modem never
// serves (a login form with its submit input first, a status page of one's own, an upgrade form
// with two submit inputs). Every POST is answered with a short page and kept with its fields.
// Tests that use it link tolvane_modemsim, which brings cpp-httplib.
class PageServer final {
public:
    struct Post {
        std::string path;
        // Form fields by name, from a url-encoded or a multipart body; for a file its content.
        std::multimap<std::string, std::string> fields;
        // File fields by name: the file name sent.
        std::map<std::string, std::string> fileNames;
    };

    PageServer()
    {
        m_server.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
            Post post{request.path, {}, {}};
            for (const auto& [name, value] : request.params)
                post.fields.emplace(name, value);
            for (const auto& [name, file] : request.files) {
                post.fields.emplace(name, file.content);
                if (!file.filename.empty())
                    post.fileNames[name] = file.filename;
            }
            {
                const std::lock_guard lock(m_mutex);
                m_posts.push_back(std::move(post));
            }
            response.set_content("<html><body>Thank you.</body></html>", "text/html");
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
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    // Serves `html` for GET `path` (a page path such as "/login.stm").
    void page(const std::string& path, const std::string& html)
    {
        m_server.Get(path, [html](const httplib::Request&, httplib::Response& response) {
            response.set_content(html, "text/html");
        });
    }

    // As a ModemAddress: "127.0.0.1:41234".
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

    std::vector<Post> posts() const
    {
        const std::lock_guard lock(m_mutex);
        return m_posts;
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<Post> m_posts;
};

} // namespace tolvane::test
