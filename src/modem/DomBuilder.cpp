#include "Dom.h"
#include "FormControls.h"
#include "ModemLog.h"
#include "StartTagBound.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <libxml/HTMLparser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <memory>

namespace tolvane::dom {

namespace {

// Deeper than any sensible page. The parser looks for an unmatched end tag through every open
// element, so elements below this depth are opened beside the deepest one instead, as browsers do:
// the page goes on and the parser's work per tag stays bounded.
constexpr int kMaxNesting = 256;

// A modem's pages hold a few thousand nodes. Past this many the page's markup is kept as served, in
// one piece that outerHTML shows as it is, and the parse ends: what the page says can still be
// searched, while memory and work stay bounded.
constexpr std::size_t kMostNodes = 500000;

bool isTagNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':' || c == '.';
}

bool isListed(const Node& node)
{
    static const QStringList listed = {"button", "fieldset", "input",   "object",
                                       "output", "select",   "textarea"};
    return node.kind == NodeKind::Element && listed.contains(node.name);
}

bool isFirstLegendOf(const Node* child, const Node* fieldset)
{
    for (const Node* sibling : fieldset->children) {
        if (sibling->isHtml(u"legend"))
            return sibling == child;
    }
    return false;
}

// Builds our tree from the parser's events. Form ownership follows the HTML rule: a control
// belongs to the form whose start tag came last before it, until a </form> end tag, wherever the
// parser put the form element; the parser closes a form at the end of the table cell it was
// written in, while browsers keep filling it.
class Builder {
public:
    Builder(Tree& tree, const QByteArray& html) : m_tree(tree), m_html(html), m_current(tree.root)
    {}

    static void startElement(void* context, const xmlChar* name, const xmlChar** attributes)
    {
        auto* parser = static_cast<htmlParserCtxtPtr>(context);
        auto& self = *static_cast<Builder*>(parser->_private);
        if (self.keptRestAsServed(parser))
            return;
        if (parser->nameNr > kMaxNesting)
            self.closeDeepest(parser);
        self.addElement(name, attributes);
        // Past the tag's '>' or "/>", which the parser reads after this call.
        const QByteArrayView rest = QByteArrayView(self.m_html).sliced(xmlByteConsumed(parser));
        self.m_parsedUpTo = self.m_html.size() - rest.size() +
                            (rest.startsWith('>')    ? 1
                             : rest.startsWith("/>") ? 2
                                                     : 0);
    }

    static void endElement(void* context, const xmlChar*)
    {
        auto* parser = static_cast<htmlParserCtxtPtr>(context);
        auto& self = *static_cast<Builder*>(parser->_private);
        if (self.m_current == self.m_tree.root)
            return;
        self.m_parsedUpTo = xmlByteConsumed(parser);
        if (self.m_current->isHtml(u"form") && self.followsFormEndTag(self.m_parsedUpTo))
            self.endForm();
        self.m_current = self.m_current->parent;
    }

    static void characters(void* context, const xmlChar* text, int length)
    {
        auto* parser = static_cast<htmlParserCtxtPtr>(context);
        auto& self = *static_cast<Builder*>(parser->_private);
        if (self.keptRestAsServed(parser))
            return;
        self.addText(NodeKind::Text, reinterpret_cast<const char*>(text), length);
        self.m_parsedUpTo = xmlByteConsumed(parser);
    }

    static void comment(void* context, const xmlChar* text)
    {
        auto* parser = static_cast<htmlParserCtxtPtr>(context);
        auto& self = *static_cast<Builder*>(parser->_private);
        if (self.keptRestAsServed(parser))
            return;
        self.addText(NodeKind::Comment, reinterpret_cast<const char*>(text), -1);
        self.m_parsedUpTo = xmlByteConsumed(parser);
    }

    // Whether the page has used up its nodes. The first time, the rest of the page from the end
    // of the last thing built is kept as served, and the parse ends.
    bool keptRestAsServed(htmlParserCtxtPtr parser)
    {
        if (m_tree.nodes.size() < kMostNodes)
            return false;
        if (!m_restKept) {
            qCWarning(lcModem) << "page of more than" << kMostNodes
                               << "nodes; kept as served from byte" << m_parsedUpTo;
            Node* rest = m_tree.newNode(NodeKind::Markup);
            rest->name = QString::fromUtf8(QByteArrayView(m_html).sliced(m_parsedUpTo));
            rest->parent = m_current;
            m_current->children.push_back(rest);
            m_restKept = true;
            xmlStopParser(parser);
        }
        return true;
    }

    // An end tag </form> that matches no open form still ends the form's reach.
    static void error(void* context, xmlErrorPtr error)
    {
        auto& self = *static_cast<Builder*>(static_cast<htmlParserCtxtPtr>(context)->_private);
        if (error->code == XML_ERR_TAG_NAME_MISMATCH && error->str1 &&
            qstricmp(error->str1, "form") == 0)
            self.endForm();
    }

