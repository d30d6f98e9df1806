#pragma once

#include "support/Form1Rig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <string>

namespace tolvane::test {

inline constexpr const char* ReportKey = "Software\\TolvaneScenario";

// A Form1Rig that reports under HKEY_CURRENT_USER (when asked to) and keeps its work folder in
// its temporary folder.
struct ScenarioRig : Form1Rig {
    explicit ScenarioRig(bool silent = false, bool reporting = true)
    {
        state.runOptions.Silent = silent;
        state.runOptions.ReportEnabled = reporting;
        state.runOptions.ReportRoot = HKEY_CURRENT_USER;
        state.runOptions.ReportPath = ReportKey;
        form.WorkFolder = dir.filePath(QStringLiteral("TFWU")).toStdString();
    }

    // A report value; empty when it was never written.
    std::string reported(const char* name)
    {
        const std::string value = registry.QueryKeyValue(HKEY_CURRENT_USER, ReportKey, name);
        return value == "No Data" ? std::string() : value;
    }

    void deploy()
    {
        QVERIFY(QDir().mkpath(QString::fromStdString(form.WorkFolder)));
        form.writeWorkFiles();
    }

    bool imagesOnDisk() const
    {
        return QFileInfo::exists(QString::fromStdString(form.workFilePath("42.bin")));
    }

    QByteArray image() const
    {
        QFile file(QString::fromStdString(form.ImagePath));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

} // namespace tolvane::test
