#include "ModemLog.h"

namespace tolvane {

Q_LOGGING_CATEGORY(lcModem, "tolvane.modem", QtWarningMsg)

} // namespace tolvane
