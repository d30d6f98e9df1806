// Modem pages on arbitrary bytes: decoding, the HTML5 parse, our DOM (All, named access,
// outerHTML, form ownership, values, focus and paste), form submission encoding, and the text
// rules the version reading applies to the page's outerHTML (tag search, the cut rule, the
// version number, the annex check).
#include "FuzzCheck.h"
#include "common/Errors.h"
#include "modem/Dom.h"
#include "modem/FormBody.h"
#include "modem/FormControls.h"
#include "modem/HtmlDocument.h"
#include "modem/TextDecoding.h"
#include "wizard/StatusPageCut.h"

#include <QHttpMultiPart>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

using namespace tolvane;

namespace {

// An input may start with a header line, "Content-Type: ..." up to the first line feed.
void splitHeader(const QByteArray& input, QByteArray* contentType, QByteArray* body)
{
    static const QByteArray prefix = "Content-Type:";
    const qsizetype end = input.indexOf('\n');
    if (input.startsWith(prefix) && end > 0) {
        *contentType = input.mid(prefix.size(), end - prefix.size()).trimmed();
        *body = input.mid(end + 1);
    } else {
        *body = input;
    }
}

template <typename Step> void tolerateStepError(Step&& step)
{
    try {
        step();
    } catch (const StepError&) {
    }
}

void checkDecoding(const QByteArray& body, const DecodedPage& page)
{
    FUZZ_CHECK(!page.encoding.isEmpty());
    // windows-1252 gives every byte a character of its own, so the form encoding gives the
    // bytes back.
    if (page.encoding == u"windows-1252")
        FUZZ_CHECK(encodeForForm(page.text, page.encoding) == body);
}

void exerciseElements(HtmlDocument& document)
{
    const ElementCollection all = document.All();
    const int length = all.Length();
    for (int i = 0; i < length; ++i) {
        HtmlElement element = all(i);
        FUZZ_CHECK(element == document.All(i));
        element.tagName();
        element.Type();
        element.id();
        element.getAttribute(QStringLiteral("href"));
        const QString name = element.Name();
        tolerateStepError([&] { element.Value(); });
        element.checked();
        element.Focus();
        // A detached page: nothing opens, checkboxes and radios change. A click walks up to the
        // root, so only some elements are clicked: deep pages would make the run quadratic.
        if (i < 64)
            element.Click();
        tolerateStepError([&] { element.setValue(QStringLiteral("0.42")); });
        tolerateStepError([&] { element.setValue(QString()); });
        if (element.tagName() == u"FORM") {
            if (!name.isEmpty())
                FUZZ_CHECK(document.form(name).tagName() == u"FORM");
            tolerateStepError([&] { element.control(QStringLiteral("webUpload")); });
            tolerateStepError([&] { element.control(QStringLiteral("username")); });
        } else {
            bool refused = false;
            try {
                element.control(name);
            } catch (const StepError&) {
                refused = true;
            }
            FUZZ_CHECK(refused);
        }
        if (i < 64)
            element.outerHTML();
    }
    bool beyond = false;
    try {
        all(length);
    } catch (const StepError&) {
        beyond = true;
    }
    FUZZ_CHECK(beyond);
    tolerateStepError([&] { document.form(QStringLiteral("webForm")).control("webUpload"); });
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
            std::unique_ptr<QHttpMultiPart> multipart(
                multipartForm(request->entries, request->charset, "fuzzboundary", nullptr));
        }
    }
}

std::string withoutOuterBlanks(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The cut rule in its own terms, 1-based: the value starts at s = p + L + 1, q is the position of
// the first delimiter at or after s (0 when there is none), and the value is the n = q - s - 1
// characters from s, trimmed; a negative n fails.
std::optional<std::string> cutAsWritten(const std::string& text, std::size_t p, std::size_t L,
                                        char d)
{
    const long long s = static_cast<long long>(p + L + 1);
    long long q = 0;
    for (long long i = s; i <= static_cast<long long>(text.size()); ++i) {
        if (text[static_cast<std::size_t>(i - 1)] == d) {
            q = i;
            break;
        }
    }
    const long long n = q - s - 1;
    if (n < 0)
        return std::nullopt;
    return withoutOuterBlanks(
        text.substr(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(n)));
}

void checkVersionRules(const QString& outerHtml)
{
    const std::string text = outerHtml.left(11000).toStdString();
    for (const std::string tag : {"runtime_code_version=", "lan_mac_addr=", "adsl_code_version="}) {
        const std::size_t at = FindText(text, tag);
        FUZZ_CHECK(at == (text.find(tag) == std::string::npos ? 0 : text.find(tag) + 1));
        if (at == 0)
            continue;
        for (const char delimiter : {';', '('}) {
            const std::optional<std::string> value = CutTagValue(text, at, tag.size(), delimiter);
            FUZZ_CHECK(value == cutAsWritten(text, at, tag.size(), delimiter));
            if (!value)
                continue;
            const std::string number = VersionNumberOf(*value);
            FUZZ_CHECK(number.find('(') == std::string::npos);
            FUZZ_CHECK(number == withoutOuterBlanks(number));
            FUZZ_CHECK(value->find(number) != std::string::npos);
        }
    }
    // Positions beyond the text, and tags of any length, must cut nothing rather than fail.
    for (const std::size_t position : {text.size(), text.size() + 1, text.size() + 40})
        FUZZ_CHECK(!CutTagValue(text, position, 21, ';'));
    if (!text.empty())
        FUZZ_CHECK(CutTagValue(text, 1, 0, text.back()) == cutAsWritten(text, 1, 0, text.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QByteArray contentType;
    QByteArray body;
    splitHeader(input, &contentType, &body);

    DecodedPage page = decodePage(body, contentType);
    checkDecoding(body, page);

    const QUrl url(QStringLiteral("http://127.0.0.1:8080/status_main.stm"));
    const std::shared_ptr<dom::Tree> tree = dom::parseHtml(page.text, url, page.encoding);
    HtmlDocument document(tree);
    FUZZ_CHECK(document.documentElement().tagName() == u"HTML");
    const QString html = document.documentElement().outerHTML();
    FUZZ_CHECK(html.startsWith(u"<html"));
    checkVersionRules(html);

    exerciseElements(document);
    // A paste lands in the focused field: the file input of the upload page, typically.
    document.paste(QStringLiteral("C:\\TFWU\\42.bin"));
    document.renderedText();
    exerciseForms(tree);
    return 0;
}
