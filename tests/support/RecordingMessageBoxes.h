#pragma once

#include "platform/MessageBoxes.h"

#include <vector>

namespace tolvane::test {

// Answers every message box at once and keeps what was shown.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        std::string title;
        MessageIcon icon;
    };

    void show(const std::string& text, const std::string& title, MessageIcon icon) override
    {
        m_shown.push_back({text, title, icon});
    }
    const std::vector<Shown>& shown() const { return m_shown; }

private:
    std::vector<Shown> m_shown;
};

} // namespace tolvane::test