    // The parser has just opened an element below the deepest allowed one: the open element above
    // it is closed, in the parser's list of open elements and here, so the new one becomes its
    // sibling.
    void closeDeepest(htmlParserCtxtPtr parser)
    {
        if (!m_deepWarned) {
            qCWarning(lcModem) << "page nested deeper than" << kMaxNesting
                               << "elements; deeper ones are opened beside each other";
            m_deepWarned = true;
        }
        const int top = parser->nameNr - 1;
        parser->nameTab[top - 1] = parser->nameTab[top];
        parser->nameTab[top] = nullptr;
        parser->nameNr = top;
        if (m_current != m_tree.root)
            m_current = m_current->parent;
    }

    // After its end tag a form takes no more controls, even where the parser left it open.
    void endForm()
    {
        if (m_formPointer)
            m_endedForms.insert(m_formPointer);
        m_formPointer = nullptr;
    }

    void finish()
    {
        if (!m_formAttributeControls.empty()) {
            QHash<QString, Node*> byId;
            for (Node* element : m_tree.all)
                byId.insert(element->attributeOr(u"id"), element); // the first of an id wins
            for (Node* control : m_formAttributeControls) {
                Node* target = byId.value(control->attributeOr(u"form"));
                control->formOwner = target && target->isHtml(u"form") ? target : nullptr;
            }
        }
    }

private:
    QString shared(const char* utf8)
    {
        const QByteArrayView key(utf8);
        if (key.size() > 16)
            return QString::fromUtf8(key);
        auto found = m_strings.constFind(key.toByteArray());
        if (found == m_strings.constEnd())
            found = m_strings.insert(key.toByteArray(), QString::fromUtf8(key));
        return *found;
    }

    // Content after the page's closing tags still belongs to the page: the parser opens a new html
    // and body for it, where a browser goes on in the ones it has.
    Node* openAgain(const QString& tag) const
    {
        if (tag != u"html" && tag != u"head" && tag != u"body")
            return nullptr;
        for (Node* child : m_current->children) {
            if (child->isHtml(tag))
                return child;
        }
        return nullptr;
    }

    void addElement(const xmlChar* name, const xmlChar** attributes)
    {
        const QString tag = shared(reinterpret_cast<const char*>(name));
        if (Node* open = openAgain(tag)) {
            m_current = open;
            return;
        }
        Node* node = m_tree.newNode(NodeKind::Element);
        node->name = tag;
        for (const xmlChar** a = attributes; a && *a; a += 2) {
            node->attributes.push_back(
                {shared(reinterpret_cast<const char*>(a[0])),
                 a[1] ? QString::fromUtf8(reinterpret_cast<const char*>(a[1])) : QString()});
        }
        Node* parent = m_current;
        node->parent = parent;
        parent->children.push_back(node);
        m_tree.all.push_back(node);
        node->inDisabledFieldset =
            parent->inDisabledFieldset ||
            (parent->isHtml(u"fieldset") && parent->hasAttribute(u"disabled") &&
             !(node->isHtml(u"legend") && isFirstLegendOf(node, parent)));

        if (node->isHtml(u"form") && !m_formPointer)
            m_formPointer = node;
        if (isListed(*node)) {
            if (node->hasAttribute(u"form"))
                m_formAttributeControls.push_back(node);
            else
                node->formOwner = m_formPointer ? m_formPointer : openAncestorForm(node);
        }
        m_current = node;
    }

    Node* openAncestorForm(const Node* node) const
    {
        for (Node* up = node->parent; up; up = up->parent) {
            if (up->isHtml(u"form"))
                return m_endedForms.contains(up) ? nullptr : up;
        }
        return nullptr;
    }

    void addText(NodeKind kind, const char* text, int length)
    {
        const QString data = QString::fromUtf8(text, length);
        auto& siblings = m_current->children;
        if (kind == NodeKind::Text && !siblings.empty() && siblings.back()->kind == kind) {
            siblings.back()->name += data;
            return;
        }
        Node* node = m_tree.newNode(kind);
        node->name = data;
        node->parent = m_current;
        siblings.push_back(node);
    }

    // Whether the parser has just read "</form" and its '>', rather than closing the form
    // because of another tag.
    bool followsFormEndTag(long offset) const
    {
        if (offset <= 0 || offset > m_html.size() || m_html.at(offset - 1) != '>')
            return false;
        const qsizetype open = m_html.lastIndexOf('<', offset - 1);
        if (open < 0 || offset - open > 64)
            return false;
        const QByteArrayView tag = QByteArrayView(m_html).sliced(open, offset - open);
        return tag.size() >= 7 && tag.first(6).compare("</form", Qt::CaseInsensitive) == 0 &&
               !isTagNameChar(tag.at(6));
    }

