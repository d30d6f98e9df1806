#pragma once

#include <string>

namespace tolvane {

// The clipboard and the one keystroke the program types itself: Ctrl+V, to paste a file's path
// into the modem's upgrade form, whose file field a page's own code may not fill. The window
// layer implements it (it owns the focused control the keystroke goes to); tests fake it.
class ClipboardKeystrokes {
public:
    virtual ~ClipboardKeystrokes() = default;

    // Empties the clipboard. Does nothing when the system has no clipboard.
    virtual void clear() = 0;
    // Puts the text on the clipboard as plain text.
    virtual void setText(const std::string& text) = 0;
    // Types Ctrl+V into the control of the program's window that has the keyboard focus and
    // returns once it has been handled. Nothing happens when no control of the window has it.
    virtual void sendPaste() = 0;
};

} // namespace tolvane
