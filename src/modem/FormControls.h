#pragma once

#include "Dom.h"
#include "PageRequest.h"

#include <memory>
#include <optional>
#include <vector>

namespace tolvane::dom {

// The type keyword of an input in lower case; a missing or unknown type is "text".
QString inputType(const Node& input);

// The DOM's type property: the input keyword, "submit", "reset" or "button" for a button,
// "select-one" or "select-multiple", "textarea"; other elements give their type attribute.
QString typeProperty(const Node& element);

bool hasValueProperty(const Node& element);
QString valueProperty(const Node& element);
// False when the element refuses the value (a file input takes only the empty text by script).
bool setValueProperty(Node& element, const QString& value);

bool checkedness(const Node& input);
std::vector<Node*> optionsOf(const Node& select);
bool selectedness(const Node& select, const Node& option);

bool isDisabled(const Node& element);
bool isFocusable(const Node& element);

// Appends pasted text at the end of a text, password or file input's value; false when the
// element takes no paste.
bool pasteInto(Node& element, const QString& text);

// The request that submitting `form` with `submitter` makes, or nothing when the submission does
// nothing (an action a browser would not open, a form that cannot submit).
std::optional<PageRequest> formSubmission(const std::shared_ptr<const Tree>& tree, const Node& form,
                                          const Node* submitter);

// The entries a submission sends (see PageRequest::formEntries): for a GET they replace the
// query of the address, else they make the body.
void takeFormEntries(PageRequest& request);

// An address of the page resolved against its base; invalid when it is not an http(s) address.
QUrl resolveHttpUrl(const Tree& tree, const QString& reference);

} // namespace tolvane::dom
