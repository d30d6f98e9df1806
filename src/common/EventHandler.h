#pragma once

#include <functional>

namespace tolvane {

// Runs a handler that the event loop invoked (a button click, a timer). Exceptions must not
// cross Qt's event loop, so an end of the program raised inside is held here and raised again
// by the Pause that was waiting when the handler ran.
void RunEventHandler(const std::function<void()>& handler);

// Raises ProgramEnded when a handler ended the program while events were processed.
void RethrowPendingEnd();

} // namespace tolvane
