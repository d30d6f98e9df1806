#pragma once

#include <QByteArray>
#include <QString>

namespace tolvane {

struct DecodedPage {
    QString text;
    QString encoding; // canonical name: "UTF-8", "windows-1252", "UTF-16LE", ...
};

// Decodes a page's bytes as a browser does: a byte order mark first, then the charset of the
// Content-Type header, then a <meta> charset near the top, else windows-1252.
DecodedPage decodePage(const QByteArray& bytes, const QByteArray& contentType);

// Encodes form data for sending in a page's encoding; characters the encoding cannot represent
// become decimal character references (&#8364;), as browsers send them.
QByteArray encodeForForm(const QString& text, const QString& encoding);

} // namespace tolvane
