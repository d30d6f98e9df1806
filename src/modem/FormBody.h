#pragma once

#include "PageRequest.h"

#include <QByteArray>

class QHttpMultiPart;
class QObject;

namespace tolvane {

// application/x-www-form-urlencoded, as browsers write it (blank as "+").
QByteArray urlEncodedForm(const std::vector<FormEntry>& entries, const QString& charset);

// text/plain: one "name=value" line per entry.
QByteArray textPlainForm(const std::vector<FormEntry>& entries, const QString& charset);

// The file name sent for a local path: its last part only, never the folders.
QString uploadFileName(const QString& path);

// multipart/form-data with the given boundary; files are read from their paths while sending.
// A file that cannot be read goes as an empty part with an empty file name.
QHttpMultiPart* multipartForm(const std::vector<FormEntry>& entries, const QString& charset,
                              const QByteArray& boundary, QObject* parent);

// The Content-Type header for multipartForm's body. The boundary is written without quotes:
// small embedded web servers often fail to parse a quoted one.
QByteArray multipartContentType(const QByteArray& boundary);

} // namespace tolvane
