#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

namespace tolvane {

// Message boxes as Qt dialogs, modal to the main window.
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void show(const std::string& text, const std::string& title, MessageIcon icon) override;

private:
    QWidget* m_parent;
};

} // namespace tolvane
