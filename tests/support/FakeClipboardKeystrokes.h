#pragma once

#include "platform/ClipboardKeystrokes.h"

#include <functional>
#include <string>

namespace tolvane::test {

// A clipboard of its own and a Ctrl+V that goes where a test says: nowhere until `m_deliver` is
// set (Form1Scenario routes it into the browser's page, as the window on screen would).
class FakeClipboardKeystrokes final : public ClipboardKeystrokes {
public:
    void clear() override
    {
        m_clipboard.clear();
        ++m_clears;
    }
    void setText(const std::string& text) override { m_clipboard = text; }
    void sendPaste() override
    {
        ++m_pastes;
        if (m_deliver)
            m_deliver(m_clipboard);
    }

    std::string m_clipboard;
    int m_clears = 0;
    int m_pastes = 0;
    std::function<void(const std::string& clipboard)> m_deliver;
};

} // namespace tolvane::test
