#include "ModemPages.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>

namespace tolvane::modemsim {

namespace {

constexpr std::string_view kernelStyle = R"(<style type="text/css">
body { margin: 0; background: #ffffff; font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 11px; color: #222222; }
a { color: #1b3f6e; text-decoration: none; }
a:hover { text-decoration: underline; }
#banner { height: 58px; background: #1b3f6e; color: #ffffff; padding: 0 14px; }
#banner .brand { font-size: 22px; font-weight: bold; letter-spacing: 2px; }
#banner .model { font-size: 11px; color: #c9d8ec; }
#banner .toplinks { float: right; margin-top: 22px; }
#banner .toplinks a { color: #ffffff; }
#menu { width: 170px; background: #e8eef6; border-right: 1px solid #b7c6da; padding: 8px 0; }
#menu .grp { margin: 10px 10px 2px 10px; font-weight: bold; color: #555555; text-transform: uppercase; font-size: 10px; }
#menu a { display: block; padding: 2px 18px; }
#content { padding: 14px 22px; }
h1 { font-size: 15px; color: #1b3f6e; border-bottom: 1px solid #b7c6da; padding-bottom: 4px; }
table.data { border-collapse: collapse; margin-bottom: 14px; }
table.data td { border: 1px solid #d3dce8; padding: 3px 8px; }
table.data td.label { background: #f2f5fa; width: 190px; }
.note { color: #666666; margin: 8px 0; }
.error { color: #b00000; font-weight: bold; }
#footer { clear: both; padding: 8px 14px; color: #888888; font-size: 10px; border-top: 1px solid #d3dce8; }
</style>
)";

constexpr std::string_view kernelScript = R"(<script type="text/javascript">
function openHelp(topic) {
  window.open('help_' + topic + '.htm', 'help', 'width=480,height=520,scrollbars=yes,resizable=yes');
}
function confirmLogout() {
  if (confirm('Log out of the modem?'))
    location.href = 'logout.cgi';
}
</script>
)";

constexpr std::string_view kernelMenu = R"(<div class="grp">LAN Setup</div>
<a href="setupl_lan.stm">LAN Settings</a>
<a href="setupl_dhcp.stm">DHCP Client List</a>
<div class="grp">Internet WAN</div>
<a href="setupw_2.stm">Connection Type</a>
<a href="setupw_dns.stm">DNS</a>
<div class="grp">ADSL</div>
<a href="setupa_brief.stm">Line Status</a>
<div class="grp">Wireless</div>
<a href="setupwl_ch.stm">Channel and SSID</a>
<a href="setupwl_sec.stm">Security</a>
<div class="grp">Firewall</div>
<a href="firewall_vs.stm">Virtual Servers</a>
<div class="grp">Utilities</div>
<a href="tools_restart.stm">Restart Modem</a>
<a href="system_f.stm">Firmware Update</a>
<a href="status_main.stm">Status</a>
)";

std::string kernelLayout(std::string_view title, std::string_view helpTopic,
                         std::string_view headExtra, std::string_view content)
{
    std::string page;
    page.reserve(6000 + headExtra.size() + content.size());
    page += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html>\n<head>\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
            "<meta http-equiv=\"Pragma\" content=\"no-cache\">\n<title>Velmora KVX4120/07 - ";
    page += title;
    page += "</title>\n";
    page += kernelStyle;
    page += kernelScript;
    page += headExtra;
    page += "</head>\n<body>\n<table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">\n"
            "<tr><td colspan=\"2\" id=\"banner\"><div class=\"toplinks\"><a href=\"index.stm\">"
            "Home</a> | <a href=\"javascript:openHelp('";
    page += helpTopic;
    page += "')\">Help</a> | <a href=\"javascript:confirmLogout()\">Logout</a></div>"
            "<span class=\"brand\">Velmora</span><br><span class=\"model\">KVX4120/07 ADSL "
            "Wireless Basestation</span></td></tr>\n<tr><td id=\"menu\" valign=\"top\">\n";
    page += kernelMenu;
    page += "</td>\n<td id=\"content\" valign=\"top\">\n<h1>";
    page += title;
    page += "</h1>\n";
    page += content;
    page += "\n</td></tr>\n</table>\n<div id=\"footer\">Copyright &copy; 2005 Velmora "
            "Communications Ltd. All rights reserved.</div>\n</body>\n</html>\n";
    return page;
}

constexpr std::string_view miniStyle =
    "<style type=\"text/css\">\nbody { font-family: Arial, sans-serif; font-size: 12px; "
    "margin: 20px; }\nh3 { font-size: 14px; }\n.box { border: 1px solid #999999; padding: 10px; "
    "width: 460px; }\n</style>\n";

std::string miniLayout(std::string_view title, std::string_view headExtra, std::string_view content)
{
    std::string page = "<html>\n<head>\n<title>";
    page += title;
    page += "</title>\n";
    page += miniStyle;
    page += headExtra;
    page += "</head>\n<body>\n<h3>";
    page += title;
    page += "</h3>\n<div class=\"box\">\n";
    page += content;
    page += "\n</div>\n</body>\n</html>\n";
    return page;
}

std::string formatUptime(long long seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%lld days %02lld:%02lld:%02lld", seconds / 86400,
                  seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
    return text;
}

// Kernel messages as the status page keeps them; long enough to push later text far down.
std::string systemLogScript(std::size_t atLeast)
{
    constexpr std::array<std::string_view, 6> messages = {
        "kernel: eth0: link up, 100Mbps, full-duplex",
        "dsl: training started, annex mode auto",
        "dsl: showtime, downstream 8128 kbps, upstream 832 kbps",
        "dhcpd: DHCPACK on 192.168.2.33 to 00:0c:29:4f:8e:35",
        "wlan0: WPA-PSK group key handshake completed",
        "pppd: local IP address assigned, primary DNS set",
    };
    std::string script = "<script type=\"text/javascript\">\nvar syslog_lines = new Array(\n";
    for (std::size_t i = 0; script.size() < atLeast; ++i) {
        char line[160];
        std::snprintf(line, sizeof line, "\"Jan  1 00:%02zu:%02zu %s\",\n", i / 60 % 60, i % 60,
                      messages[i % messages.size()].data());
        script += line;
    }
    script += "\"\");\n</script>\n";
    return script;
}

} // namespace

std::string htmlEscape(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            // Text from uploaded files may hold anything; keep the page plain ASCII.
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
                escaped += '?';
            else
                escaped += c;
        }
    }
    return escaped;
}

std::string loginPage(bool incorrectPassword)
{
    std::string content;
    if (incorrectPassword)
        content += "<p class=\"error\">Incorrect Password. Please try again.</p>\n";
    content += R"(<p class="note">Please log in to change the settings of your modem.</p>
<form name="tF" method="post" action="login.cgi">
<input type="hidden" name="page" value="login">
<input type="hidden" name="totalMSec" value="0">
<table class="data">
<tr><td class="label">User Name</td><td><input type="text" name="username" value="" size="20" maxlength="32"></td></tr>
<tr><td class="label">Password</td><td><input type="password" name="pws" value="" size="20" maxlength="32"></td></tr>
</table>
<input type="submit" value="Log In"> <input type="reset" value="Clear">
</form>
<p class="note">The default user name is root. Passwords are case-sensitive.</p>)";
    const std::string_view head = R"(<script type="text/javascript">
function startClock() { document.tF.totalMSec.value = new Date().getTime(); }
window.onload = startClock;
</script>
)";
    return kernelLayout("Login", "login", head, content);
}

std::string homePage(std::string_view versionText)
{
    const std::string content =
        R"(<p>Welcome to the configuration pages of your ADSL Wireless Basestation.
Use the menu on the left to change the settings of the modem.</p>
<table class="data">
<tr><td class="label">Model</td><td>KVX4120/07</td></tr>
<tr><td class="label">Firmware Version</td><td>)" +
        htmlEscape(versionText) + R"(</td></tr>
<tr><td class="label">Quick Setup</td><td><a href="setupw_2.stm">Internet connection wizard</a></td></tr>
<tr><td class="label">Line</td><td><a href="setupa_brief.stm">ADSL line status</a></td></tr>
</table>)";
    return kernelLayout("Home", "home", "", content);
}

