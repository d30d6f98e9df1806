#pragma once

#include "support/FakeClipboardKeystrokes.h"
#include "support/RecordingMessageBoxes.h"
#include "wizard/Form1View.h"

#include <vector>

namespace tolvane::test {

// Keeps what Form1 told its window: message boxes, captions in order, focus and unloads. The
// picture loads as a 112 by 21 pixel bitmap would at 96 dots per inch unless told to fail.
class RecordingForm1View final : public Form1View {
public:
    struct Caption {
        Control control;
        std::string text;
    };

    MessageBoxes& messageBoxes() override { return m_boxes; }
    void unload() override { ++m_unloads; }
    void controlChanged(Control control, const ControlState& state) override
    {
        if (m_captions.empty() || m_captions.back().control != control ||
            m_captions.back().text != state.caption)
            m_captions.push_back({control, state.caption});
    }
    void windowChanged(const WindowState& state) override
    {
        m_window = state;
        m_windowEverShown |= state.visible;
    }
    std::optional<PictureSize> loadPicture(const std::string& path) override
    {
        m_picturePath = path;
        if (m_pictureFails)
            return std::nullopt;
        return PictureSize{112 * 15.0F, 21 * 15.0F};
    }
    void setFocus(Control control) override { m_focus.push_back(control); }
    void bringToFront(Control control) override { m_fronts.push_back(control); }
    void activate() override { ++m_activations; }
    ClipboardKeystrokes& clipboardKeystrokes() override { return m_keys; }

    const std::vector<RecordingMessageBoxes::Shown>& shown() const { return m_boxes.shown(); }
    // The captions a control had, in order, each change once.
    std::vector<std::string> captionsOf(Control control) const
    {
        std::vector<std::string> texts;
        for (const Caption& c : m_captions)
            if (c.control == control)
                texts.push_back(c.text);
        return texts;
    }

    int m_unloads = 0;
    bool m_pictureFails = false;
    bool m_windowEverShown = false;
    std::string m_picturePath;
    WindowState m_window;
    std::vector<Control> m_focus;
    std::vector<Control> m_fronts;
    int m_activations = 0;
    FakeClipboardKeystrokes m_keys;

private:
    RecordingMessageBoxes m_boxes;
    std::vector<Caption> m_captions;
};

} // namespace tolvane::test
