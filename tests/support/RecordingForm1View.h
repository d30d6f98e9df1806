#pragma once

#include "platform/ClipboardKeystrokes.h"
#include "support/RecordingMessageBoxes.h"
#include "wizard/Form1View.h"

#include <functional>
#include <vector>

namespace tolvane::test {

// A clipboard of its own and a Ctrl+V that goes where `m_deliver` says, nowhere while unset.
struct FakeClipboardKeystrokes final : ClipboardKeystrokes {
    void clear() override { m_clipboard.clear(); }
    void setText(const std::string& text) override { m_clipboard = text; }
    void sendPaste() override
    {
        ++m_pastes;
        if (m_deliver)
            m_deliver(m_clipboard);
    }
    std::string m_clipboard;
    int m_pastes = 0;
    std::function<void(const std::string& clipboard)> m_deliver;
};

// Keeps what Form1 told its window. The logo loads as 1680 by 315 twips (112 by 21 pixels).
struct RecordingForm1View final : Form1View {
    MessageBoxes& messageBoxes() override { return m_boxes; }
    void unload() override { ++m_unloads; }
    void controlChanged(Control c, const ControlState& state) override
    {
        if (c == Control::Label1 && state.caption != (m_label1.empty() ? "" : m_label1.back()))
            m_label1.push_back(state.caption);
    }
    void windowChanged(const WindowState&) override {}
    std::optional<PictureSize> loadPicture(const std::string&) override
    {
        return PictureSize{1680, 315};
    }
    void setFocus(Control control) override { m_focus = control; }
    void bringToFront(Control) override {}
    void activate() override {}
    ClipboardKeystrokes& clipboardKeystrokes() override { return m_keys; }
    const std::vector<RecordingMessageBoxes::Shown>& shown() const { return m_boxes.shown(); }

    std::vector<std::string> m_label1; // each text Label1 showed, in order
    Control m_focus = Control::Command1;
    int m_unloads = 0;
    FakeClipboardKeystrokes m_keys;
    RecordingMessageBoxes m_boxes;
};

} // namespace tolvane::test
