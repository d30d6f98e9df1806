#include "SimIpHelper.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tolvane {

namespace {
Q_LOGGING_CATEGORY(lcSimAdapters, "tolvane.adapters", QtWarningMsg)
} // namespace

SimIpHelper::SimIpHelper(std::vector<Adapter> adapters, std::string callLogPath)
    : m_adapters(std::move(adapters)), m_released(m_adapters.size(), false),
      m_callLogPath(std::move(callLogPath))
{}

void SimIpHelper::setAdapters(std::vector<Adapter> adapters)
{
    m_adapters = std::move(adapters);
    m_released.assign(m_adapters.size(), false);
}

std::vector<SimIpHelper::Adapter> SimIpHelper::readAdaptersFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcSimAdapters) << "cannot read the adapters file" << file.fileName();
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.object().value("adapters").isArray()) {
        qCWarning(lcSimAdapters) << "the adapters file" << file.fileName()
                                 << "holds no \"adapters\" array:" << error.errorString();
        return {};
    }
    std::vector<Adapter> adapters;
    for (const QJsonValue& value : document.object().value("adapters").toArray()) {
        const QJsonObject object = value.toObject();
        Adapter adapter;
        adapter.index = object.value("index").toInt();
        adapter.description = object.value("description").toString().toStdString();
        adapter.ip = object.value("ip").toString().toStdString();
        adapter.gateway = object.value("gateway").toString().toStdString();
        adapter.dhcp = object.value("dhcp").toBool();
        if (adapter.gateway.size() >= sizeof(IpAdapterInfo::GatewayAddress))
            qCWarning(lcSimAdapters) << "gateway" << object.value("gateway").toString()
                                     << "is longer than the 15 characters an adapter can show";
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}

std::uint32_t SimIpHelper::getAdaptersInfo(IpAdapterInfo* buffer, std::uint32_t* count)
{
    std::vector<IpAdapterInfo> records(m_adapters.size());
    for (std::size_t i = 0; i < m_adapters.size(); ++i) {
        const Adapter& adapter = m_adapters[i];
        records[i].Index = adapter.index;
        setFixedText(records[i].Description, adapter.description);
        setFixedText(records[i].IpAddress, m_released[i] ? "0.0.0.0" : adapter.ip);
        setFixedText(records[i].GatewayAddress, m_released[i] ? "" : adapter.gateway);
    }
    return answerAdaptersInfo(records, buffer, count);
}

std::uint32_t SimIpHelper::getInterfaceInfo(std::uint8_t* block, std::uint32_t* size)
{
    std::vector<IpAdapterIndexMap> interfaces(m_adapters.size());
    for (std::size_t i = 0; i < m_adapters.size(); ++i) {
        interfaces[i].Index = static_cast<std::uint32_t>(m_adapters[i].index);
        const std::string name = "\\DEVICE\\TCPIP_SIM" + std::to_string(m_adapters[i].index);
        std::copy_n(name.begin(), std::min(name.size(), interfaces[i].Name.size() - 1),
                    interfaces[i].Name.begin());
    }
    return answerInterfaceInfo(interfaces, block, size);
}

std::uint32_t SimIpHelper::ipReleaseAddress(const IpAdapterIndexMap& entry)
{
    return changeLease("release", entry.Index, true);
}

std::uint32_t SimIpHelper::ipRenewAddress(const IpAdapterIndexMap& entry)
{
    return changeLease("renew", entry.Index, false);
}

std::uint32_t SimIpHelper::changeLease(const char* name, std::uint32_t index, bool released)
{
    std::uint32_t answer = ERROR_NOT_FOUND;
    for (std::size_t i = 0; i < m_adapters.size(); ++i) {
        if (static_cast<std::uint32_t>(m_adapters[i].index) != index)
            continue;
        answer = m_adapters[i].dhcp ? NO_ERROR : ERROR_NOT_SUPPORTED;
        if (m_adapters[i].dhcp)
            m_released[i] = released;
        break;
    }
    record(std::string(name) + " " + std::to_string(static_cast<std::int32_t>(index)) + " " +
           std::to_string(answer));
    return answer;
}

int SimIpHelper::socketsStartup(std::uint16_t version)
{
    ++m_socketStarts;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04x", version);
    record(std::string("startup ") + hex + " 0");
    return 0;
}

int SimIpHelper::socketsCleanup()
{
    int answer = 0;
    if (m_socketStarts > 0)
        --m_socketStarts;
    else
        answer = WSANOTINITIALISED;
    record("cleanup " + std::to_string(answer));
    return answer;
}

void SimIpHelper::record(const std::string& line)
{
    m_calls.push_back(line);
    if (m_callLogPath.empty())
        return;
    // Appended and closed at once, so that a test reads every call even after a hard exit.
    if (std::FILE* log = std::fopen(m_callLogPath.c_str(), "a")) {
        std::fprintf(log, "%s\n", line.c_str());
        std::fclose(log);
    }
}

std::unique_ptr<IpHelper> makeIpHelper()
{
    const char* adaptersFile = std::getenv("TOLVANE_ADAPTERS");
    if (!adaptersFile || !*adaptersFile)
        return makeSystemIpHelper();
    const char* callLog = std::getenv("TOLVANE_ADAPTERS_LOG");
    return std::make_unique<SimIpHelper>(SimIpHelper::readAdaptersFile(adaptersFile),
                                         callLog ? callLog : "");
}

} // namespace tolvane
