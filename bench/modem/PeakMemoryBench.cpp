// Peak memory of loading a page at the browser's size cap: ModemBrowser fetches it from a
// server on 127.0.0.1, decodes it, parses it and holds its DOM. Prints the growth of the
// process's peak resident size (VmHWM) over a warmed-up browser that showed a small page.
#include "BenchPage.h"
#include "modem/ModemBrowser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <httplib.h>
#include <memory>
#include <thread>

namespace {

long long peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

bool loaded(tolvane::ModemBrowser& browser)
{
    QElapsedTimer timer;
    timer.start();
    while (browser.isLoading() && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return !browser.isLoading();
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tolvane;
    QCoreApplication app(argc, argv);

    httplib::Server server;
    server.Get("/small.htm", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<p>small</p>", "text/html");
    });
    // Streamed, so that the page is never held whole in this process outside the browser.
    server.Get("/big.htm", [](const httplib::Request&, httplib::Response& res) {
        auto page = std::make_shared<bench::ModemLikePage>(ModemBrowser::kDefaultPageSizeCap);
        res.set_chunked_content_provider("text/html", [page](size_t, httplib::DataSink& sink) {
            const QByteArray piece = page->next(65536);
            if (piece.isEmpty())
                sink.done();
            else
                sink.write(piece.constData(), static_cast<size_t>(piece.size()));
            return true;
        });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    while (!server.is_running())
        QThread::msleep(1);
    const QString base = QStringLiteral("127.0.0.1:%1").arg(port);

    int status = 0;
    {
        ModemBrowser browser;
        browser.Navigate(base + "/small.htm");
        if (!loaded(browser))
            status = 1;
        const long long before = peakResidentKiB();
        browser.Navigate(base + "/big.htm");
        if (!loaded(browser))
            status = 1;
        const long long after = peakResidentKiB();
        const HtmlDocument document = browser.Document();
        std::printf("page at the size cap: %lld bytes, %d elements; peak resident size grew by "
                    "%.1f MiB (from %.1f to %.1f MiB)\n",
                    static_cast<long long>(document.documentElement().outerHTML().toUtf8().size()),
                    document.All().Length(), double(after - before) / 1024.0,
                    double(before) / 1024.0, double(after) / 1024.0);
        browser.closeConnections();
    }
    server.stop();
    serving.join();
    return status;
}
