#pragma once

#include <memory>

namespace tolvane {

enum class PointerShape { Default, Busy };

// The screen's mouse pointer for all of the program's windows. Setting the shape it already has
// changes nothing. Without a display there is nothing to change, and the calls do nothing.
class MousePointer {
public:
    virtual ~MousePointer() = default;
    virtual void setShape(PointerShape shape) = 0;
};

std::unique_ptr<MousePointer> makeMousePointer();

} // namespace tolvane
