#include "platform/MousePointer.h"

#include <windows.h>

namespace tolvane {

namespace {

// The pointer set here stays while the thread is blocked in a call; the windows set their own
// again on the next mouse move after that.
class Win32MousePointer final : public MousePointer {
public:
    void setShape(PointerShape shape) override
    {
        ::SetCursor(::LoadCursor(nullptr, shape == PointerShape::Busy ? IDC_WAIT : IDC_ARROW));
    }
};

} // namespace

std::unique_ptr<MousePointer> makeMousePointer()
{
    return std::make_unique<Win32MousePointer>();
}

} // namespace tolvane
