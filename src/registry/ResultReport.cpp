#include "ResultReport.h"

#include "Registry.h"

namespace tolvane {

void ResultReport::SaveReportValue(const std::string& valueName, const std::string& value)
{
    if (valueName.empty() || value.empty())
        return;
    const std::uint32_t root = m_options.ReportRoot;
    const std::string& path = m_options.ReportPath;
    if (m_registry.QueryKeyValue(root, path, valueName).empty())
        m_registry.CreateKey(root, path);
    m_registry.SetKeyValue(root, path, valueName, value, ValueKindString);
}

void ResultReport::report(ReportValue which, const std::string& value)
{
    if (m_options.ReportEnabled)
        SaveReportValue(m_options.nameOf(which), value);
}

void ResultReport::reportFailure(const std::string& errorMessage)
{
    report(ReportValue::Firmware_Status, "Fail");
    report(ReportValue::Error_Msg, errorMessage);
}

} // namespace tolvane
