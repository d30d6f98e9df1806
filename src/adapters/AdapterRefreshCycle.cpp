#include "AdapterRefreshCycle.h"

#include "adapters/Form2.h"
#include "common/Pause.h"

namespace tolvane {

void AdapterRefreshCycle(IpHelper& ipHelper, MousePointer& mousePointer, MessageBoxes& messageBoxes,
                         GatewayTable& gateways)
{
    Form2 form2(ipHelper, mousePointer, messageBoxes, gateways);
    form2.Form_Load();
    form2.Hide();
    Pause(1000);
    form2.Form_Unload();
}

} // namespace tolvane
