#include "HtmlDocument.h"

#include "Dom.h"
#include "FormControls.h"
#include "TextDecoding.h"
#include "common/Errors.h"

namespace tolvane {

ElementCollection::ElementCollection(std::shared_ptr<dom::Tree> tree) : m_tree(std::move(tree)) {}

int ElementCollection::Length() const
{
    return static_cast<int>(m_tree->all.size());
}

HtmlElement ElementCollection::operator()(int index) const
{
    if (index < 0 || index >= Length())
        throw StepError("All(" + std::to_string(index) + ") is beyond the " +
                        std::to_string(Length()) + " elements of the page");
    return HtmlElement(m_tree, m_tree->all[static_cast<size_t>(index)]);
}

HtmlDocument::HtmlDocument(std::shared_ptr<dom::Tree> tree) : m_tree(std::move(tree)) {}

HtmlDocument HtmlDocument::fromHtml(const QByteArray& bytes, const QUrl& url,
                                    const QByteArray& contentType)
{
    DecodedPage page = decodePage(bytes, contentType);
    return HtmlDocument(dom::parseHtml(std::move(page.text), url, page.encoding));
}

ElementCollection HtmlDocument::All() const
{
    return ElementCollection(m_tree);
}

HtmlElement HtmlDocument::All(int index) const
{
    return All()(index);
}

HtmlElement HtmlDocument::documentElement() const
{
    if (!m_tree->documentElement)
        throw StepError("the page has no document element");
    return HtmlElement(m_tree, m_tree->documentElement);
}

HtmlElement HtmlDocument::form(const QString& nameOrId) const
{
    dom::Node* found = m_tree->form(nameOrId);
    if (!found)
        throw StepError("the page has no form " + nameOrId.toStdString());
    return HtmlElement(m_tree, found);
}

std::optional<HtmlElement> HtmlDocument::activeElement() const
{
    if (!m_tree->focused)
        return std::nullopt;
    return HtmlElement(m_tree, m_tree->focused);
}

bool HtmlDocument::paste(const QString& text)
{
    return m_tree->focused && dom::pasteInto(*m_tree->focused, text);
}

QString HtmlDocument::renderedText() const
{
    return dom::renderText(*m_tree);
}

QUrl HtmlDocument::url() const
{
    return m_tree->url;
}

QString HtmlDocument::encoding() const
{
    return m_tree->encoding;
}

} // namespace tolvane
