#pragma once

#include "common/Errors.h"
#include "platform/ProgramEnd.h"

namespace tolvane::test {

// Ends "the program" by unwinding to the test, which catches ProgramEnded.
class ThrowingProgramEnd final : public ProgramEnd {
public:
    [[noreturn]] void endNow() override
    {
        ++m_ends;
        throw ProgramEnded{};
    }
    int ends() const { return m_ends; }

private:
    int m_ends = 0;
};

} // namespace tolvane::test
