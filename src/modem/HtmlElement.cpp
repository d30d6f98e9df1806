#include "HtmlElement.h"

#include "Dom.h"
#include "FormControls.h"
#include "ModemBrowser.h"
#include "ModemLog.h"
#include "common/Errors.h"

namespace tolvane {

namespace {

std::string describe(const dom::Node& node)
{
    const QString name = node.attributeOr(u"name");
    return "<" + node.name.toStdString() + (name.isEmpty() ? "" : " name=" + name.toStdString()) +
           ">";
}

bool isSubmitter(const dom::Node& node)
{
    if (node.isHtml(u"button"))
        return dom::typeProperty(node) == u"submit";
    if (node.isHtml(u"input")) {
        const QString type = dom::inputType(node);
        return type == u"submit" || type == u"image";
    }
    return false;
}

bool hasActivation(const dom::Node& node)
{
    if (node.isHtml(u"a") || node.isHtml(u"area"))
        return node.hasAttribute(u"href");
    return node.isHtml(u"input") || node.isHtml(u"button");
}

} // namespace

HtmlElement::HtmlElement(std::shared_ptr<dom::Tree> tree, dom::Node* node)
    : m_tree(std::move(tree)), m_node(node)
{}

QString HtmlElement::tagName() const
{
    return m_node->name.toUpper();
}

QString HtmlElement::Type() const
{
    return dom::typeProperty(*m_node);
}

QString HtmlElement::Name() const
{
    return m_node->attributeOr(u"name");
}

QString HtmlElement::id() const
{
    return m_node->attributeOr(u"id");
}

QString HtmlElement::getAttribute(const QString& name) const
{
    return m_node->attributeOr(name.toLower());
}

QString HtmlElement::Value() const
{
    if (!dom::hasValueProperty(*m_node))
        throw StepError(describe(*m_node) + " has no value");
    return dom::valueProperty(*m_node);
}

void HtmlElement::setValue(const QString& value)
{
    if (!dom::hasValueProperty(*m_node))
        throw StepError(describe(*m_node) + " has no value");
    if (!dom::setValueProperty(*m_node, value))
        throw StepError(describe(*m_node) + ": a file is chosen by the user, not by the page");
}

void HtmlElement::Click()
{
    dom::Node* target = m_node;
    while (target && !hasActivation(*target))
        target = target->parent;
    if (!target || dom::isDisabled(*target) || dom::isDisabled(*m_node))
        return;

    if (target->isHtml(u"input")) {
        const QString type = dom::inputType(*target);
        if (type == u"checkbox") {
            target->checked = !dom::checkedness(*target);
            return;
        }
        if (type == u"radio") {
            const QString group = target->attributeOr(u"name");
            if (!group.isEmpty()) {
                for (dom::Node* other : m_tree->all) {
                    if (other != target && other->isHtml(u"input") &&
                        dom::inputType(*other) == u"radio" &&
                        other->formOwner == target->formOwner &&
                        other->attributeOr(u"name") == group)
                        other->checked = false;
                }
            }
            target->checked = true;
            return;
        }
    }

    ModemBrowser* browser = m_tree->browser;
    if (!browser) {
        qCDebug(lcModem) << "click on a page that no browser shows; nothing opened";
        return;
    }
    std::optional<PageRequest> request;
    if (isSubmitter(*target)) {
        if (target->formOwner)
            request = dom::formSubmission(m_tree, *target->formOwner, target);
    } else if (target->isHtml(u"a") || target->isHtml(u"area")) {
        const QUrl url = dom::resolveHttpUrl(*m_tree, target->attributeOr(u"href"));
        if (url.isValid()) {
            request.emplace();
            request->url = url;
        }
    }
    if (!request)
        return;
    request->from = m_tree->url;
    browser->open(*request);
}

void HtmlElement::Focus()
{
    if (dom::isFocusable(*m_node))
        m_tree->focused = m_node;
}

bool HtmlElement::checked() const
{
    return m_node->isHtml(u"input") && dom::checkedness(*m_node);
}

QString HtmlElement::outerHTML() const
{
    return dom::serialize(*m_node);
}

HtmlElement HtmlElement::control(const QString& nameOrId) const
{
    if (!m_node->isHtml(u"form"))
        throw StepError(describe(*m_node) + " is not a form");
    dom::Node* found = m_tree->control(*m_node, nameOrId);
    if (!found)
        throw StepError(describe(*m_node) + " has no control " + nameOrId.toStdString());
    return HtmlElement(m_tree, found);
}

} // namespace tolvane
