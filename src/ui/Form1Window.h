#pragma once

#include <QWidget>

namespace tolvane {

// The main window on screen. For now a bare window carrying the program's caption.
class Form1Window final : public QWidget {
    Q_OBJECT

public:
    explicit Form1Window(QWidget* parent = nullptr);
};

} // namespace tolvane
