#include "platform/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace tolvane {

namespace {

class ExitProgramEnd final : public ProgramEnd {
public:
    // No destructor or handler may run after the end, so the process leaves without unwinding.
    // Every registry write is already committed by then.
    [[noreturn]] void endNow() override
    {
        std::fflush(nullptr);
        std::_Exit(0);
    }
};

} // namespace

std::unique_ptr<ProgramEnd> makeProgramEnd()
{
    return std::make_unique<ExitProgramEnd>();
}

} // namespace tolvane
