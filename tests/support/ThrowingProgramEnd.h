#pragma once

#include "common/Errors.h"
#include "platform/ProgramEnd.h"

namespace tolvane::test {

// Ends "the program" by unwinding to the test, which catches ProgramEnded.
class ThrowingProgramEnd final : public ProgramEnd {
public:
    [[noreturn]] void endNow() override { throw ProgramEnded{}; }
};

} // namespace tolvane::test
