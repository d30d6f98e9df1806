#include "platform/ProgramEnd.h"

#include <cstdio>
#include <windows.h>

namespace tolvane {

namespace {

class ExitProcessProgramEnd final : public ProgramEnd {
public:
    [[noreturn]] void endNow() override
    {
        std::fflush(nullptr);
        ExitProcess(0);
    }
};

} // namespace

std::unique_ptr<ProgramEnd> makeProgramEnd()
{
    return std::make_unique<ExitProcessProgramEnd>();
}

} // namespace tolvane
