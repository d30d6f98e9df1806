#pragma once

#include "QtClipboardKeystrokes.h"
#include "QtMessageBoxes.h"
#include "wizard/Form1View.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;

namespace tolvane {

class Form1;
class ModemBrowser;

// The main window on screen: the controls Form1 describes, placed by their twips at the
// screen's logical resolution, with the designed colours and fonts. Buttons and typing are
// handed to Form1.
class Form1Window final : public QWidget, public Form1View {
    Q_OBJECT

public:
    explicit Form1Window(ModemBrowser& browser, QWidget* parent = nullptr);

    // Connects the buttons and the password box to the form and shows its controls.
    void attach(Form1& form);

    MessageBoxes& messageBoxes() override { return m_messageBoxes; }
    void unload() override;
    void controlChanged(Control control, const ControlState& state) override;
    void windowChanged(const WindowState& state) override;
    std::optional<PictureSize> loadPicture(const std::string& path) override;
    void setFocus(Control control) override;
    void bringToFront(Control control) override;
    void activate() override;
    ClipboardKeystrokes& clipboardKeystrokes() override { return m_keystrokes; }

private:
    QWidget* widget(Control control) const { return m_widgets[static_cast<std::size_t>(control)]; }
    void build(ModemBrowser& browser);
    void focusIfUnattended(QWidget* button);
    int pixels(float twips) const;
    float twips(int pixels) const;

    std::array<QWidget*, ControlCount> m_widgets{};
    QtMessageBoxes m_messageBoxes{this};
    QtClipboardKeystrokes m_keystrokes{this};
    bool m_centred = false;
};

} // namespace tolvane
