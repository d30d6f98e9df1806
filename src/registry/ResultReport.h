#pragma once

#include "common/RunOptions.h"

#include <string>

namespace tolvane {

class Registry;

// The six values through which a run tells the program that started it how the upgrade went,
// written as REG_SZ under RunOptions' report key.
class ResultReport {
public:
    ResultReport(Registry& registry, RunOptions& options) : m_registry(registry), m_options(options)
    {}

    // Writes one value as a string, creating the report key first when it cannot be read.
    // An empty name or an empty value writes nothing.
    void SaveReportValue(const std::string& valueName, const std::string& value);

    // To report a value: written under its current name only while ReportEnabled is true.
    void report(ReportValue which, const std::string& value);

    // Firmware_Status "Fail", then Error_Msg: the pair every failure reports, in this order.
    void reportFailure(const std::string& errorMessage);

private:
    Registry& m_registry;
    RunOptions& m_options;
};

} // namespace tolvane
