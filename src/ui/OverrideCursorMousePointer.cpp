#include "platform/MousePointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace tolvane {

namespace {

// Qt's application-wide override cursor, which covers every window of the program.
class OverrideCursorMousePointer final : public MousePointer {
public:
    void setShape(PointerShape shape) override
    {
        const bool busy = shape == PointerShape::Busy;
        if (busy == m_busy || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return;
        if (busy)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else
            QGuiApplication::restoreOverrideCursor();
        m_busy = busy;
    }

private:
    bool m_busy = false;
};

} // namespace

std::unique_ptr<MousePointer> makeMousePointer()
{
    return std::make_unique<OverrideCursorMousePointer>();
}

} // namespace tolvane
