#pragma once

namespace tolvane {

class MessageBoxes;

// What Form1's procedures need of the window on screen. The Qt window implements it; tests
// record the calls.
class Form1View {
public:
    virtual ~Form1View() = default;

    // The window's message boxes; the procedures choose text, title and icon, and whether to
    // show one at all.
    virtual MessageBoxes& messageBoxes() = 0;

    // Unloads the window: it closes and is gone from the screen. Form1's state stays.
    virtual void unload() = 0;
};

} // namespace tolvane
