#pragma once

#include <memory>

namespace tolvane {

// Ends the program at once: no further handler runs and nothing else is saved. The program's
// back-end exits the process; the one for tests throws ProgramEnded so the test regains control.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    [[noreturn]] virtual void endNow() = 0;
};

std::unique_ptr<ProgramEnd> makeProgramEnd();

} // namespace tolvane
