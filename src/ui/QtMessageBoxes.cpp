#include "QtMessageBoxes.h"

#include <QMessageBox>

namespace tolvane {

namespace {

QMessageBox::Icon iconOf(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtMessageBoxes::show(const std::string& text, const std::string& title, MessageIcon icon)
{
    // A box of a hidden window (silent mode) must still be seen, so it gets no parent then.
    QWidget* parent = m_parent && m_parent->isVisible() ? m_parent : nullptr;
    QMessageBox box(iconOf(icon), QString::fromLocal8Bit(title), QString::fromLocal8Bit(text),
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace tolvane
