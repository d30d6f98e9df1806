#pragma once

#include "GatewayTable.h"
#include "KernelMode.h"
#include "RunOptions.h"

namespace tolvane {

// The variables every window and module of the program shares for the whole run.
struct ProcessState {
    RunOptions runOptions;
    KernelMode kernelMode = KernelMode::Undetermined;
    GatewayTable gateways;
};

} // namespace tolvane
