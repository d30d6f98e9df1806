#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvane::modemsim {

// The HTML the modem serves. Kernel pages carry the maker's banner and the setup menu; the mini
// kernel's pages carry neither, only links to its upgrade page.

struct StatusValues {
    std::string versionText;
    std::string mac;
    std::string adslCode;
    long long uptimeSeconds = 0;
    bool versionTag = true;
    bool adslTag = true;
    bool versionTagLate = false; // the tags come after more than 11,000 characters of page
};

std::string htmlEscape(std::string_view text);

std::string loginPage(bool incorrectPassword);
std::string homePage(std::string_view versionText);
std::string statusPage(const StatusValues& values);
std::string garbageBytes(std::size_t size);
std::string kernelUpgradePage(std::string_view versionText, bool withFileInput);
// The other menu pages; nothing for a path the modem does not have.
std::optional<std::string> setupPage(std::string_view path);
std::string settingsSavedPage();
std::string notFoundPage(std::string_view path);
std::string restartingPage();
std::string busyPage();
std::string uploadAcceptedPage(bool miniKernel);
std::string uploadRefusedPage(std::string_view reason, bool miniKernel);

std::string miniKernelPage(bool imageWritten);
std::string miniUpgradePage(bool withFileInput);
std::string saveRestartPage();

} // namespace tolvane::modemsim
