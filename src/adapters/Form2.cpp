#include "Form2.h"

#include "adapters/AdaptersLog.h"
#include "adapters/IPReleaseRenew.h"
#include "adapters/TrimAtNul.h"
#include "common/GatewayTable.h"
#include "common/Pause.h"
#include "platform/IpHelper.h"
#include "platform/MousePointer.h"

#include <charconv>
#include <functional>
#include <vector>

namespace tolvane {

namespace {

// Dialog units from List2's left edge to the column of descriptions.
constexpr int DescriptionTabStop = 61;

// The adapter index of a List1 row; 0, which names no adapter, for a text that holds none.
std::int32_t adapterIndexOf(const std::string& text)
{
    std::int32_t index = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
    return error == std::errc() && end == text.data() + text.size() ? index : 0;
}

bool blankAfterTrim(const std::string& text)
{
    return text.find_first_not_of(' ') == std::string::npos;
}

// The busy pointer for the length of one release or renew call.
class BusyPointer final {
public:
    explicit BusyPointer(MousePointer& pointer) : m_pointer(pointer)
    {
        m_pointer.setShape(PointerShape::Busy);
    }
    ~BusyPointer() { m_pointer.setShape(PointerShape::Default); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    MousePointer& m_pointer;
};

} // namespace

Form2::Form2(IpHelper& ipHelper, MousePointer& mousePointer, MessageBoxes& messageBoxes,
             GatewayTable& gateways)
    : m_ipHelper(ipHelper), m_mousePointer(mousePointer), m_messageBoxes(messageBoxes),
      m_gateways(gateways)
{}

void Form2::Form_Load()
{
    m_list2.setTabStops({DescriptionTabStop});
    SocketsStartup(m_ipHelper);
    DisplayAdatersInfo();
    m_command1.Enabled = m_list1.selectedIndex() > -1;
    m_command1.Caption = "Release IP";
    m_command2.Enabled = m_list1.selectedIndex() > -1;
    m_command2.Caption = "Renew IP";
    Command1_Click();
    Command2_Click();
    Pause(5000);
    gatherGateways();
}

void Form2::Form_Unload()
{
    SocketsCleanup(m_ipHelper, m_messageBoxes);
}

void Form2::DisplayAdatersInfo()
{
    m_list1.clear();
    m_list2.clear();
    m_list3.clear();
    std::uint32_t count = 0;
    m_ipHelper.getAdaptersInfo(nullptr, &count);
    if (count == 0)
        return;
    std::vector<IpAdapterInfo> buffer(count);
    if (m_ipHelper.getAdaptersInfo(buffer.data(), &count) != NO_ERROR)
        return;

    // The chain lies inside the buffer; a link leading anywhere else ends it.
    const auto inBuffer = [&](const IpAdapterInfo* record) {
        return std::less_equal<>()(buffer.data(), record) &&
               std::less<>()(record, buffer.data() + buffer.size());
    };
    const IpAdapterInfo* record = buffer.data();
    for (std::size_t n = 0; record && inBuffer(record) && n < buffer.size(); ++n) {
        const IpAdapterInfo copy = *record;
        m_list1.addItem(std::to_string(copy.Index));
        m_list2.addItem(TrimAtNul(copy.IpAddress) + "\t" + TrimAtNul(copy.Description));
        m_list3.addItem(TrimAtNul(copy.GatewayAddress));
        record = copy.Next;
    }
}

void Form2::Command1_Click()
{
    runPass(&ReleaseIP);
}

void Form2::Command2_Click()
{
    runPass(&RenewIP);
}

void Form2::runPass(bool (*procedure)(IpHelper&, std::int32_t))
{
    // The number of iterations is fixed here; a rebuild may leave fewer rows, and positions past
    // the end hold no number and act on no adapter.
    const int rows = m_list1.count();
    for (int i = 0; i < rows; ++i) {
        const std::int32_t index = adapterIndexOf(m_list1.item(i));
        if (index == 0)
            continue;
        const BusyPointer busy(m_mousePointer);
        if (procedure(m_ipHelper, index))
            DisplayAdatersInfo();
    }
}

void Form2::gatherGateways()
{
    std::int16_t counter = 0;
    if (m_list3.count() == 0) {
        m_gateways.GatewayCount = 0;
        return;
    }
    const int rows = m_list3.count();
    for (int i = 0; i < rows; ++i) {
        const std::string row = m_list3.item(i);
        // The table has room for 16; any further gateway is left out.
        if (blankAfterTrim(row) || counter >= GatewayTable::Capacity)
            continue;
        m_gateways.GatewayAddresses[static_cast<std::size_t>(counter)] = row;
        ++counter;
        qCDebug(lcAdapters) << "gateway" << row.c_str();
    }
    m_gateways.GatewayCount = counter;
}

void Form2::List1_Click()
{
    m_command1.Enabled = m_list1.selectedIndex() > -1;
    m_command2.Enabled = m_list1.selectedIndex() > -1;
}

void Form2::List1_MouseDown()
{
    m_list2.setSelectedIndex(m_list1.selectedIndex());
}

void Form2::List2_MouseDown()
{
    const int before = m_list1.selectedIndex();
    m_list1.setSelectedIndex(m_list2.selectedIndex());
    if (m_list1.selectedIndex() != before)
        List1_Click();
}

} // namespace tolvane
