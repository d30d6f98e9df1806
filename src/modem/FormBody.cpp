#include "FormBody.h"

#include "TextDecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>

#include <algorithm>

namespace tolvane {

namespace {

QByteArray percentEncodedForm(const QByteArray& bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3 / 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == ' ') {
            out += '+';
        } else if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                   b == '*' || b == '-' || b == '.' || b == '_') {
            out += c;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0xF];
        }
    }
    return out;
}

// Quotes, CR and LF in a multipart header's name or file name are percent-escaped by browsers.
QByteArray headerSafe(const QString& text, const QString& charset)
{
    QByteArray bytes = encodeForForm(text, charset);
    bytes.replace('"', "%22");
    bytes.replace('\r', "%0D");
    bytes.replace('\n', "%0A");
    return bytes;
}

} // namespace

QByteArray urlEncodedForm(const std::vector<FormEntry>& entries, const QString& charset)
{
    QByteArray out;
    for (const FormEntry& entry : entries) {
        if (!out.isEmpty())
            out += '&';
        const QString value = entry.isFile ? uploadFileName(entry.value) : entry.value;
        out += percentEncodedForm(encodeForForm(entry.name, charset)) + '=' +
               percentEncodedForm(encodeForForm(value, charset));
    }
    return out;
}

QByteArray textPlainForm(const std::vector<FormEntry>& entries, const QString& charset)
{
    QByteArray out;
    for (const FormEntry& entry : entries) {
        const QString value = entry.isFile ? uploadFileName(entry.value) : entry.value;
        out += encodeForForm(entry.name, charset) + '=' + encodeForForm(value, charset) + "\r\n";
    }
    return out;
}

QString uploadFileName(const QString& path)
{
    // Both separators: a path written for Windows names a file by its last part there too.
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

QHttpMultiPart* multipartForm(const std::vector<FormEntry>& entries, const QString& charset,
                              const QByteArray& boundary, QObject* parent)
{
    auto* multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType, parent);
    multipart->setBoundary(boundary);
    for (const FormEntry& entry : entries) {
        QHttpPart part;
        QByteArray disposition = "form-data; name=\"" + headerSafe(entry.name, charset) + '"';
        if (!entry.isFile) {
            part.setRawHeader("Content-Disposition", disposition);
            part.setBody(encodeForForm(entry.value, charset));
            multipart->append(part);
            continue;
        }
        auto* file = new QFile(entry.value, multipart);
        const bool readable = !entry.value.isEmpty() && QFileInfo(entry.value).isFile() &&
                              file->open(QIODevice::ReadOnly);
        const QString fileName = readable ? uploadFileName(entry.value) : QString();
        disposition += "; filename=\"" + headerSafe(fileName, charset) + '"';
        part.setRawHeader("Content-Disposition", disposition);
        part.setRawHeader("Content-Type", "application/octet-stream");
        if (readable)
            part.setBodyDevice(file);
        else
            delete file;
        multipart->append(part);
    }
    return multipart;
}

QByteArray multipartContentType(const QByteArray& boundary)
{
    return "multipart/form-data; boundary=" + boundary;
}

} // namespace tolvane
