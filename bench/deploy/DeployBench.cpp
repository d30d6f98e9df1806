// Time to deploy the four work files (each written in one write, flushed to the disk and
// closed), as the program does at load. Usage: bench_deploy [runs] [folder to work in]; the
// default folder is the system's temporary folder, which should sit on the disk the program's
// work folder would use.
#include "platform/FileSystem.h"
#include "wizard/Form1.h"
#include "wizard/PublicFunctions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    using namespace tolvane;

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const QString parent = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();
    QTemporaryDir scratch(parent + "/tolvane-bench-XXXXXX");
    if (!scratch.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(parent));
        return 1;
    }
    const std::string workFolder = scratch.filePath("TFWU").toStdString();
    const auto fileSystem = makeFileSystem();

    std::size_t bytes = 0;
    for (const WorkFile& file : WorkFiles)
        bytes += resourceFileBytes(file.resource, "CUSTOM")
                     .value_or(std::span<const std::byte>())
                     .size();

    std::vector<double> milliseconds;
    for (int run = 0; run < runs; ++run) {
        fileSystem->createFolder(workFolder);
        QElapsedTimer timer;
        timer.start();
        bool ok = true;
        for (const WorkFile& file : WorkFiles)
            ok = WriteResourceFile(file.resource, "CUSTOM",
                                   workFolder + fileSystem->separator() + file.name, *fileSystem) &&
                 ok;
        milliseconds.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!ok) {
            std::fprintf(stderr, "a file could not be written in %s\n", workFolder.c_str());
            return 1;
        }
        for (const WorkFile& file : WorkFiles)
            fileSystem->deleteFile(workFolder + fileSystem->separator() + file.name);
        fileSystem->removeEmptyFolder(workFolder);
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("deploy 4 files (%zu bytes; write, flush, close) in %s, %d runs:\n"
                "  median %.1f ms, min %.1f ms, max %.1f ms\n",
                bytes, qPrintable(parent), runs, milliseconds[milliseconds.size() / 2],
                milliseconds.front(), milliseconds.back());
    return 0;
}
