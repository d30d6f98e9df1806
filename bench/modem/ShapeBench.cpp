// The work a hostile page costs, shape by shape (the shapes the modem widget test walks): parse
// and build, the walk the upload makes (a lookup of the file field per submit input), the form
// submission of the last submit input, the window's text and the outerHTML the version reading
// searches. Usage: bench_modem_shapes [runs]; prints the slowest run of each shape.
#include "HostilePages.h"
#include "modem/FormControls.h"
#include "modem/HtmlDocument.h"
#include "modem/TextDecoding.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace tolvane;

namespace {

void walk(const QByteArray& page)
{
    DecodedPage decoded = decodePage(page, "text/html");
    const auto tree =
        dom::parseHtml(std::move(decoded.text), QUrl("http://127.0.0.1/"), decoded.encoding);
    HtmlDocument document(tree);
    const dom::Node* submitter = nullptr;
    for (dom::Node* element : tree->all) {
        if (element->isHtml(u"input") && dom::inputType(*element) == u"submit") {
            document.form(QStringLiteral("webForm")).control(QStringLiteral("webUpload")).Value();
            submitter = element;
        }
    }
    if (submitter && submitter->formOwner) {
        if (auto request = dom::formSubmission(tree, *submitter->formOwner, submitter))
            dom::takeFormEntries(*request);
    }
    document.renderedText();
    document.documentElement().outerHTML();
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    for (const auto& [name, page] : test::hostilePages()) {
        double slowest = 0;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            walk(page);
            slowest = std::max(slowest, double(timer.nsecsElapsed()) / 1e6);
        }
        std::printf("%-45s %8lld bytes  slowest of %d runs %7.1f ms\n", name,
                    static_cast<long long>(page.size()), runs, slowest);
    }
    return 0;
}
