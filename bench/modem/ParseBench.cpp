// Parse-and-build throughput: decoding, HTML parsing and building the DOM of a 1 MB page, as
// each page load does. Usage: bench_modem_parse [runs] [page bytes]; prints the median.
#include "BenchPage.h"
#include "modem/HtmlDocument.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    using namespace tolvane;

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const qsizetype bytes = argc > 2 ? std::max(1024, std::atoi(argv[2])) : 1000000;
    const QByteArray page = bench::ModemLikePage(bytes).whole();

    std::vector<double> milliseconds;
    int elements = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const HtmlDocument document =
            HtmlDocument::fromHtml(page, QUrl(QStringLiteral("http://127.0.0.1/")), "text/html");
        elements = document.All().Length();
        milliseconds.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    const double median = milliseconds[milliseconds.size() / 2];
    std::printf("parse and build: %lld bytes, %d elements, median %.1f ms of %d runs "
                "(%.1f MB/s; fastest %.1f ms, slowest %.1f ms)\n",
                static_cast<long long>(page.size()), elements, median, runs,
                double(page.size()) / 1e6 / (median / 1e3), milliseconds.front(),
                milliseconds.back());
    return 0;
}
