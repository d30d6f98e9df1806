#pragma once

#include "common/KernelMode.h"

#include <string>

namespace tolvane {

// The modem's pages as ModemBrowser is told to open them: the modem's address with the page's
// path appended, no scheme.

inline std::string LoginPage(const std::string& modemAddress)
{
    return modemAddress + "/login.stm";
}

// The modem at its factory address shows its start page; anywhere else it is asked for its
// login page, which the kernel and the mini kernel both answer with pages that identify them.
inline std::string ProbePage(const std::string& modemAddress)
{
    return modemAddress == "192.168.2.1" ? modemAddress : LoginPage(modemAddress);
}

inline std::string StatusPage(const std::string& modemAddress)
{
    return modemAddress + "/status_main.stm";
}

inline std::string UploadPage(const std::string& modemAddress, KernelMode mode)
{
    return modemAddress +
           (mode == KernelMode::Kernel ? "/system_f.stm" : "/upgrade_firm_browse.htm");
}

} // namespace tolvane
