#pragma once

#include "common/RunOptions.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"
#include "support/ProgramCopy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace tolvane::test {

// Waits and time factor shared by the program and the stand-in modem in end-to-end runs.
inline const QString E2eTimeScale = QStringLiteral("0.05");
// With a blank inside: the report key reaches the program as the one word the shell passed.
inline const char* const E2eReportPath = "Software\\Tolvane Test";

// A file's bytes; empty when it cannot be read.
inline QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Waits for a started process to end; false when it crashed, failed or hung (it is killed with
// the QProcess).
inline bool endsWell(QProcess& process, int timeoutMs)
{
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// tolvane-modem-sim as a process of its own, on a free loopback port unless the options give
// another --listen; stopped with the object.
class ModemProcess {
public:
    explicit ModemProcess(QString stateFile) : m_stateFile(std::move(stateFile)) {}
    ~ModemProcess()
    {
        m_process.terminate();
        m_process.waitForFinished(5000); // then killed with the QProcess
    }

    // Starts it, through `launcher` (e.g. `ip netns exec NAME`) when one is given; gives its
    // address ("127.0.0.1:PORT"), or empty when it did not come up.
    QString start(const QStringList& options, const QStringList& launcher = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList command =
            launcher + QStringList{qEnvironmentVariable("TOLVANE_BIN") + "/tolvane-modem-sim"} +
            QStringList{"--listen", "127.0.0.1:0", "--time-scale", E2eTimeScale} +
            QStringList{"--state-file", m_stateFile} + options;
        m_process.start(command.front(), command.mid(1));
        if (!m_process.waitForReadyRead(10000))
            return {};
        return QString::fromUtf8(m_process.readLine()).trimmed().remove("listening on ");
    }

    QJsonObject state() const
    {
        return QJsonDocument::fromJson(fileContents(m_stateFile)).object();
    }
    QString version() const { return state()["version"].toString(); }
    // The images it took ("accepted") or refused ("rejected"), as "0.42 STD".
    QStringList uploads(const QString& outcome) const
    {
        QStringList labels;
        for (const auto& upload : state()["uploads"].toObject()[outcome].toArray())
            labels << upload.toObject()["label"].toString() + " " +
                          upload.toObject()["variant"].toString();
        return labels;
    }

private:
    QString m_stateFile;
    QProcess m_process;
};

// One end-to-end run, gone with the object: a temporary folder holding a copy of the built
// program, its store and lock folder, and the stand-in modem. The program runs as an installer
// runs it, silently with a report key and the scaled waits: on one simulated adapter once
// startModem() has made the modem its gateway, on the system's own adapters otherwise.
class ProgramRun {
public:
    QTemporaryDir dir;
    ProgramCopy copy{dir.path()};
    ModemProcess modem{dir.filePath("modem.json")};
    QString registry = dir.filePath("registry.sqlite");

    bool startModem(const QStringList& options = {})
    {
        const QString gateway = modem.start(options);
        return !gateway.isEmpty() && useAdapters(gateway);
    }

    // One simulated adapter with this gateway (none when empty), instead of the system's own.
    bool useAdapters(const QString& gateway)
    {
        const QString adapters = R"({"adapters": [{"index": 7, "description": "LAN", "ip": )"
                                 R"("127.0.0.1", "gateway": "%1", "dhcp": true}]})";
        QFile file(dir.filePath("adapters.json"));
        return copy.ok() && file.open(QIODevice::WriteOnly) &&
               file.write(adapters.arg(gateway).toUtf8()) > 0;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("TOLVANE_ADAPTERS");
        if (QFileInfo::exists(dir.filePath("adapters.json")))
            env.insert("TOLVANE_ADAPTERS", dir.filePath("adapters.json"));
        env.insert("TOLVANE_REGISTRY", registry);
        env.insert("TOLVANE_TIME_SCALE", E2eTimeScale);
        env.insert("XDG_RUNTIME_DIR", dir.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }

    // Starts the program with these words, through `launcher` when one is given: e.g.
    // `ip netns exec NAME`, or unshare and a shell that mounts something and then runs "$@".
    void launch(QProcess& process, const QStringList& words, const QStringList& launcher = {},
                QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels) const
    {
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(channels);
        const QStringList command = launcher + QStringList{copy.program()} + words;
        process.start(command.front(), command.mid(1));
    }

    // Runs the program silently with the report key and `extra` to its end; false when it
    // crashed, failed or hung. What it printed on standard error is kept in `errors`.
    bool run(const QStringList& extra, const QStringList& launcher = {}) const
    {
        QProcess process;
        launch(process, silentWords() + extra, launcher, QProcess::ForwardedOutputChannel);
        const bool ended = endsWell(process, 240000);
        errors = process.readAllStandardError();
        std::fwrite(errors.constData(), 1, static_cast<std::size_t>(errors.size()), stderr);
        return ended;
    }
    mutable QByteArray errors;

    std::string reported(const char* name) const
    {
        SqliteRegistryStore store(registry.toStdString());
        return Registry(store).QueryKeyValue(HKEY_CURRENT_USER, E2eReportPath, name);
    }
    static QString reportKey() { return QString("HKEY_CURRENT_USER\\") + E2eReportPath; }
    static QStringList silentWords() { return {"-s", "-k", reportKey()}; }
    bool workFolderExists() const { return QFileInfo::exists(copy.workFolder()); }
};

} // namespace tolvane::test
