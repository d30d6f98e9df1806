#include "TextDecoding.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>

namespace tolvane {

namespace {

const QString kUtf8 = QStringLiteral("UTF-8");
const QString kWindows1252 = QStringLiteral("windows-1252");

// windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QByteArray encodeWindows1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out += static_cast<char>(u);
            continue;
        }
        const auto* found = std::find(kWindows1252High.begin(), kWindows1252High.end(), u);
        if (found != kWindows1252High.end()) {
            out += static_cast<char>(0x80 + (found - kWindows1252High.begin()));
            continue;
        }
        char32_t code = u;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        out += "&#" + QByteArray::number(static_cast<uint>(code)) + ';';
    }
    return out;
}

// The encoding a label names, by the labels browsers accept; empty when unknown.
QString canonicalEncoding(QByteArray label)
{
    label = label.trimmed().toLower();
    if (label.isEmpty())
        return {};
    static const QByteArrayList utf8 = {"utf-8", "utf8", "unicode-1-1-utf-8"};
    static const QByteArrayList western = {
        "windows-1252", "cp1252",      "x-cp1252", "iso-8859-1",     "iso8859-1",      "iso_8859-1",
        "latin1",       "l1",          "us-ascii", "ascii",          "cp819",          "ibm819",
        "iso-ir-100",   "csisolatin1", "iso88591", "ansi_x3.4-1968", "iso_8859-1:1987"};
    if (utf8.contains(label))
        return kUtf8;
    if (western.contains(label))
        return kWindows1252;
    if (label == "utf-16" || label == "utf-16le")
        return QStringLiteral("UTF-16LE");
    if (label == "utf-16be")
        return QStringLiteral("UTF-16BE");
    QStringDecoder probe(label.constData());
    return probe.isValid() ? QString::fromLatin1(label) : QString();
}

QByteArray charsetIn(const QByteArray& text)
{
    static const QRegularExpression charset(
        QStringLiteral(R"(charset\s*=\s*["']?\s*([A-Za-z0-9_:.+-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = charset.match(QString::fromLatin1(text));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

QString metaCharset(const QByteArray& bytes)
{
    const QByteArray head = bytes.left(1024);
    static const QRegularExpression meta(QStringLiteral(R"(<meta\b[^>]*>)"),
                                         QRegularExpression::CaseInsensitiveOption);
    auto matches = meta.globalMatch(QString::fromLatin1(head));
    while (matches.hasNext()) {
        const QString found = canonicalEncoding(charsetIn(matches.next().captured(0).toLatin1()));
        if (found.isEmpty())
            continue;
        // A page that calls itself UTF-16 from inside its ASCII-compatible bytes is UTF-8.
        return found.startsWith(u"UTF-16") ? kUtf8 : found;
    }
    return {};
}

} // namespace

DecodedPage decodePage(const QByteArray& bytes, const QByteArray& contentType)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {QString::fromUtf8(bytes.mid(3)), kUtf8};
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE")) {
        const bool bigEndian = bytes.at(0) == '\xFE';
        QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE);
        return {decoder.decode(bytes.mid(2)),
                bigEndian ? QStringLiteral("UTF-16BE") : QStringLiteral("UTF-16LE")};
    }

    QString encoding = canonicalEncoding(charsetIn(contentType));
    if (encoding.isEmpty())
        encoding = metaCharset(bytes);
    if (encoding.isEmpty())
        encoding = kWindows1252;

    if (encoding == kWindows1252)
        return {decodeWindows1252(bytes), encoding};
    QStringDecoder decoder(encoding.toLatin1().constData());
    return {decoder.decode(bytes), encoding};
}

QByteArray encodeForForm(const QString& text, const QString& encoding)
{
    if (encoding == kWindows1252)
        return encodeWindows1252(text);
    if (encoding.isEmpty() || encoding == kUtf8 || encoding.startsWith(u"UTF-16"))
        return text.toUtf8();
    if (!QStringEncoder(encoding.toLatin1().constData()).isValid())
        return text.toUtf8();
    // Encode character by character so that what the encoding lacks becomes a reference.
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView piece = QStringView(text).mid(i, width);
        QStringEncoder single(encoding.toLatin1().constData());
        const QByteArray bytes = single.encode(piece);
        if (single.hasError()) {
            const char32_t code = width == 2 ? QChar::surrogateToUcs4(piece[0], piece[1])
                                             : char32_t(piece[0].unicode());
            out += "&#" + QByteArray::number(static_cast<uint>(code)) + ';';
        } else {
            out += bytes;
        }
        i += width - 1;
    }
    return out;
}

} // namespace tolvane
