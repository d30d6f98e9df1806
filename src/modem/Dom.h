#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace tolvane {

class ModemBrowser;

namespace dom {

// Markup: the rest of a page too large to build, as served (see parseHtml).
enum class NodeKind { Element, Text, Comment, Markup };

struct Attribute {
    QString name;
    QString value;
};

// One node of a parsed page. Nodes never move and are never freed before their tree, so plain
// pointers between them stay valid for the tree's lifetime.
struct Node {
    NodeKind kind = NodeKind::Element;
    QString name; // element: its tag name in lower case; otherwise the data
    Node* parent = nullptr;
    std::vector<Node*> children;
    std::vector<Attribute> attributes;

    // Fixed by the parse.
    Node* formOwner = nullptr;
    bool inDisabledFieldset = false;

    // Form control state; empty optionals mean "as the markup says".
    std::optional<QString> value;
    std::optional<bool> checked;
    std::optional<bool> selected;

    bool isHtml(QStringView tag) const { return kind == NodeKind::Element && name == tag; }
    const QString* attribute(QStringView attributeName) const;
    bool hasAttribute(QStringView attributeName) const { return attribute(attributeName); }
    QString attributeOr(QStringView attributeName, const QString& fallback = {}) const;
    void setAttribute(const QString& attributeName, const QString& attributeValue);
};

// A whole parsed page: the node store, the element list in tree order and the page's address.
struct Tree {
    std::deque<Node> nodes;
    Node* root = nullptr; // the document node: holds top-level comments and the html element
    Node* documentElement = nullptr;
    std::vector<Node*> all;
    QUrl url;
    QString encoding;           // the encoding the page was decoded with, e.g. "windows-1252"
    const Node* base = nullptr; // the first <base> with an address, if any
    Node* focused = nullptr;
    QPointer<ModemBrowser> browser; // where clicks navigate; null for a detached document

    Node* newNode(NodeKind kind);

    // The first form of that name or id, and a form's first control of that name or id (image
    // inputs left out), as document.webForm and form.elements find them; null when missing.
    // Indexed on first use: names, ids and form owners never change after the parse.
    Node* form(const QString& nameOrId) const;
    Node* control(const Node& form, const QString& nameOrId) const;

private:
    mutable std::optional<QHash<QString, Node*>> m_forms;
    mutable std::optional<QHash<const Node*, QHash<QString, Node*>>> m_controls;
};

// Parses a page that is already decoded. Elements deeper than any sensible page are opened beside
// each other rather than inside, no start tag keeps more than 1,024 attributes, and past half a
// million nodes the rest of the page is kept as served in one Markup node: the parser's work and
// the tree's memory grow with each. Pages within those bounds are kept exactly.
std::shared_ptr<Tree> parseHtml(QString html, const QUrl& url, const QString& encoding);

// HTML serialisation of a node and its subtree, as outerHTML gives it.
QString serialize(const Node& node);

// The text content of a subtree (every text node, in order).
QString textContent(const Node& node);

// The subtree as plain text, roughly as a browser lays it out (see HtmlDocument::renderedText).
QString renderText(const Tree& tree);

} // namespace dom
} // namespace tolvane
