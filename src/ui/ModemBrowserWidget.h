#pragma once

#include <QPlainTextEdit>

namespace tolvane {

class ModemBrowser;

// WebBrowser1 on screen: a rough, read-only rendering of the browser's current page. It takes
// the keyboard focus, and a paste keystroke (Ctrl+V) that reaches it puts the clipboard's text
// into the page's focused element when that is a text, password or file input.
class ModemBrowserWidget final : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit ModemBrowserWidget(ModemBrowser& browser, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void render();

    ModemBrowser& m_browser;
};

} // namespace tolvane
