#include "FormControls.h"

#include "FormBody.h"

namespace tolvane::dom {

namespace {

bool isSingleLine(const QString& type)
{
    return type != u"file" && type != u"checkbox" && type != u"radio" && type != u"hidden" &&
           type != u"submit" && type != u"image" && type != u"reset" && type != u"button";
}

// Inputs whose value property is the value attribute itself.
bool valueIsAttribute(const QString& type)
{
    return type == u"hidden" || type == u"submit" || type == u"image" || type == u"reset" ||
           type == u"button" || type == u"checkbox" || type == u"radio";
}

QString withoutLineBreaks(QString text)
{
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

QString withCrLf(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += u"\r\n";
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n') {
            out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

bool isButtonLike(const Node& element)
{
    if (element.isHtml(u"button"))
        return true;
    if (!element.isHtml(u"input"))
        return false;
    const QString type = inputType(element);
    return type == u"submit" || type == u"image" || type == u"reset" || type == u"button";
}

bool insideDatalist(const Node& element)
{
    for (const Node* up = element.parent; up; up = up->parent) {
        if (up->isHtml(u"datalist"))
            return true;
    }
    return false;
}

QString optionValue(const Node& option)
{
    if (const QString* value = option.attribute(u"value"))
        return *value;
    return textContent(option).simplified();
}

std::vector<FormEntry> formDataSet(const Tree& tree, const Node& form, const Node* submitter)
{
    std::vector<FormEntry> entries;
    for (const Node* element : tree.all) {
        if (element->formOwner != &form)
            continue;
        if (!(element->name == u"input" || element->name == u"button" ||
              element->name == u"select" || element->name == u"textarea"))
            continue;
        if (insideDatalist(*element) || isDisabled(*element))
            continue;
        if (isButtonLike(*element) && element != submitter)
            continue;
        const QString type = typeProperty(*element);
        if ((type == u"checkbox" || type == u"radio") && !checkedness(*element))
            continue;
        const QString name = element->attributeOr(u"name");
        if (element->isHtml(u"input") && type == u"image") {
            const QString prefix = name.isEmpty() ? QString() : name + u'.';
            entries.push_back({prefix + u'x', QStringLiteral("0")});
            entries.push_back({prefix + u'y', QStringLiteral("0")});
            continue;
        }
        if (name.isEmpty())
            continue;
        if (element->isHtml(u"select")) {
            for (const Node* option : optionsOf(*element)) {
                if (selectedness(*element, *option) && !isDisabled(*option))
                    entries.push_back({name, optionValue(*option)});
            }
        } else if (type == u"file") {
            entries.push_back({name, valueProperty(*element), true});
        } else if (type == u"hidden" && name.compare(u"_charset_", Qt::CaseInsensitive) == 0) {
            entries.push_back({name, tree.encoding});
        } else {
            entries.push_back({name, valueProperty(*element)});
        }
    }
    for (FormEntry& entry : entries) {
        entry.name = withCrLf(entry.name);
        if (!entry.isFile)
            entry.value = withCrLf(entry.value);
    }
    return entries;
}

} // namespace

QString inputType(const Node& input)
{
    static const QStringList known = {"hidden",   "text",           "search", "tel",    "url",
                                      "email",    "password",       "date",   "month",  "week",
                                      "time",     "datetime-local", "number", "range",  "color",
                                      "checkbox", "radio",          "file",   "submit", "image",
                                      "reset",    "button"};
    const QString type = input.attributeOr(u"type").toLower();
    return known.contains(type) ? type : QStringLiteral("text");
}

QString typeProperty(const Node& element)
{
    if (element.isHtml(u"input"))
        return inputType(element);
    if (element.isHtml(u"button")) {
        const QString type = element.attributeOr(u"type").toLower();
        return type == u"reset" || type == u"button" ? type : QStringLiteral("submit");
    }
    if (element.isHtml(u"select"))
        return element.hasAttribute(u"multiple") ? QStringLiteral("select-multiple")
                                                 : QStringLiteral("select-one");
    if (element.isHtml(u"textarea"))
        return QStringLiteral("textarea");
    return element.attributeOr(u"type");
}

bool hasValueProperty(const Node& element)
{
    return element.isHtml(u"input") || element.isHtml(u"button") || element.isHtml(u"select") ||
           element.isHtml(u"textarea") || element.isHtml(u"option");
}

QString valueProperty(const Node& element)
{
    if (element.isHtml(u"input")) {
        const QString type = inputType(element);
        if (type == u"file")
            return element.value.value_or(QString());
        if (valueIsAttribute(type)) {
            const bool on = type == u"checkbox" || type == u"radio";
            return element.attributeOr(u"value", on ? QStringLiteral("on") : QString());
        }
        return element.value.value_or(withoutLineBreaks(element.attributeOr(u"value")));
    }
    if (element.isHtml(u"textarea"))
        return element.value.value_or(textContent(element));
    if (element.isHtml(u"select")) {
        for (const Node* option : optionsOf(element)) {
            if (selectedness(element, *option))
                return optionValue(*option);
        }
        return {};
    }
    if (element.isHtml(u"option"))
        return optionValue(element);
    return element.attributeOr(u"value");
}

bool setValueProperty(Node& element, const QString& value)
{
    if (element.isHtml(u"input")) {
        const QString type = inputType(element);
        if (type == u"file") {
            if (!value.isEmpty())
                return false;
            element.value = QString();
        } else if (valueIsAttribute(type)) {
            element.setAttribute(QStringLiteral("value"), value);
        } else {
            element.value = isSingleLine(type) ? withoutLineBreaks(value) : value;
        }
        return true;
    }
    if (element.isHtml(u"textarea")) {
        element.value = value;
    } else if (element.isHtml(u"select")) {
        bool found = false;
        for (Node* option : optionsOf(element)) {
            option->selected = !found && optionValue(*option) == value;
            found = found || *option->selected;
        }
    } else {
        element.setAttribute(QStringLiteral("value"), value);
    }
    return true;
}

bool checkedness(const Node& input)
{
    return input.checked.value_or(input.hasAttribute(u"checked"));
}

std::vector<Node*> optionsOf(const Node& select)
{
    std::vector<Node*> options;
    for (Node* child : select.children) {
        if (child->isHtml(u"option")) {
            options.push_back(child);
        } else if (child->isHtml(u"optgroup")) {
            for (Node* grandChild : child->children) {
                if (grandChild->isHtml(u"option"))
                    options.push_back(grandChild);
            }
        }
    }
    return options;
}

bool selectedness(const Node& select, const Node& option)
{
    const std::vector<Node*> options = optionsOf(select);
    const auto isSelected = [](const Node* o) {
        return o->selected.value_or(o->hasAttribute(u"selected"));
    };
    if (select.hasAttribute(u"multiple"))
        return isSelected(&option);
    // One choice: the last selected option, else the first that is not disabled.
    const Node* chosen = nullptr;
    for (const Node* o : options) {
        if (isSelected(o))
            chosen = o;
    }
    if (!chosen) {
        for (const Node* o : options) {
            if (!isDisabled(*o)) {
                chosen = o;
                break;
            }
        }
    }
    return chosen == &option;
}

bool isDisabled(const Node& element)
{
    if (element.isHtml(u"option"))
        return element.hasAttribute(u"disabled") ||
               (element.parent && element.parent->isHtml(u"optgroup") &&
                element.parent->hasAttribute(u"disabled"));
    if (!(element.isHtml(u"input") || element.isHtml(u"button") || element.isHtml(u"select") ||
          element.isHtml(u"textarea") || element.isHtml(u"fieldset")))
        return false;
    return element.hasAttribute(u"disabled") || element.inDisabledFieldset;
}

bool isFocusable(const Node& element)
{
    if (element.kind != NodeKind::Element || isDisabled(element))
        return false;
    if (element.isHtml(u"input"))
        return inputType(element) != u"hidden";
    if (element.isHtml(u"a") || element.isHtml(u"area"))
        return element.hasAttribute(u"href");
    return element.isHtml(u"select") || element.isHtml(u"textarea") || element.isHtml(u"button") ||
           element.hasAttribute(u"tabindex");
}

bool pasteInto(Node& element, const QString& text)
{
    if (!element.isHtml(u"input") || isDisabled(element))
        return false;
    const QString type = inputType(element);
    if (type != u"text" && type != u"password" && type != u"file")
        return false;
    element.value = valueProperty(element) + withoutLineBreaks(text);
    return true;
}

QUrl resolveHttpUrl(const Tree& tree, const QString& reference)
{
    const QUrl base =
        tree.base ? tree.url.resolved(QUrl(tree.base->attributeOr(u"href").trimmed())) : tree.url;
    QString cleaned = reference.trimmed();
    cleaned.remove(u'\t');
    cleaned.remove(u'\n');
    cleaned.remove(u'\r');
    const QUrl url = base.resolved(QUrl(cleaned));
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return {};
    return url;
}

std::optional<PageRequest> formSubmission(const std::shared_ptr<const Tree>& tree, const Node& form,
                                          const Node* submitter)
{
    const auto setting = [&](QStringView formAttribute, QStringView submitterAttribute) {
        if (submitter && submitter->hasAttribute(submitterAttribute))
            return submitter->attributeOr(submitterAttribute);
        return form.attributeOr(formAttribute);
    };
    const QString method = setting(u"method", u"formmethod").trimmed().toLower();
    if (method == u"dialog")
        return std::nullopt;
    const QString action = setting(u"action", u"formaction");
    const QUrl url = action.trimmed().isEmpty() ? tree->url : resolveHttpUrl(*tree, action);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;

    PageRequest request;
    request.url = url;
    request.charset = tree->encoding;
    request.formEntries = [tree, &form, submitter] {
        return formDataSet(*tree, form, submitter);
    };
    if (method == u"post") {
        request.method = "POST";
        const QString enctype = setting(u"enctype", u"formenctype").trimmed().toLower();
        if (enctype == u"multipart/form-data")
            request.bodyEncoding = PageRequest::BodyEncoding::Multipart;
        else if (enctype == u"text/plain")
            request.bodyEncoding = PageRequest::BodyEncoding::TextPlain;
    }
    return request;
}

void takeFormEntries(PageRequest& request)
{
    if (!request.formEntries)
        return;
    request.entries = std::exchange(request.formEntries, nullptr)();
    if (request.method != "POST") {
        // A GET form replaces the query of its action; an empty form leaves a bare "?".
        const QByteArray query = urlEncodedForm(request.entries, request.charset);
        request.url.setQuery(query.isEmpty() ? QStringLiteral("") : QString::fromLatin1(query));
        request.entries.clear();
    }
}

} // namespace tolvane::dom
