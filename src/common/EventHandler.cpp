#include "EventHandler.h"

#include "Errors.h"

namespace tolvane {

namespace {
bool g_endPending = false;
} // namespace

void RunEventHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const ProgramEnded&) {
        g_endPending = true;
    }
}

void RethrowPendingEnd()
{
    if (g_endPending) {
        g_endPending = false;
        throw ProgramEnded{};
    }
}

} // namespace tolvane
