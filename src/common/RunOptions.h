#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tolvane {

// Handle values of the predefined registry roots.
inline constexpr std::uint32_t HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr std::uint32_t HKEY_CURRENT_USER = 0x80000001;
inline constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr std::uint32_t HKEY_USERS = 0x80000003;

// Positions of the six ResultReport values in RunOptions::ReportValueNames.
enum class ReportValue {
    Old_Firmware_Version,
    New_Firmware_Version,
    Error_Msg,
    Operation_System,
    Mac_Address,
    Firmware_Status,
};

// The process-wide settings taken from the command line; complete before the main window loads.
struct RunOptions {
    bool Silent = false;
    std::string ReportPath = "Software";
    std::uint32_t ReportRoot = HKEY_LOCAL_MACHINE;
    bool ReportEnabled = false;
    std::array<std::string, 6> ReportValueNames = DefaultReportValueNames();
    std::string Password;

    static std::array<std::string, 6> DefaultReportValueNames()
    {
        return {"Old_Firmware_Version", "New_Firmware_Version", "Error_Msg",
                "Operation_System",     "Mac_Address",          "Firmware_Status"};
    }

    std::string& nameOf(ReportValue value) { return ReportValueNames[static_cast<int>(value)]; }
};

} // namespace tolvane
