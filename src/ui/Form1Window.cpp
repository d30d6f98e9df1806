#include "Form1Window.h"

namespace tolvane {

Form1Window::Form1Window(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Tolvane ver 0.42 Ver 0.51"));
}

} // namespace tolvane
