#pragma once

#include "HtmlElement.h"

#include <QByteArray>
#include <QUrl>

#include <memory>
#include <optional>

namespace tolvane {

// Every element of a page in document order, as document.all gives it.
class ElementCollection {
public:
    explicit ElementCollection(std::shared_ptr<dom::Tree> tree);

    int Length() const;
    // Throws StepError for an index outside 0 .. Length() - 1.
    HtmlElement operator()(int index) const;

private:
    std::shared_ptr<dom::Tree> m_tree;
};

// A parsed page: the document object a page's scripts would see. No script of the page is ever
// run; what the page's own code would have changed does not happen.
//
// A handle that shares the page: it stays whole and usable however long it is held, even after
// the browser has loaded another page.
class HtmlDocument {
public:
    explicit HtmlDocument(std::shared_ptr<dom::Tree> tree);

    // Parses a page without any network (a detached document: clicks open nothing).
    // `contentType` is the Content-Type header the page came with, if any.
    static HtmlDocument fromHtml(const QByteArray& bytes, const QUrl& url = {},
                                 const QByteArray& contentType = {});

    ElementCollection All() const;
    HtmlElement All(int index) const;

    // The html element; outerHTML of it is the whole page as HTML text.
    HtmlElement documentElement() const;

    // The form of that name or id, as document.webForm finds it; throws StepError when missing.
    HtmlElement form(const QString& nameOrId) const;

    std::optional<HtmlElement> activeElement() const;

    // Inserts pasted text into the focused element when that is a text, password or file input;
    // false when nothing took it.
    bool paste(const QString& text);

    // The page as plain text, roughly as a browser would lay it out: scripts and styles left
    // out, blocks on lines of their own, form fields as [value], the focused one as [>value<].
    // Only its beginning, about a window's worth.
    QString renderedText() const;

    QUrl url() const;
    QString encoding() const;

private:
    std::shared_ptr<dom::Tree> m_tree;
};

} // namespace tolvane
