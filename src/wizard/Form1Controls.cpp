#include "Form1Controls.h"

#include "Form1.h"
#include "Form1View.h"

namespace tolvane {

std::array<ControlState, ControlCount> DesignedControls()
{
    constexpr bool W = false; // placed on the window
    constexpr bool Y = true;
    // name, in Frame1, in Frame2, left, top, width, height, caption
    std::array<ControlState, ControlCount> c{{
        {"Image1", W, W, 2895, 0, 1680, 495, ""},
        {"Frame1", W, W, 120, 960, 7575, 2415, ""},
        {"Label1", Y, W, 120, 240, 7215, 855, ""},
        {"Label5", Y, W, 120, 1080, 7155, 720, ""},
        {"Command1", Y, W, 2588, 1920, 1095, 375, "Start"},
        {"Command2", Y, W, 3788, 1920, 1095, 375, " Exit"},
        {"ProgressLabelback", Y, W, 1320, 1200, 4320, 240, ""},
        {"ProgressLab", Y, W, 1320, 1200, 4320, 240, ""},
        {"Frame2", W, W, 1560, 5640, 7455, 1815, ""},
        {"Label3", W, Y, 1560, 360, 4710, 360, "Login Screen for wireless modem"},
        {"Label4", W, Y, 1080, 120, 5580, 195,
         "Can not login into the wireless modem. Please enter the modem password here."},
        {"Label2", W, Y, 1200, 840, 1035, 240, "Password"},
        {"txtPassword", W, Y, 2400, 720, 3015, 495, ""},
        {"Command3", W, Y, 2520, 1320, 1215, 375, "Login"},
        {"Command4", W, Y, 4080, 1320, 1215, 375, "Cancel"},
        {"lblStatus", W, W, 3600, 4920, 75, 240, ""},
        {"CheckFirmwareText", W, W, 7560, 0, 4455, 3645, ""},
        // Beyond the right edge: the modem's pages need not be seen, but the control must be
        // shown to take the keyboard focus for the paste into the upgrade form.
        {"WebBrowser1", W, W, 8000, 0, 4455, 3645, ""},
    }};
    auto& label3 = c[static_cast<std::size_t>(Control::Label3)];
    label3.fontSize = 13.5F;
    label3.fontBold = true;
    c[static_cast<std::size_t>(Control::CheckFirmwareText)].visible = false;
    return c;
}

void Form1::change(Control c, const std::function<void(ControlState&)>& edit)
{
    edit(m_controls[index(c)]);
    m_view.controlChanged(c, m_controls[index(c)]);
}

void Form1::setCaption(Control c, const std::string& caption)
{
    change(c, [&](ControlState& s) { s.caption = caption; });
}

void Form1::setVisible(Control c, bool visible)
{
    change(c, [&](ControlState& s) { s.visible = visible; });
}

void Form1::setEnabled(Control c, bool enabled)
{
    change(c, [&](ControlState& s) { s.enabled = enabled; });
}

void Form1::setLeft(Control c, float left)
{
    change(c, [&](ControlState& s) { s.left = left; });
}

void Form1::setTop(Control c, float top)
{
    change(c, [&](ControlState& s) { s.top = top; });
}

void Form1::setWidth(Control c, float width)
{
    change(c, [&](ControlState& s) { s.width = width; });
}

void Form1::setHeight(Control c, float height)
{
    change(c, [&](ControlState& s) { s.height = height; });
}

void Form1::setFont(Control c, float size, bool bold)
{
    change(c, [&](ControlState& s) {
        s.fontSize = size;
        s.fontBold = bold;
    });
}

void Form1::setWindowSize(float width, float height)
{
    m_window.width = width;
    m_window.height = height;
    m_view.windowChanged(m_window);
}

void Form1::setWindowVisible(bool visible)
{
    m_window.visible = visible;
    m_view.windowChanged(m_window);
}

void Form1::userTyped(Control c, const std::string& text)
{
    m_controls[index(c)].caption = text;
}

} // namespace tolvane
