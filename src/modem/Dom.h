#pragma once

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

enum class NodeKind { Element, Text, Comment };
enum class Namespace { Html, Svg, MathMl };

struct Attribute {
    QString name;
    QString value;
};

// One node of a parsed page. Nodes never move and are never freed before their tree, so plain
// pointers between them stay valid for the tree's lifetime.
struct Node {
    NodeKind kind = NodeKind::Element;
    Namespace ns = Namespace::Html;
    QString name; // element: local name, lower case for HTML; text and comment: the data
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

    bool isHtml(QStringView tag) const
    {
        return kind == NodeKind::Element && ns == Namespace::Html && name == tag;
    }
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
    QString encoding; // the encoding the page was decoded with, e.g. "windows-1252"
    Node* focused = nullptr;
    QPointer<ModemBrowser> browser; // where clicks navigate; null for a detached document

    Node* newNode(NodeKind kind);
};

// Parses a page that is already decoded. `html` may be cut short at a nesting depth that no
// sensible page reaches (the HTML parser slows down quadratically with depth).
std::shared_ptr<Tree> parseHtml(QString html, const QUrl& url, const QString& encoding);

// HTML serialisation of a node and its subtree, as outerHTML gives it.
QString serialize(const Node& node);

// The text content of a subtree (every text node, in order).
QString textContent(const Node& node);

// The subtree as plain text, roughly as a browser lays it out (see HtmlDocument::renderedText).
QString renderText(const Tree& tree);

} // namespace dom
} // namespace tolvane
