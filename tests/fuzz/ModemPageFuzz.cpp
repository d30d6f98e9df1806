// Modem pages on arbitrary bytes: decoding, the HTML parse, our DOM (All, named access, outerHTML,
// form ownership, values, focus and paste), form submission encoding, and the text rules the
// version reading applies to the page's outerHTML.
#include "FuzzCheck.h"
#include "common/Errors.h"
#include "modem/Dom.h"
#include "modem/FormBody.h"
#include "modem/FormControls.h"
#include "modem/HtmlDocument.h"
#include "modem/TextDecoding.h"
#include "support/ServedScripts.h"
#include "wizard/StatusPageCut.h"

#include <QHttpMultiPart>

#include <memory>

using namespace tolvane;

namespace {

// Whether `step` refused with a StepError.
template <typename Step> bool refuses(Step&& step)
{
    try {
        step();
    } catch (const StepError&) {
        return true;
    }
    return false;
}

void exerciseElements(HtmlDocument& document)
{
    const ElementCollection all = document.All();
    for (int i = 0; i < all.Length(); ++i) {
        HtmlElement element = all(i);
        refuses([&] { element.Value(); });
        element.Focus();
        // A detached page: nothing opens. A click walks up to the root and outerHTML down to the
        // leaves, so only some elements get them: deep pages would make the run quadratic.
        if (i < 64) {
            element.Click();
            element.outerHTML();
        }
        refuses([&] { element.setValue(QStringLiteral("0.42")); });
        if (element.tagName() != u"FORM")
            FUZZ_CHECK(refuses([&] { element.control(element.Name()); }));
        else if (!element.Name().isEmpty())
            FUZZ_CHECK(document.form(element.Name()).tagName() == u"FORM");
    }
    refuses([&] { document.form(QStringLiteral("webForm")).control("webUpload"); });
}

void exerciseForms(const std::shared_ptr<dom::Tree>& tree)
{
    for (const dom::Node* form : tree->all) {
        if (!form->isHtml(u"form"))
            continue;
        std::vector<const dom::Node*> submitters{nullptr};
        for (const dom::Node* element : tree->all)
            if (element->formOwner == form && submitters.size() < 8)
                submitters.push_back(element);
        for (const dom::Node* submitter : submitters) {
            auto request = dom::formSubmission(tree, *form, submitter);
            if (!request)
                continue;
            dom::takeFormEntries(*request);
            FUZZ_CHECK(request->url.isValid());
            urlEncodedForm(request->entries, request->charset);
            textPlainForm(request->entries, request->charset);
            delete multipartForm(request->entries, request->charset, "fuzzboundary", nullptr);
        }
    }
}

void checkVersionRules(const QString& outerHtml)
{
    const std::string text = outerHtml.left(11000).toStdString();
    for (const std::string tag : {"runtime_code_version=", "lan_mac_addr=", "adsl_code_version="}) {
        const std::size_t at = FindText(text, tag);
        FUZZ_CHECK(at == text.find(tag) + 1); // 1-based, npos + 1 being 0
        for (const char delimiter : {';', '('}) {
            const auto value =
                at == 0 ? std::nullopt : CutTagValue(text, at, tag.size(), delimiter);
            if (!value)
                continue;
            FUZZ_CHECK(value->find(delimiter) == std::string::npos);
            const std::string number = VersionNumberOf(*value);
            FUZZ_CHECK(number.find('(') == std::string::npos);
            FUZZ_CHECK(number.empty() || (number.front() != ' ' && number.back() != ' '));
            FUZZ_CHECK(value->find(number) != std::string::npos);
        }
    }
    // Positions beyond the text cut nothing rather than fail.
    for (const std::size_t position : {text.size(), text.size() + 1, text.size() + 40})
        FUZZ_CHECK(!CutTagValue(text, position, 21, ';'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An input may start with a header line, "Content-Type: ..." up to the first line feed.
    QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QByteArray contentType;
    const qsizetype lineEnd = body.indexOf('\n');
    if (body.startsWith("Content-Type:") && lineEnd > 0) {
        contentType = body.left(lineEnd).mid(13).trimmed();
        body.remove(0, lineEnd + 1);
    }
    const DecodedPage page = decodePage(body, contentType);
    FUZZ_CHECK(!page.encoding.isEmpty());
    // windows-1252 gives every byte a character of its own, so the form encoding gives them back.
    if (page.encoding == u"windows-1252")
        FUZZ_CHECK(encodeForForm(page.text, page.encoding) == body);

    const QUrl url(QStringLiteral("http://127.0.0.1:8080/status_main.stm"));
    const std::shared_ptr<dom::Tree> tree = dom::parseHtml(page.text, url, page.encoding);
    HtmlDocument document(tree);
    const QString html = document.documentElement().outerHTML();
    FUZZ_CHECK(html.startsWith(u"<html"));
    for (const QString& script : test::servedScripts(page.text))
        FUZZ_CHECK(html.contains(script)); // every script body as served, whatever else is there
    checkVersionRules(html);
    exerciseElements(document);
    // A paste lands in the focused field: the file input of the upload page, typically.
    document.paste(QStringLiteral("C:\\TFWU\\42.bin"));
    document.renderedText();
    exerciseForms(tree);
    return 0;
}
