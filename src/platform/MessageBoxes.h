#pragma once

#include <string>

namespace tolvane {

enum class MessageIcon { None, Information, Exclamation, Critical };

// Modal message boxes with an OK button only. The call returns when the user has closed the
// box. Shown by the window layer; procedures decide whether to show one (silent mode shows none
// unless a procedure says otherwise).
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void show(const std::string& text, const std::string& title, MessageIcon icon) = 0;
};

// The program's title, the caption of its message boxes.
inline constexpr const char* ProgramTitle = "Tolvane";

} // namespace tolvane
