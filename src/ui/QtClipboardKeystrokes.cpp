#include "QtClipboardKeystrokes.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QWidget>

namespace tolvane {

void QtClipboardKeystrokes::clear()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->clear();
}

void QtClipboardKeystrokes::setText(const std::string& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(QString::fromLocal8Bit(text));
}

void QtClipboardKeystrokes::sendPaste()
{
    // The window's focus child is the control that would have the focus had the system made
    // the window active; a hidden or refused activation must not make the paste go nowhere.
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != m_window)
        target = m_window->focusWidget();
    if (!target)
        return;
    const QString ctrlV(QChar(0x16));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, ctrlV);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_V, Qt::ControlModifier, ctrlV);
    QCoreApplication::sendEvent(target, &release);
}

} // namespace tolvane