std::string statusPage(const StatusValues& values)
{
    std::string head;
    if (values.versionTagLate)
        head += systemLogScript(11'500);
    head += "<script type=\"text/javascript\">\n";
    head += "var sys_uptime=\"" + formatUptime(values.uptimeSeconds) + "\";\n";
    if (values.versionTag)
        head += "var runtime_code_version=\"" + values.versionText + "\";\n";
    head += "var boot_code_version=\"1.0.7\";\n";
    head += "var hardware_version=\"01\";\n";
    head += "var lan_mac_addr=\"" + values.mac + "\";\n";
    head += "var lan_ip_addr=\"192.168.2.1\";\nvar lan_subnet_mask=\"255.255.255.0\";\n";
    head += "var dhcp_server_enabled=\"1\";\n";
    if (values.adslTag)
        head += "var adsl_code_version=\"" + values.adslCode + "\";\n";
    head += R"(var adsl_line_state="Showtime";
var adsl_down_rate="8128";
var adsl_up_rate="832";
var wan_ip_addr="0.0.0.0";
var wan_dns1="0.0.0.0";
var wlan_ssid="Velmora";
var wlan_channel="6";
var wlan_security="WPA-PSK";
function row(label, value) {
  document.write('<tr><td class="label">' + label + '</td><td>' + value + '</td></tr>');
}
</script>
)";
    std::string content = R"(<table class="data">
<tr><td colspan="2"><b>Version Info</b></td></tr>
<script type="text/javascript">
row('Uptime', sys_uptime);
)";
    if (values.versionTag)
        content += "row('Firmware Version', runtime_code_version);\n";
    content += "row('Boot Version', boot_code_version);\nrow('Hardware', hardware_version);\n";
    if (values.adslTag)
        content += "row('ADSL Version', adsl_code_version);\n";
    content += R"(</script>
