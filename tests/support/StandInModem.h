#pragma once

#include "ModemSimulator.h"
#include "SimOptions.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>

namespace tolvane::test {

// The stand-in modem (tools/modem-sim) in this process on 127.0.0.1 and a free port, its state file
// in a temporary folder of its own. Link tolvane_modemsim.
class StandInModem final {
public:
    // A kernel modem at "0.39k (Nov 15 2005)", password "admin", annex A, that takes an image on
    // at once (the port never closes under a test), as `change` leaves it.
    static modemsim::SimOptions
    instantOptions(const std::function<void(modemsim::SimOptions&)>& change = nullptr)
    {
        modemsim::SimOptions options;
        options.listenPort = 0;
        options.writeSeconds = 0;
        options.restartSeconds = 0;
        if (change)
            change(options);
        return options;
    }

    explicit StandInModem(modemsim::SimOptions options = instantOptions())
    {
        options.listenHost = "127.0.0.1";
        if (options.stateFile.empty())
            options.stateFile = m_dir.filePath(QStringLiteral("modem.json")).toStdString();
        m_stateFile = options.stateFile;
        m_modem = std::make_unique<modemsim::ModemSimulator>(std::move(options));
        std::string error;
        if (!m_modem->start(error))
            qFatal("the stand-in modem did not start: %s", error.c_str());
    }

    // As a ModemAddress or an adapter's gateway: "127.0.0.1:41234".
    std::string address() const { return "127.0.0.1:" + std::to_string(m_modem->port()); }

    // Closes the port, as a modem that is switched off.
    void stop() { m_modem->stop(); }

    // The modem's state file: version, logins, uploads accepted and rejected (see its README).
    QJsonObject state() const
    {
        QFile file(QString::fromStdString(m_stateFile));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }

private:
    QTemporaryDir m_dir;
    std::string m_stateFile;
    std::unique_ptr<modemsim::ModemSimulator> m_modem; // last: stopped before its folder goes
};

} // namespace tolvane::test