    Tree& m_tree;
    const QByteArray& m_html;
    Node* m_current;
    bool m_deepWarned = false;
    bool m_restKept = false;
    long m_parsedUpTo = 0;
    Node* m_formPointer = nullptr;
    std::vector<Node*> m_formAttributeControls;
    QSet<const Node*> m_endedForms;
    QHash<QByteArray, QString> m_strings;
};

struct ParserDeleter {
    void operator()(htmlParserCtxtPtr parser) const { htmlFreeParserCtxt(parser); }
};

void parseInto(Builder& builder, const QByteArray& html)
{
    std::unique_ptr<htmlParserCtxt, ParserDeleter> parser(
        htmlCreateMemoryParserCtxt(html.constData(), static_cast<int>(html.size())));
    // Freed with the parser.
    auto* sax = static_cast<htmlSAXHandler*>(xmlMalloc(sizeof(htmlSAXHandler)));
    if (!parser || !sax) {
        xmlFree(sax);
        return;
    }
    *sax = htmlSAXHandler{};
    sax->initialized = XML_SAX2_MAGIC;
    sax->startElement = &Builder::startElement;
    sax->endElement = &Builder::endElement;
    sax->characters = &Builder::characters;
    sax->ignorableWhitespace = &Builder::characters;
    sax->cdataBlock = &Builder::characters;
    sax->comment = &Builder::comment;
    sax->serror = &Builder::error;
    xmlFree(parser->sax);
    parser->sax = sax;
    parser->_private = &builder;
    // The text is already decoded: the parser reads it as UTF-8 and never looks for another
    // encoding in the page. It reads no external entity and nothing from the network.
    htmlCtxtUseOptions(parser.get(), HTML_PARSE_RECOVER | HTML_PARSE_NOERROR |
                                         HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                                         HTML_PARSE_IGNORE_ENC);
    xmlSwitchEncoding(parser.get(), XML_CHAR_ENCODING_UTF8);
    htmlParseDocument(parser.get());
}

// Every page has an html element holding a head and a body, as a browser gives it.
void addMissingFrame(Tree& tree)
{
    for (Node* child : tree.root->children) {
        if (child->isHtml(u"html")) {
            tree.documentElement = child;
            break;
        }
    }
    if (!tree.documentElement) {
        Node* html = tree.newNode(NodeKind::Element);
        html->name = QStringLiteral("html");
        html->parent = tree.root;
        tree.root->children.push_back(html);
        tree.all.insert(tree.all.begin(), html);
        tree.documentElement = html;
    }
    Node* html = tree.documentElement;
    const auto hasChild = [html](QStringView name) {
        for (const Node* child : html->children)
            if (child->isHtml(name))
                return true;
        return false;
    };
    const auto add = [&](const QString& name) {
        Node* node = tree.newNode(NodeKind::Element);
        node->name = name;
        node->parent = html;
        return node;
    };
    if (!hasChild(u"head")) {
        Node* head = add(QStringLiteral("head"));
        html->children.insert(html->children.begin(), head);
        tree.all.insert(std::find(tree.all.begin(), tree.all.end(), html) + 1, head);
    }
    if (!hasChild(u"body") && !hasChild(u"frameset")) {
        Node* body = add(QStringLiteral("body"));
        html->children.push_back(body);
        tree.all.push_back(body);
    }
}

} // namespace

std::shared_ptr<Tree> parseHtml(QString text, const QUrl& url, const QString& encoding)
{
    // The parser takes a zero byte for the end of the page; browsers read on.
    text.replace(QChar(0), QChar::ReplacementCharacter);
    const QByteArray html = boundStartTags(text.toUtf8());
    text = QString(); // a page at the size cap is large: hold one copy at a time

    auto tree = std::make_shared<Tree>();
    tree->url = url;
    tree->encoding = encoding;
    tree->root = tree->newNode(NodeKind::Element);
    tree->root->name = QStringLiteral("#document");

    Builder builder(*tree, html);
    parseInto(builder, html);
    builder.finish();
    addMissingFrame(*tree);
    for (const Node* element : tree->all) {
        if (element->isHtml(u"base") && element->hasAttribute(u"href")) {
            tree->base = element;
            break;
        }
    }
    return tree;
}

Node* Tree::newNode(NodeKind kind)
{
    Node& node = nodes.emplace_back();
    node.kind = kind;
    return &node;
}

namespace {

void indexOnce(QHash<QString, Node*>& index, Node* element)
{
    for (const QStringView attribute : {u"name", u"id"}) {
        if (const QString* key = element->attribute(attribute); key && !index.contains(*key))
            index.insert(*key, element);
    }
}

} // namespace

Node* Tree::form(const QString& nameOrId) const
{
    if (!m_forms) {
        m_forms.emplace();
        for (Node* element : all) {
            if (element->isHtml(u"form"))
                indexOnce(*m_forms, element);
        }
    }
    return m_forms->value(nameOrId);
}

Node* Tree::control(const Node& owner, const QString& nameOrId) const
{
    if (!m_controls) {
        m_controls.emplace();
        for (Node* element : all) {
            if (element->formOwner && isListed(*element) &&
                !(element->isHtml(u"input") && inputType(*element) == u"image"))
                indexOnce((*m_controls)[element->formOwner], element);
        }
    }
    return m_controls->value(&owner).value(nameOrId);
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
