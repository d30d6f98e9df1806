// CPU time the process spends during a Pause in which nothing happens. Waiting must sleep in the
// event loop: a loop that only processes events and re-reads the clock burns a whole core.
#include "common/EventLoopClock.h"
#include "common/Pause.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return t.tv_sec + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt looks in XDG_RUNTIME_DIR as it starts and makes /tmp/runtime-$USER where none is set.
    const QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication application(argc, argv);
    QWidget window; // a shown window, as in the program
    window.show();
    tolvane::EventLoopClock clock;
    tolvane::InstallPauseClock(&clock);

    const int milliseconds = argc > 1 ? std::atoi(argv[1]) : 5000;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    tolvane::Pause(milliseconds);
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("pause %d ms: wall %.3f s, cpu %.4f s, cpu/wall %.3f%% (goal < 1%%)\n",
                milliseconds, wallSeconds, cpu, 100.0 * cpu / wallSeconds);
    return cpu / wallSeconds < 0.01 ? 0 : 1;
}
