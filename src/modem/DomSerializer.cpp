#include "Dom.h"

#include <vector>

namespace tolvane::dom {

namespace {

bool isVoid(const Node& node)
{
    static const QStringList voids = {"area",  "base",  "basefont", "bgsound", "br",    "col",
                                      "embed", "frame", "hr",       "img",     "input", "keygen",
                                      "link",  "meta",  "param",    "source",  "track", "wbr"};
    return node.kind == NodeKind::Element && voids.contains(node.name);
}

bool keepsTextRaw(const Node* parent)
{
    static const QStringList raw = {"style",   "script",   "xmp",       "iframe",
                                    "noembed", "noframes", "plaintext", "noscript"};
    return parent && parent->kind == NodeKind::Element && raw.contains(parent->name);
}

void appendEscaped(QString& out, const QString& text, bool inAttribute)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += u"&amp;";
            break;
        case 0xA0:
            out += u"&nbsp;";
            break;
        case '"':
            out += inAttribute ? QStringView(u"&quot;") : QStringView(u"\"");
            break;
        case '<':
            out += inAttribute ? QStringView(u"<") : QStringView(u"&lt;");
            break;
        case '>':
            out += inAttribute ? QStringView(u">") : QStringView(u"&gt;");
            break;
        default:
            out += c;
        }
    }
}

// Visits a subtree in document order without recursion; `leave` runs after an element's children.
template <typename Enter, typename Leave> void walk(const Node& top, Enter&& enter, Leave&& leave)
{
    struct Step {
        const Node* node;
        bool leaving;
    };
    std::vector<Step> stack{{&top, false}};
    while (!stack.empty()) {
        const Step step = stack.back();
        stack.pop_back();
        if (step.leaving) {
            leave(*step.node);
            continue;
        }
        if (!enter(*step.node))
            continue;
        stack.push_back({step.node, true});
        for (auto it = step.node->children.rbegin(); it != step.node->children.rend(); ++it)
            stack.push_back({*it, false});
    }
}

} // namespace

QString serialize(const Node& top)
{
    QString out;
    walk(
        top,
        [&out](const Node& node) {
            switch (node.kind) {
            case NodeKind::Text:
                if (keepsTextRaw(node.parent))
                    out += node.name;
                else
                    appendEscaped(out, node.name, false);
                return false;
            case NodeKind::Comment:
                out += QLatin1String("<!--") + node.name + QLatin1String("-->");
                return false;
            case NodeKind::Markup:
                out += node.name;
                return false;
            case NodeKind::Element:
                break;
            }
            out += u'<' + node.name;
            for (const Attribute& attribute : node.attributes) {
                out += u' ' + attribute.name + QLatin1String("=\"");
                appendEscaped(out, attribute.value, true);
                out += u'"';
            }
            out += u'>';
            if (isVoid(node))
                return false;
            if ((node.isHtml(u"pre") || node.isHtml(u"textarea") || node.isHtml(u"listing")) &&
                !node.children.empty() && node.children.front()->kind == NodeKind::Text &&
                node.children.front()->name.startsWith(u'\n'))
                out += u'\n';
            return true;
        },
        [&out](const Node& node) { out += QLatin1String("</") + node.name + u'>'; });
    return out;
}

QString textContent(const Node& top)
{
    QString out;
    walk(
        top,
        [&out](const Node& node) {
            if (node.kind == NodeKind::Text)
                out += node.name;
            return node.kind == NodeKind::Element;
        },
        [](const Node&) {});
    return out;
}

QString renderText(const Tree& tree)
{
    static const QStringList hidden = {"head",     "script",  "style",    "title", "template",
                                       "noscript", "noembed", "noframes", "option"};
    static const QStringList blocks = {
        "address", "article", "aside",    "blockquote", "br",   "center", "dd",     "div",
        "dl",      "dt",      "fieldset", "footer",     "form", "h1",     "h2",     "h3",
        "h4",      "h5",      "h6",       "header",     "hr",   "li",     "ol",     "p",
        "pre",     "section", "table",    "tr",         "ul",   "body",   "caption"};
    // More than a window shows: the rest of a page would only cost the window its layout time.
    constexpr qsizetype kMost = 8000;

    QString out;
    if (!tree.documentElement)
        return out;
    const auto newLine = [&out] {
        if (!out.isEmpty() && !out.endsWith(u'\n'))
            out += u'\n';
    };
    walk(
        *tree.documentElement,
        [&](const Node& node) {
            if (out.size() > kMost)
                return false;
            if (node.kind == NodeKind::Comment || node.kind == NodeKind::Markup)
                return false;
            if (node.kind == NodeKind::Text) {
                const QString text = node.name.simplified();
                if (!text.isEmpty()) {
                    if (!out.isEmpty() && !out.endsWith(u'\n') && !out.endsWith(u' '))
                        out += u' ';
                    out += text;
                }
                return false;
            }
            if (hidden.contains(node.name))
                return false;
            if (blocks.contains(node.name))
                newLine();
            if (node.isHtml(u"input") || node.isHtml(u"select") || node.isHtml(u"textarea") ||
                node.isHtml(u"button")) {
                const QString type = node.attributeOr(u"type").toLower();
                if (type == u"hidden")
                    return false;
                const QString shown = node.value.value_or(node.attributeOr(u"value"));
                const bool focused = &node == tree.focused;
                out += focused ? u" [>" : u" [";
                out += type == u"password" ? QString(shown.size(), u'*') : shown;
                out += focused ? u"<] " : u"] ";
                return node.isHtml(u"button");
            }
            return true;
        },
        [&](const Node& node) {
            if (node.kind == NodeKind::Element && blocks.contains(node.name))
                newLine();
        });
    out.truncate(kMost);
    return out;
}

} // namespace tolvane::dom
