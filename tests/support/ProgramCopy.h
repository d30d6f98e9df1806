#pragma once

#include <QDir>
#include <QFile>
#include <QString>

namespace tolvane::test {

// A copy of the built program at "<folder>/C:\bin/tolvane", beside an existing "<folder>/C:\".
// The program takes its drive from its own folder up to the first ":\", so this copy works in
// "<folder>/C:\TFWU" and never in the machine's own /TFWU.
class ProgramCopy {
public:
    explicit ProgramCopy(const QString& folder) : m_folder(folder)
    {
        const QString bin = qEnvironmentVariable("TOLVANE_BIN");
        m_ok = QDir(folder).mkpath("C:\\") && QDir(folder).mkpath("C:\\bin") &&
               QFile::copy(bin + "/tolvane", program());
    }

    bool ok() const { return m_ok; }
    QString program() const { return m_folder + "/C:\\bin/tolvane"; }
    QString workFolder() const { return m_folder + "/C:\\TFWU"; }

private:
    QString m_folder;
    bool m_ok = false;
};

} // namespace tolvane::test
