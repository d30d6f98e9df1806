// Peak memory of loading a page at the browser's size cap, shape by shape: ModemBrowser fetches
// it from a server on 127.0.0.1, decodes it, parses it and holds its DOM. The shapes are a page
// like the modem's and the hostile shapes of the modem tests. Prints, per shape, the growth of the
// process's peak resident size (VmHWM) over a browser that showed a small page.
#include "BenchPage.h"
#include "HostilePages.h"
#include "modem/ModemBrowser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <httplib.h>
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

QList<std::pair<const char*, QByteArray>> shapes()
{
    const qsizetype cap = tolvane::ModemBrowser::kDefaultPageSizeCap - 4096;
    return QList<std::pair<const char*, QByteArray>>{
               {"a page like the modem's", tolvane::bench::ModemLikePage(cap).whole()}} +
           tolvane::test::hostilePages();
}

} // namespace

// Loads one shape and prints what it cost; each shape runs in a process of its own, so that no
// shape reuses memory another one freed.
int measure(const char* name, const QByteArray& bytes)
{
    using namespace tolvane;
    httplib::Server server;
    server.Get("/small.htm", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<p>small</p>", "text/html");
    });
    server.Get("/big.htm", [&bytes](const httplib::Request&, httplib::Response& res) {
        res.set_content(bytes.constData(), static_cast<size_t>(bytes.size()), "text/html");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listening([&server] { server.listen_after_bind(); });
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
        std::printf("%-45s %8lld bytes %8d elements  peak resident size grew by %6.1f MiB\n", name,
                    static_cast<long long>(bytes.size()), browser.Document().All().Length(),
                    double(after - before) / 1024.0);
        browser.closeConnections();
    }
    server.stop();
    listening.join();
    return status;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto pages = shapes();
    if (argc > 1) {
        const auto& [name, bytes] = pages.at(std::atoi(argv[1]));
        return measure(name, bytes);
    }
    int status = 0;
    for (int i = 0; i < pages.size(); ++i) {
        std::fflush(stdout);
        status |= QProcess::execute(app.applicationFilePath(), {QString::number(i)});
    }
    return status;
}
