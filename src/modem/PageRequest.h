#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <vector>

namespace tolvane {

// One entry of a submitted form: a name and a text, or for a file control the local path of the
// file to send.
struct FormEntry {
    QString name;
    QString value;
    bool isFile = false;
};

// What a navigation asks for: an address, and for a form sent by POST the entries of its body.
// The body is made only when the request goes out, so that a redirect that keeps the method can
// send it again.
struct PageRequest {
    enum class BodyEncoding { UrlEncoded, Multipart, TextPlain };

    QUrl url;
    QByteArray method = "GET";
    BodyEncoding bodyEncoding = BodyEncoding::UrlEncoded;
    std::vector<FormEntry> entries;
    QString charset; // the encoding of the page that holds the form
};

} // namespace tolvane
