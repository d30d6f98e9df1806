#pragma once

#include "adapters/ListBox.h"

#include <cstdint>
#include <string>

namespace tolvane {

class IpHelper;
class MessageBoxes;
class MousePointer;
struct GatewayTable;

struct CommandButton {
    std::string Caption;
    bool Enabled = true;
};

// The adapter window. The program never shows it: loading it lists the PC's adapters, releases
// and renews every listed adapter's address, waits five seconds and gathers the default gateways
// into the process-wide table. The three lists are its working store, aligned row by row: the
// adapter's index; its first address, a tab and its description; its first default gateway.
class Form2 final {
public:
    Form2(IpHelper& ipHelper, MousePointer& mousePointer, MessageBoxes& messageBoxes,
          GatewayTable& gateways);

    void Form_Load();
    void Form_Unload();
    void Hide() { m_visible = false; }

    // Rebuilds the three lists from the platform's current adapter list.
    void DisplayAdatersInfo();

    // The release pass and the renew pass over the adapters of List1.
    void Command1_Click();
    void Command2_Click();

    void List1_Click();
    void List1_MouseDown();
    void List2_MouseDown();

    const std::string& Caption() const { return m_caption; }
    bool Visible() const { return m_visible; }
    ListBox& List1() { return m_list1; }
    ListBox& List2() { return m_list2; }
    ListBox& List3() { return m_list3; }
    const CommandButton& Command1() const { return m_command1; }
    const CommandButton& Command2() const { return m_command2; }

private:
    void runPass(bool (*procedure)(IpHelper&, std::int32_t));
    void gatherGateways();

    IpHelper& m_ipHelper;
    MousePointer& m_mousePointer;
    MessageBoxes& m_messageBoxes;
    GatewayTable& m_gateways;

    std::string m_caption = "Form2";
    bool m_visible = false;
    ListBox m_list1;
    ListBox m_list2;
    ListBox m_list3;
    CommandButton m_command1{"Command1"};
    CommandButton m_command2{"Command2"};
};

} // namespace tolvane
