#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace tolvane {

// The controls of the main window, by their names.
enum class Control {
    Image1,
    Frame1,
    Label1,
    Label5,
    Command1,
    Command2,
    ProgressLabelback,
    ProgressLab,
    Frame2,
    Label3,
    Label4,
    Label2,
    txtPassword,
    Command3,
    Command4,
    lblStatus,
    CheckFirmwareText,
    WebBrowser1,
};
inline constexpr std::size_t ControlCount = static_cast<std::size_t>(Control::WebBrowser1) + 1;

// The properties of a control that the procedures read and change. Positions and sizes are in
// twips (1,440 to the inch) relative to the container, in single precision like the layout
// arithmetic that computes them.
struct ControlState {
    const char* name;
    bool inFrame1;
    bool inFrame2;
    float left;
    float top;
    float width;
    float height;
    std::string caption; // caption of a label, button or frame; text of a text box
    bool visible = true;
    bool enabled = true;
    float fontSize = 8.25F;
    bool fontBold = false;
};

// The window itself: outer size in twips, its visibility and whether it stays above the others.
// It is first seen when Show has loaded it.
struct WindowState {
    float width = 0;
    float height = 0;
    bool visible = false;
    bool topmost = false;
};

inline constexpr const char* Form1Caption = "Tolvane ver 0.42 Ver 0.51";

// The controls as designed, before loading changes them.
std::array<ControlState, ControlCount> DesignedControls();

} // namespace tolvane
