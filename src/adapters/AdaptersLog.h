#pragma once

#include <QLoggingCategory>

namespace tolvane {

// tolvane.adapters: the release and renew answers and the gateways gathered.
Q_DECLARE_LOGGING_CATEGORY(lcAdapters)

} // namespace tolvane