</table>
<table class="data">
<tr><td colspan="2"><b>LAN Settings</b></td></tr>
<script type="text/javascript">
row('MAC Address', lan_mac_addr);
row('IP Address', lan_ip_addr);
row('Subnet Mask', lan_subnet_mask);
row('DHCP Server', dhcp_server_enabled == "1" ? 'Enabled' : 'Disabled');
</script>
</table>
<table class="data">
<tr><td colspan="2"><b>Internet Settings</b></td></tr>
<script type="text/javascript">
row('ADSL Line', adsl_line_state);
row('Downstream / Upstream', adsl_down_rate + ' / ' + adsl_up_rate + ' kbps');
row('WAN IP Address', wan_ip_addr);
row('Primary DNS', wan_dns1);
</script>
</table>
<table class="data">
<tr><td colspan="2"><b>Wireless</b></td></tr>
<script type="text/javascript">
row('SSID', wlan_ssid);
row('Channel', wlan_channel);
row('Security', wlan_security);
</script>
</table>
<form name="refreshForm" method="get" action="status_main.stm">
<input type="hidden" name="refresh" value="1">
<input type="button" value="Refresh" onclick="document.refreshForm.submit();">
</form>)";
    return kernelLayout("Status", "status", head, content);
}

std::string garbageBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 0x2545F491u;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state & 0xff);
    }
    return bytes;
}

std::string kernelUpgradePage(std::string_view versionText, bool withFileInput)
{
    std::string content = R"(<p>You are currently running firmware version <b>)" +
                          htmlEscape(versionText) + R"(</b>.</p>
<p class="note">Browse to the firmware file and click Update. The update takes a few minutes;
do not switch off the modem while it is written. The modem restarts by itself afterwards.</p>
<form name="webForm" method="post" enctype="multipart/form-data" action="upgrade.cgi">
<input type="hidden" name="page" value="system_f">
<table class="data">
<tr><td class="label">Firmware File</td><td>)";
    content += withFileInput ? "<input type=\"file\" name=\"webUpload\" size=\"40\">"
                             : "<i>Firmware upload is not available.</i>";
    content += R"(</td></tr>
</table>
<input type="submit" value="Update">
</form>
<h1>Save and Restore Settings</h1>
<form name="cfgForm" method="post" enctype="multipart/form-data" action="config.cgi">
<table class="data">
<tr><td class="label">Save to file</td><td><input type="button" value="Save" onclick="location.href='config.bin'"></td></tr>
<tr><td class="label">Restore from file</td><td><input type="file" name="restoreFile" size="30">
<input type="button" value="Restore" onclick="if (confirm('Restore the settings from this file?')) document.cfgForm.submit();"></td></tr>
</table>
</form>)";
    return kernelLayout("Firmware Update", "firmware", "", content);
}

