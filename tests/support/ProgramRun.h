#pragma once

#include "common/RunOptions.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"
#include "support/ProgramCopy.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>

#include <functional>
#include <memory>
#include <string>

namespace tolvane::test {

// Waits and time factor shared by the program and the stand-in modem in end-to-end runs.
inline const QString E2eTimeScale = QStringLiteral("0.05");
inline const QString E2eReportKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\TolvaneTest");
inline const char* const E2eReportPath = "Software\\TolvaneTest";

// Polls until the condition holds or the time is up; the process keeps running meanwhile.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}

// tolvane-modem-sim as a process of its own on a free loopback port, stopped with the object.
class ModemProcess {
public:
    explicit ModemProcess(QString stateFile) : m_stateFile(std::move(stateFile)) {}
    ~ModemProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    ModemProcess(const ModemProcess&) = delete;
    ModemProcess& operator=(const ModemProcess&) = delete;

    // Its address ("127.0.0.1:PORT"), or empty when it did not come up.
    QString start(const QStringList& options)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(qEnvironmentVariable("TOLVANE_BIN") + "/tolvane-modem-sim",
                        QStringList{"--listen", "127.0.0.1:0", "--time-scale", E2eTimeScale,
                                    "--state-file", m_stateFile} +
                            options);
        if (!m_process.waitForReadyRead(10000))
            return {};
        return QString::fromUtf8(m_process.readLine()).trimmed().remove("listening on ");
    }

    QJsonObject state() const
    {
        QFile file(m_stateFile);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    QString version() const { return state()["version"].toString(); }
    qsizetype acceptedUploads() const
    {
        return state()["uploads"].toObject()["accepted"].toArray().size();
    }

private:
    QString m_stateFile;
    QProcess m_process;
};

// A copy of the built program in a folder of the test's, run as an installer runs it: silently
// with a report key, simulated adapters, its own store and lock folder, and the scaled waits.
class ProgramRun {
public:
    explicit ProgramRun(QString folder)
        : m_folder(std::move(folder)), m_copy(m_folder), m_registry(path("registry.sqlite"))
    {}

    bool ok() const { return m_copy.ok(); }
    QString path(const QString& name) const { return m_folder + "/" + name; }
    QString program() const { return m_copy.program(); }
    QString workFolder() const { return m_copy.workFolder(); }
    QString registry() const { return m_registry; }
    void setRegistry(const QString& store) { m_registry = store; }

    bool writeAdapters(const QStringList& gateways) const
    {
        QJsonArray adapters;
        int index = 7;
        for (const QString& gateway : gateways)
            adapters.append(QJsonObject{{"index", index++},
                                        {"description", "Simulated LAN"},
                                        {"ip", "127.0.0.1"},
                                        {"gateway", gateway},
                                        {"dhcp", true}});
        QFile file(path("adapters.json"));
        return file.open(QIODevice::WriteOnly) &&
               file.write(QJsonDocument(QJsonObject{{"adapters", adapters}}).toJson()) > 0;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TOLVANE_REGISTRY", m_registry);
        env.insert("TOLVANE_ADAPTERS", path("adapters.json"));
        env.insert("TOLVANE_TIME_SCALE", E2eTimeScale);
        env.insert("XDG_RUNTIME_DIR", m_folder);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }

    static QStringList silentArguments(const QStringList& extra)
    {
        return QStringList{"-s", "-k", E2eReportKey} + extra;
    }

    // Starts the program, through `launcher` (e.g. unshare and a shell that mounts something
    // first and then runs "$@") when one is given.
    void start(QProcess& process, const QStringList& arguments,
               const QStringList& launcher = {}) const
    {
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        if (launcher.isEmpty())
            process.start(program(), arguments);
        else
            process.start(launcher.front(), launcher.mid(1) + QStringList{program()} + arguments);
    }

    // Runs the program silently to its end; false when it crashed, failed or hung.
    bool run(const QStringList& extra, const QStringList& launcher = {},
             int timeoutMs = 120000) const
    {
        QProcess process;
        start(process, silentArguments(extra), launcher);
        if (process.waitForFinished(timeoutMs))
            return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        process.kill();
        process.waitForFinished();
        return false;
    }

    std::string reported(const char* name) const
    {
        SqliteRegistryStore store(m_registry.toStdString());
        return Registry(store).QueryKeyValue(HKEY_CURRENT_USER, E2eReportPath, name);
    }

private:
    QString m_folder;
    ProgramCopy m_copy;
    QString m_registry;
};

} // namespace tolvane::test
