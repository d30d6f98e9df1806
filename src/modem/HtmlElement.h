#pragma once

#include <QString>

#include <memory>

namespace tolvane {

namespace dom {
struct Node;
struct Tree;
} // namespace dom

// One element of a loaded page, with the properties and methods that scripts of the page would
// see. A handle: copies name the same element, and each keeps its whole document alive, so an
// element taken from a page stays usable after the browser has moved on to another page.
class HtmlElement {
public:
    HtmlElement(std::shared_ptr<dom::Tree> tree, dom::Node* node);

    // In upper case for HTML elements ("INPUT"), whatever case the page wrote.
    QString tagName() const;
    // For an input its type keyword in lower case, "text" when missing or unknown; for a button
    // "submit", "reset" or "button"; "select-one", "select-multiple", "textarea"; for anything
    // else the type attribute as written.
    QString Type() const;
    QString Name() const;
    QString id() const;
    QString getAttribute(const QString& name) const;

    // The value property: starts from the markup and then holds what was set or pasted. A file
    // input holds the path text pasted into it. Throws StepError for an element without a value.
    QString Value() const;
    // Throws StepError for an element without a value, and for a file input given anything but
    // the empty text: as in browsers, a page cannot choose a file, only the user can.
    void setValue(const QString& value);

    // A submit input or button sends its form; a checkbox toggles; a radio button is checked
    // and the others of its group cleared; a link opens its address. Anything else, or a
    // disabled control, does nothing. A click inside a link or button counts as one on it.
    void Click();
    // Makes the element the page's focused element, where a paste goes; ignored for elements
    // that cannot take the focus (hidden inputs, disabled controls, plain text).
    void Focus();

    bool checked() const;
    QString outerHTML() const;

    // For a form: its control with that name or id (the form's elements collection), in tree
    // order. Throws StepError when the element is no form or has no such control.
    HtmlElement control(const QString& nameOrId) const;

    bool operator==(const HtmlElement& other) const { return m_node == other.m_node; }

private:
    std::shared_ptr<dom::Tree> m_tree;
    dom::Node* m_node;
};

} // namespace tolvane
