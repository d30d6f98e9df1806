// A two-cycle silent upgrade ("0.39" to "0.38f" to "0.42") of the stand-in modem, run as an
// installer runs it: the program's wall time against the sum of the waits it is bound to make at
// the same time scale, its CPU time over its wall time, and its peak memory.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString bin = QCoreApplication::applicationDirPath() + "/../bin";
    const QString scale = qEnvironmentVariable("TOLVANE_TIME_SCALE", "0.1");
    QTemporaryDir dir;

    // The program works in the drive of its own folder: here a temporary one, never /TFWU.
    QDir(dir.path()).mkpath("C:\\bin");
    QDir(dir.path()).mkpath("C:\\");
    const QString program = dir.filePath("C:\\bin/tolvane");
    QFile::copy(bin + "/tolvane", program);

    QProcess modem;
    modem.start(bin + "/tolvane-modem-sim",
                {"--listen", "127.0.0.1:0", "--version", "0.39 (Oct 3 2005)", "--time-scale", scale,
                 "--state-file", dir.filePath("modem.json")});
    if (!modem.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the stand-in modem did not start\n");
        return 1;
    }
    const QString address = QString::fromUtf8(modem.readLine()).trimmed().remove("listening on ");
    QFile adapters(dir.filePath("adapters.json"));
    adapters.open(QIODevice::WriteOnly);
    adapters.write(QStringLiteral(R"({"adapters": [{"index": 7, "description": "LAN", "ip":
        "127.0.0.1", "gateway": "%1", "dhcp": true}]})")
                       .arg(address)
                       .toUtf8());
    adapters.close();

    const QByteArray log = dir.filePath("program.log").toLocal8Bit();
    setenv("TOLVANE_REGISTRY", dir.filePath("registry.sqlite").toLocal8Bit().constData(), 1);
    setenv("TOLVANE_ADAPTERS", adapters.fileName().toLocal8Bit().constData(), 1);
    setenv("TOLVANE_TIME_SCALE", scale.toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_LOGGING_RULES", "tolvane.pause.debug=true", 1);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (!freopen(log.constData(), "w", stderr))
            _exit(126);
        const QByteArray path = program.toLocal8Bit();
        execl(path.constData(), path.constData(), "-s", "-k", "HKEY_CURRENT_USER\\Software\\Bench",
              "-p", "admin", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    modem.terminate();
    modem.waitForFinished();

    QFile logFile(QString::fromLocal8Bit(log));
    logFile.open(QIODevice::ReadOnly);
    double mandated = 0;
    const QRegularExpression pause(QStringLiteral("pause (\\d+) ms"));
    for (auto it = pause.globalMatch(QString::fromUtf8(logFile.readAll())); it.hasNext();)
        mandated += it.next().captured(1).toDouble() / 1000.0;
    mandated *= scale.toDouble();

    QFile state(dir.filePath("modem.json"));
    state.open(QIODevice::ReadOnly);
    const bool upgraded = state.readAll().contains("\"0.42 (Mar 14 2006)\"");
    const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    std::printf("two-cycle upgrade at time scale %s: %s\n", qPrintable(scale),
                upgraded ? "modem at 0.42" : "MODEM NOT UPGRADED");
    std::printf("  wall %.2f s, mandated waits %.2f s, overhead %.2f s (%.1f%%)\n", wall, mandated,
                wall - mandated, 100.0 * (wall - mandated) / mandated);
    std::printf("  cpu %.2f s, cpu/wall %.2f%% (goal < 1%%)\n", cpu, 100.0 * cpu / wall);
    std::printf("  peak memory %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return upgraded && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
