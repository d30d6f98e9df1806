#pragma once

#include <QFile>
#include <QTemporaryDir>

namespace tolvane::test {

// A Qt GUI application looks in XDG_RUNTIME_DIR as it starts and, where none is set, makes
// /tmp/runtime-$USER and leaves it there. This gives the process a folder of its own instead,
// removed when the process ends. Call it from the test's initMain(), before the application.
inline void useOwnRuntimeDir()
{
    static const QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
}

} // namespace tolvane::test
