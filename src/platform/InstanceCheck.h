#pragma once

#include <memory>

namespace tolvane {

// Tells whether another instance of this program is running. Every instance announces itself
// on construction, for as long as it lives; an instance that crashed or was killed no longer
// counts, whatever it left behind.
class InstanceCheck {
public:
    virtual ~InstanceCheck() = default;
    virtual bool earlierInstanceRunning() = 0;
};

std::unique_ptr<InstanceCheck> makeInstanceCheck();

} // namespace tolvane
