#include "StateFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace tolvane::modemsim {

namespace {

QJsonArray uploadsJson(const std::vector<UploadRecord>& uploads)
{
    QJsonArray array;
    for (const UploadRecord& upload : uploads) {
        QJsonObject object{
            {"size", static_cast<qint64>(upload.size)},
            {"label", QString::fromStdString(upload.label)},
            {"variant", QString::fromStdString(upload.variant)},
        };
        if (!upload.reason.empty())
            object.insert("reason", QString::fromStdString(upload.reason));
        array.append(object);
    }
    return array;
}

} // namespace

bool writeStateFile(const std::string& path, const ModemReport& report)
{
    const QJsonObject root{
        {"listen", QString::fromStdString(report.listen)},
        {"version", QString::fromStdString(report.versionText)},
        {"mode", QString::fromStdString(report.mode)},
        {"phase", QString::fromStdString(report.phase)},
        {"imageWritten", report.imageWritten},
        {"requests", report.requests},
        {"logins",
         QJsonObject{{"accepted", report.loginsAccepted}, {"refused", report.loginsRefused}}},
        {"uploads", QJsonObject{{"accepted", uploadsJson(report.uploadsAccepted)},
                                {"rejected", uploadsJson(report.uploadsRejected)}}},
        {"saveRestarts", report.saveRestarts},
        {"restarts", report.restarts},
        {"sessions", report.sessions},
    };
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(root).toJson());
    return file.commit();
}

} // namespace tolvane::modemsim
