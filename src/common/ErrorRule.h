#pragma once

#include "Errors.h"

#include <exception>
#include <utility>

namespace tolvane {

// Runs one step under the skip-a-failed-step rule: an error inside it is dropped and the caller
// goes on with its next step. Ending the program is never an error and always passes through.
template <typename Step> void SkipFailedStep(Step&& step)
{
    try {
        std::forward<Step>(step)();
    } catch (const std::exception&) {
    }
}

} // namespace tolvane
