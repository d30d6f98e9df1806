#pragma once

#include "platform/ClipboardKeystrokes.h"

class QWidget;

namespace tolvane {

// The system clipboard through Qt, and Ctrl+V sent as a key press and release to the control of
// one window that has the keyboard focus. The keystroke is delivered to that window only, never
// to whatever another program has in front, so a paste can never land outside the program.
class QtClipboardKeystrokes final : public ClipboardKeystrokes {
public:
    explicit QtClipboardKeystrokes(QWidget* window) : m_window(window) {}

    void clear() override;
    void setText(const std::string& text) override;
    void sendPaste() override;

private:
    QWidget* m_window;
};

} // namespace tolvane
