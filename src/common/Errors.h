#pragma once

#include <stdexcept>

namespace tolvane {

// A step of a procedure failed: a page or element missing, a value that cannot be read.
// Procedures with a skip-a-failed-step rule catch it; the others let it reach their caller.
class StepError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Thrown where ending the program must unwind instead of exiting the process (tests).
// Deliberately not a std::exception, so that no skip-a-failed-step handler can swallow it.
struct ProgramEnded {};

} // namespace tolvane
