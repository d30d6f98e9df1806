#include "ModemBrowserWidget.h"

#include "modem/ModemBrowser.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

namespace tolvane {

ModemBrowserWidget::ModemBrowserWidget(ModemBrowser& browser, QWidget* parent)
    : QPlainTextEdit(parent), m_browser(browser)
{
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    connect(&m_browser, &ModemBrowser::documentChanged, this, &ModemBrowserWidget::render);
    render();
}

void ModemBrowserWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        if (m_browser.Document().paste(QGuiApplication::clipboard()->text()))
            render();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ModemBrowserWidget::insertFromMimeData(const QMimeData*)
{
    // The rendering itself is never edited; pastes go to the page (keyPressEvent).
}

void ModemBrowserWidget::render()
{
    setPlainText(m_browser.Document().renderedText());
}

} // namespace tolvane
