#pragma once

#include "Form1Controls.h"

#include <optional>
#include <string>

namespace tolvane {

class ClipboardKeystrokes;
class MessageBoxes;

struct PictureSize {
    float width;  // twips
    float height; // twips
};

// What Form1's procedures need of the window on screen. The Qt window implements it; tests
// record the calls. Form1 keeps the state of every control and tells the view what changed.
class Form1View {
public:
    virtual ~Form1View() = default;

    // The window's message boxes; the procedures choose text, title and icon, and whether to
    // show one at all.
    virtual MessageBoxes& messageBoxes() = 0;

    // Unloads the window: it closes and is gone from the screen. Form1's state stays.
    virtual void unload() = 0;

    // Shows the control as its state now describes it.
    virtual void controlChanged(Control control, const ControlState& state) = 0;

    // Shows the window as its state now describes it: size, visibility, topmost.
    virtual void windowChanged(const WindowState& state) = 0;

    // Loads a bitmap file as the picture of Image1; its size, or nothing when the file cannot be
    // loaded as a picture.
    virtual std::optional<PictureSize> loadPicture(const std::string& path) = 0;

    // Gives the control the keyboard focus.
    virtual void setFocus(Control control) = 0;

    // Puts the control in front of the controls that overlap it.
    virtual void bringToFront(Control control) = 0;

    // Makes the window the active one, so that keystrokes reach its focused control.
    virtual void activate() = 0;

    // The clipboard, and Ctrl+V typed into the window's focused control.
    virtual ClipboardKeystrokes& clipboardKeystrokes() = 0;
};

} // namespace tolvane
