#pragma once

#include <QLoggingCategory>

namespace tolvane {

// tolvane.modem: navigations, their answers and the form submissions sent (never field values).
Q_DECLARE_LOGGING_CATEGORY(lcModem)

} // namespace tolvane
