#include "Dom.h"
#include "ModemLog.h"

#include <QHash>

#include <algorithm>
#include <cstdlib>
#include <gumbo.h>
#include <utility>

namespace tolvane::dom {

namespace {

// The parser is told to allocate through this list, so that its whole output can be freed in one
// sweep: gumbo_destroy_output recurses once per nesting level and would overflow the stack on a
// deeply nested page.
class TrackedAllocations {
public:
    TrackedAllocations() = default;
    TrackedAllocations(const TrackedAllocations&) = delete;
    TrackedAllocations& operator=(const TrackedAllocations&) = delete;
    ~TrackedAllocations()
    {
        while (m_head.next != &m_head) {
            Header* header = m_head.next;
            unlink(header);
            std::free(header);
        }
    }

    static void* allocate(void* self, size_t size)
    {
        auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
        if (!header)
            std::abort(); // the parser cannot report a failed allocation
        auto& list = static_cast<TrackedAllocations*>(self)->m_head;
        header->prev = &list;
        header->next = list.next;
        list.next->prev = header;
        list.next = header;
        return header + 1;
    }

    static void deallocate(void*, void* pointer)
    {
        if (!pointer)
            return;
        Header* header = static_cast<Header*>(pointer) - 1;
        unlink(header);
        std::free(header);
    }

private:
    struct alignas(16) Header {
        Header* prev;
        Header* next;
    };
    static void unlink(Header* header)
    {
        header->prev->next = header->next;
        header->next->prev = header->prev;
    }
    Header m_head{&m_head, &m_head};
};

// Deeper than any sensible page; beyond it the page is cut, like a page beyond the size cap.
constexpr int kMaxNesting = 1024;

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isTagNameChar(char c)
{
    return isAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '-' || c == ':';
}

qsizetype indexOfNoCase(const QByteArray& haystack, QByteArrayView needle, qsizetype from)
{
    const qsizetype last = haystack.size() - needle.size();
    for (qsizetype i = from; i <= last; ++i) {
        if (QByteArrayView(haystack.constData() + i, needle.size())
                .compare(needle, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// Elements that either never hold content or close a previous sibling of their kind: they do not
// make a page deeper.
bool deepens(const QByteArray& tag)
{
    static const QByteArrayList flat = {
        "area",    "base",     "basefont", "bgsound",  "br",     "col",   "embed", "frame",
        "hr",      "img",      "image",    "input",    "keygen", "link",  "meta",  "param",
        "source",  "track",    "wbr",      "html",     "head",   "body",  "p",     "li",
        "dt",      "dd",       "td",       "th",       "tr",     "tbody", "thead", "tfoot",
        "caption", "colgroup", "option",   "optgroup", "rb",     "rt",    "rtc",   "rp"};
    return !flat.contains(tag);
}

bool holdsRawText(const QByteArray& tag)
{
    static const QByteArrayList raw = {"script", "style",   "textarea", "title",   "xmp",
                                       "iframe", "noembed", "noframes", "noscript"};
    return raw.contains(tag);
}

// A rough tag scan that finds where the element nesting first goes beyond kMaxNesting.
qsizetype nestingCut(const QByteArray& html)
{
    const qsizetype n = html.size();
    const char* s = html.constData();
    int depth = 0;
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = html.indexOf('<', i);
        if (lt < 0 || lt + 1 >= n)
            break;
        if (html.mid(lt, 4) == "<!--") {
            const qsizetype end = html.indexOf("-->", lt + 4);
            i = end < 0 ? n : end + 3;
            continue;
        }
        const bool closing = s[lt + 1] == '/';
        qsizetype p = lt + (closing ? 2 : 1);
        if (p >= n || !isAsciiAlpha(s[p])) {
            i = lt + 1;
            continue;
        }
        const qsizetype nameStart = p;
        while (p < n && isTagNameChar(s[p]))
            ++p;
        const QByteArray tag = html.mid(nameStart, p - nameStart).toLower();
        if (closing) {
            if (depth > 0 && deepens(tag))
                --depth;
            i = p;
            continue;
        }
        char quote = 0;
        while (p < n && (quote || s[p] != '>')) {
            if (quote && s[p] == quote)
                quote = 0;
            else if (!quote && (s[p] == '"' || s[p] == '\''))
                quote = s[p];
            ++p;
        }
        if (tag == "plaintext")
            break;
        if (holdsRawText(tag)) {
            const qsizetype end = indexOfNoCase(html, QByteArray("</" + tag), p);
            i = end < 0 ? n : end;
            continue;
        }
        const bool selfClosing = p < n && p > nameStart && s[p - 1] == '/';
        if (!selfClosing && deepens(tag) && ++depth > kMaxNesting)
            return lt;
        i = p + 1;
    }
    return n;
}

QString fromPiece(const GumboStringPiece& piece)
{
    return QString::fromUtf8(piece.data, static_cast<qsizetype>(piece.length));
}

// Every node shares one string per known tag name.
const QString& knownTagName(GumboTag tag)
{
    static const std::vector<QString> names = [] {
        std::vector<QString> all;
        for (int t = 0; t < GUMBO_TAG_UNKNOWN; ++t)
            all.push_back(QString::fromUtf8(gumbo_normalized_tagname(static_cast<GumboTag>(t))));
        return all;
    }();
    return names[static_cast<size_t>(tag)];
}

// Shares repeated strings (attribute names, short texts) across the nodes of one page.
class StringPool {
public:
    QString get(const char* utf8)
    {
        const QByteArrayView key(utf8);
        if (key.size() > 16)
            return QString::fromUtf8(key);
        auto found = m_strings.constFind(key.toByteArray());
        if (found == m_strings.constEnd())
            found = m_strings.insert(key.toByteArray(), QString::fromUtf8(key));
        return *found;
    }

private:
    QHash<QByteArray, QString> m_strings;
};

QString elementName(const GumboElement& element)
{
    if (element.tag != GUMBO_TAG_UNKNOWN && element.tag < GUMBO_TAG_LAST)
        return knownTagName(element.tag);
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    QString name = fromPiece(piece);
    if (element.tag_namespace == GUMBO_NAMESPACE_SVG) {
        const QByteArray utf8 = name.toUtf8();
        GumboStringPiece lookup{utf8.constData(), static_cast<size_t>(utf8.size())};
        if (const char* adjusted = gumbo_normalize_svg_tagname(&lookup))
            return QString::fromUtf8(adjusted);
        return name;
    }
    return name.toLower();
}

Namespace toNamespace(GumboNamespaceEnum ns)
{
    switch (ns) {
    case GUMBO_NAMESPACE_SVG:
        return Namespace::Svg;
    case GUMBO_NAMESPACE_MATHML:
        return Namespace::MathMl;
    case GUMBO_NAMESPACE_HTML:
        break;
    }
    return Namespace::Html;
}

bool isListed(const Node& node)
{
    static const QStringList listed = {"button", "fieldset", "input",   "object",
                                       "output", "select",   "textarea"};
    return node.kind == NodeKind::Element && node.ns == Namespace::Html &&
           listed.contains(node.name);
}

struct Range {
    size_t start;
    size_t end;
};

// What the parse tells about form ownership: HTML parsing associates a control with the form
// whose start tag came last before it, until a </form> end tag, whether or not the control ends
// up inside that form element (a form inside a table is left empty).
struct FormScan {
    struct Control {
        Node* node;
        size_t offset;
        bool fromToken;
    };
    std::vector<Control> controls;
    std::vector<std::pair<size_t, Node*>> formStarts;
    std::vector<Range> opaque; // text that cannot hold tags: comments, raw text, start tags
};

bool isFormEndAt(const QByteArray& html, qsizetype at)
{
    const qsizetype after = at + 6;
    if (after >= html.size())
        return true;
    const char c = html.at(after);
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::vector<size_t> formEndTags(const QByteArray& html, std::vector<Range> opaque)
{
    std::sort(opaque.begin(), opaque.end(),
              [](const Range& a, const Range& b) { return a.start < b.start; });
    std::vector<size_t> ends;
    for (qsizetype at = indexOfNoCase(html, "</form", 0); at >= 0;
         at = indexOfNoCase(html, "</form", at + 1)) {
        if (!isFormEndAt(html, at))
            continue;
        const auto pos = static_cast<size_t>(at);
        auto next = std::upper_bound(opaque.begin(), opaque.end(), pos,
                                     [](size_t p, const Range& r) { return p < r.start; });
        if (next != opaque.begin() && pos < std::prev(next)->end)
            continue;
        ends.push_back(pos);
    }
    return ends;
}

Node* formById(const Tree& tree, const QString& id)
{
    for (Node* element : tree.all) {
        if (element->attributeOr(u"id") == id)
            return element->isHtml(u"form") ? element : nullptr;
    }
    return nullptr;
}

void assignFormOwners(Tree& tree, const QByteArray& html, FormScan& scan)
{
    const std::vector<size_t> ends = formEndTags(html, std::move(scan.opaque));
    struct Interval {
        size_t start;
        size_t end;
        Node* form;
    };
    std::vector<Interval> pointer;
    for (const auto& [start, form] : scan.formStarts) {
        auto end = std::upper_bound(ends.begin(), ends.end(), start);
        pointer.push_back({start, end == ends.end() ? SIZE_MAX : *end, form});
    }
    std::sort(pointer.begin(), pointer.end(),
              [](const Interval& a, const Interval& b) { return a.start < b.start; });

    for (const FormScan::Control& control : scan.controls) {
        Node* node = control.node;
        if (const QString* formId = node->attribute(u"form")) {
            node->formOwner = formById(tree, *formId);
            continue;
        }
        if (control.fromToken) {
            auto it = std::upper_bound(
                pointer.begin(), pointer.end(), control.offset,
                [](size_t offset, const Interval& interval) { return offset < interval.start; });
            if (it != pointer.begin() && control.offset < std::prev(it)->end) {
                node->formOwner = std::prev(it)->form;
                continue;
            }
        }
        for (Node* up = node->parent; up; up = up->parent) {
            if (up->isHtml(u"form")) {
                node->formOwner = up;
                break;
            }
        }
    }
}

bool isFirstLegendOf(const Node* child, const Node* fieldset)
{
    for (const Node* sibling : fieldset->children) {
        if (sibling->isHtml(u"legend"))
            return sibling == child;
    }
    return false;
}

} // namespace

std::shared_ptr<Tree> parseHtml(QString text, const QUrl& url, const QString& encoding)
{
    QByteArray html = text.toUtf8();
    text = QString(); // a page at the size cap is large: hold one copy at a time
    const qsizetype cut = nestingCut(html);
    if (cut < html.size()) {
        qCWarning(lcModem) << "page nested too deeply; dropped from byte" << cut << "of"
                           << html.size();
        html.truncate(cut);
    }

    auto tree = std::make_shared<Tree>();
    tree->url = url;
    tree->encoding = encoding;

    TrackedAllocations allocations;
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &TrackedAllocations::allocate;
    options.deallocator = &TrackedAllocations::deallocate;
    options.userdata = &allocations;
    options.max_errors = 0;
    // Freed with `allocations`, never by gumbo_destroy_output.
    const GumboOutput* output =
        gumbo_parse_with_options(&options, html.constData(), static_cast<size_t>(html.size()));

    FormScan scan;
    StringPool pool;
    tree->root = tree->newNode(NodeKind::Element);
    tree->root->name = QStringLiteral("#document");

    // Depth-first without recursion: pages can nest far deeper than the stack allows.
    std::vector<std::pair<const GumboNode*, Node*>> pending;
    const GumboVector& top = output->document->v.document.children;
    for (unsigned int i = top.length; i-- > 0;)
        pending.emplace_back(static_cast<const GumboNode*>(top.data[i]), tree->root);

    while (!pending.empty()) {
        auto [source, parent] = pending.back();
        pending.pop_back();

        Node* node = nullptr;
        switch (source->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboElement& element = source->v.element;
            node = tree->newNode(NodeKind::Element);
            node->ns = toNamespace(element.tag_namespace);
            node->name = elementName(element);
            node->attributes.reserve(element.attributes.length);
            for (unsigned int i = 0; i < element.attributes.length; ++i) {
                const auto* attribute =
                    static_cast<const GumboAttribute*>(element.attributes.data[i]);
                node->attributes.push_back(
                    {pool.get(attribute->name), QString::fromUtf8(attribute->value)});
            }
            node->parent = parent;
            parent->children.push_back(node);
            tree->all.push_back(node);

            node->inDisabledFieldset =
                parent->inDisabledFieldset ||
                (parent->isHtml(u"fieldset") && parent->hasAttribute(u"disabled") &&
                 !(node->isHtml(u"legend") && isFirstLegendOf(node, parent)));

            const bool fromToken = element.original_tag.length > 0;
            if (fromToken)
                scan.opaque.push_back({element.start_pos.offset,
                                       element.start_pos.offset + element.original_tag.length});
            if (node->isHtml(u"form") && fromToken)
                scan.formStarts.emplace_back(element.start_pos.offset, node);
            if (isListed(*node))
                scan.controls.push_back({node, element.start_pos.offset, fromToken});

            for (unsigned int i = element.children.length; i-- > 0;)
                pending.emplace_back(static_cast<const GumboNode*>(element.children.data[i]), node);
            continue;
        }
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            node = tree->newNode(NodeKind::Text);
            if (parent->kind == NodeKind::Element && parent->ns == Namespace::Html &&
                holdsRawText(parent->name.toLatin1()))
                scan.opaque.push_back(
                    {source->v.text.start_pos.offset,
                     source->v.text.start_pos.offset + source->v.text.original_text.length});
            break;
        case GUMBO_NODE_COMMENT:
            node = tree->newNode(NodeKind::Comment);
            scan.opaque.push_back(
                {source->v.text.start_pos.offset,
                 source->v.text.start_pos.offset + source->v.text.original_text.length});
            break;
        case GUMBO_NODE_DOCUMENT:
            continue;
        }
        node->name = pool.get(source->v.text.text);
        node->parent = parent;
        parent->children.push_back(node);
    }

    for (Node* child : tree->root->children) {
        if (child->kind == NodeKind::Element) {
            tree->documentElement = child;
            break;
        }
    }
    assignFormOwners(*tree, html, scan);
    return tree;
}

Node* Tree::newNode(NodeKind kind)
{
    Node& node = nodes.emplace_back();
    node.kind = kind;
    return &node;
}

const QString* Node::attribute(QStringView attributeName) const
{
    for (const Attribute& a : attributes) {
        if (a.name == attributeName)
            return &a.value;
    }
    return nullptr;
}

QString Node::attributeOr(QStringView attributeName, const QString& fallback) const
{
    const QString* found = attribute(attributeName);
    return found ? *found : fallback;
}

void Node::setAttribute(const QString& attributeName, const QString& attributeValue)
{
    for (Attribute& a : attributes) {
        if (a.name == attributeName) {
            a.value = attributeValue;
            return;
        }
    }
    attributes.push_back({attributeName, attributeValue});
}

} // namespace tolvane::dom