std::optional<std::string> setupPage(std::string_view path)
{
    struct Setup {
        std::string_view title;
        std::string_view topic;
        std::string_view rows;
    };
    static const std::map<std::string_view, Setup> pages = {
        {"/setupl_lan.stm",
         {"LAN Settings", "lan",
          R"(<tr><td class="label">IP Address</td><td><input type="text" name="lan_ip" value="192.168.2.1" size="16"></td></tr>
<tr><td class="label">Subnet Mask</td><td><input type="text" name="lan_mask" value="255.255.255.0" size="16"></td></tr>
<tr><td class="label">DHCP Server</td><td><input type="radio" name="dhcp" value="1" checked> On <input type="radio" name="dhcp" value="0"> Off</td></tr>
<tr><td class="label">Lease Time</td><td><select name="lease"><option>1 hour</option><option selected>1 day</option><option>Forever</option></select></td></tr>)"}},
        {"/setupl_dhcp.stm",
         {"DHCP Client List", "dhcp",
          R"(<tr><td class="label">192.168.2.33</td><td>00:0c:29:4f:8e:35 (PC-OFFICE)</td></tr>)"}},
        {"/setupw_2.stm",
         {"Connection Type", "wan",
          R"(<tr><td class="label">Connection</td><td><select name="wan_type"><option selected>PPPoE</option><option>PPPoA</option><option>Dynamic IP (1483 Bridged)</option><option>Static IP</option></select></td></tr>
<tr><td class="label">User Name</td><td><input type="text" name="ppp_user" value="" size="24"></td></tr>
<tr><td class="label">Password</td><td><input type="password" name="ppp_pass" value="" size="24"></td></tr>
<tr><td class="label">VPI / VCI</td><td><input type="text" name="vpi" value="8" size="4"> / <input type="text" name="vci" value="35" size="5"></td></tr>)"}},
        {"/setupw_dns.stm",
         {"DNS", "dns",
          R"(<tr><td class="label">Automatic from ISP</td><td><input type="checkbox" name="dns_auto" value="1" checked></td></tr>
<tr><td class="label">Primary DNS</td><td><input type="text" name="dns1" value="" size="16"></td></tr>)"}},
        {"/setupa_brief.stm",
         {"ADSL Line Status", "adsl",
          R"(<tr><td class="label">Line State</td><td>Showtime</td></tr>
<tr><td class="label">Modulation</td><td>G.992.1 (G.dmt)</td></tr>
<tr><td class="label">Downstream / Upstream</td><td>8128 / 832 kbps</td></tr>
<tr><td class="label">SNR Margin</td><td>9.5 dB / 12.0 dB</td></tr>)"}},
        {"/setupwl_ch.stm",
         {"Channel and SSID", "wlan",
          R"(<tr><td class="label">Channel</td><td><select name="channel"><option>1</option><option selected>6</option><option>11</option></select></td></tr>
<tr><td class="label">SSID</td><td><input type="text" name="ssid" value="Velmora" size="24"></td></tr>
<tr><td class="label">Broadcast SSID</td><td><input type="checkbox" name="bcast" value="1" checked></td></tr>)"}},
        {"/setupwl_sec.stm",
         {"Wireless Security", "wlansec",
          R"(<tr><td class="label">Security Mode</td><td><select name="sec"><option>Disabled</option><option>WEP 128</option><option selected>WPA-PSK</option></select></td></tr>
<tr><td class="label">Pre-shared Key</td><td><input type="password" name="psk" value="" size="32"></td></tr>)"}},
        {"/firewall_vs.stm",
         {"Virtual Servers", "firewall",
          R"(<tr><td class="label">Enable</td><td><input type="checkbox" name="vs_on" value="1"></td></tr>
<tr><td class="label">Public Port</td><td><input type="text" name="vs_port" value="" size="6"></td></tr>
<tr><td class="label">Private IP</td><td>192.168.2.<input type="text" name="vs_ip" value="" size="3"></td></tr>)"}},
        {"/tools_restart.stm",
         {"Restart Modem", "restart",
          R"(<tr><td class="label">Restart</td><td>Restarting the modem ends every session. <input type="button" value="Restart Now" onclick="if (confirm('Restart the modem now?')) document.setupForm.action='restart.cgi', document.setupForm.submit();"></td></tr>)"}},
    };
    const auto page = pages.find(path);
    if (page == pages.end())
        return std::nullopt;
    std::string content = "<form name=\"setupForm\" method=\"post\" action=\"apply.cgi\">\n"
                          "<input type=\"hidden\" name=\"page\" value=\"";
    content += path.substr(1, path.find('.') - 1);
    content += "\">\n<table class=\"data\">\n";
    content += page->second.rows;
    content += "\n</table>\n<input type=\"button\" value=\"Apply Changes\" "
               "onclick=\"document.setupForm.submit()\"> <input type=\"reset\" value=\"Clear "
               "Changes\">\n</form>";
    return kernelLayout(page->second.title, page->second.topic, "", content);
}

std::string settingsSavedPage()
{
    return kernelLayout("Settings", "home", "",
                        "<p>Your changes have been saved.</p>\n<p><a href=\"index.stm\">Back</a>"
                        "</p>");
}

std::string notFoundPage(std::string_view path)
{
    return "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1><p>The page " +
           htmlEscape(path) + " is not on this device.</p></body></html>\n";
}

std::string restartingPage()
{
    return "<html><head><title>Restarting</title></head><body><p>The modem is restarting. "
           "Please wait about a minute before you reconnect.</p></body></html>\n";
}

std::string busyPage()
{
    return "<html><head><title>Busy</title></head><body><p>The modem is writing its firmware. "
           "Do not switch it off. Please wait.</p></body></html>\n";
}

std::string uploadAcceptedPage(bool miniKernel)
{
    const std::string_view text =
        miniKernel ? "<p>The firmware image is being written. When this is done, save and restart "
                     "the modem.</p>"
                   : "<p>The firmware image is being written. Do not switch off the modem. It "
                     "restarts by itself when the update is complete.</p>";
    const std::string_view head = "<script type=\"text/javascript\">\nvar upgrade_state=\"1\";\n"
                                  "</script>\n";
    return miniKernel ? miniLayout("Firmware Upgrade", head, text)
                      : kernelLayout("Firmware Update", "firmware", head, text);
}

std::string uploadRefusedPage(std::string_view reason, bool miniKernel)
{
    const std::string text = "<p class=\"error\">Firmware update failed: " + htmlEscape(reason) +
                             ".</p>\n<p>The modem keeps its current firmware.</p>\n<p><a href=\"" +
                             (miniKernel ? "upgrade_firm_browse.htm" : "system_f.stm") +
                             "\">Back</a></p>";
    return miniKernel ? miniLayout("Firmware Upgrade", "", text)
                      : kernelLayout("Firmware Update", "firmware", "", text);
}

std::string miniKernelPage(bool imageWritten)
{
    std::string text = "<p>The modem is in recovery mode and serves only its firmware upgrade "
                       "page.</p>\n<p><a href=\"upgrade_firm_browse.htm\">Firmware upgrade</a></p>";
    if (imageWritten)
        text += "\n<p>A new firmware image has been written. <a href=\"tools_save_restart.htm\">"
                "Save and restart</a></p>";
    return miniLayout("Recovery", "", text);
}

std::string miniUpgradePage(bool withFileInput)
{
    std::string text =
        R"(<form name="webForm" method="post" enctype="multipart/form-data" action="upgrade.cgi">
<input type="hidden" name="page" value="upgrade_firm_browse">
<p>Firmware file: )";
    text += withFileInput ? "<input type=\"file\" name=\"webUpload\" size=\"40\">"
                          : "<i>not available</i>";
    text += R"(</p>
<input type="submit" value="Upgrade">
</form>)";
    const std::string_view head = R"(<script type="text/javascript">
function checkFile() { return document.webForm.webUpload.value != ''; }
</script>
)";
    return miniLayout("Firmware Upgrade", head, text);
}

std::string saveRestartPage()
{
    return miniLayout("Save and Restart", "", R"(<p>Save the new firmware and restart the modem.</p>
<form name="saveForm" method="post" action="save_restart.cgi">
<input type="hidden" name="action" value="save_restart">
<input type="submit" value="Save and Restart">
</form>)");
}

} // namespace tolvane::modemsim
