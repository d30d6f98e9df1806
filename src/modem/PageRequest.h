#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
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
// send it again. A submitted form's entries are read when the request goes out too: of several
// clicks made in one go only the last one's request is sent, and reading each would cost a walk
// over the whole page per click.
struct PageRequest {
    enum class BodyEncoding { UrlEncoded, Multipart, TextPlain };

    QUrl url;
    QByteArray method = "GET";
    BodyEncoding bodyEncoding = BodyEncoding::UrlEncoded;
    std::vector<FormEntry> entries;
    QString charset; // the encoding of the page that holds the form
    // For a submitted form: gives its entries; they go in the query of a GET, else in the body.
    std::function<std::vector<FormEntry>()> formEntries;
    // The page whose link or form made the request, or that redirected to it: the request goes
    // only to that page's scheme, host and port. None for an address the program opens itself.
    std::optional<QUrl> from;
};

} // namespace tolvane
