#include "StartTagBound.h"

#include <QByteArrayView>

namespace tolvane::dom {

namespace {

constexpr int kMostAttributes = 1024;

// The parser reads a name in pieces of at most this many characters; each further piece of a long
// name counts as one more attribute.
constexpr qsizetype kNamePiece = 100;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameStart(char c)
{
    return isLetter(c) || c == '_' || c == ':' || c == '.';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-';
}

// Walks the page the way the parser tokenises it; only what decides where a start tag begins and
// ends matters here.
class Scanner {
public:
    explicit Scanner(const QByteArray& html) : m_html(html), m_size(html.size()) {}

    QByteArray run()
    {
        qsizetype at = 0;
        while (at < m_size)
            at = next(at);
        if (m_copied == 0)
            return m_html;
        m_out += QByteArrayView(m_html).sliced(m_copied);
        return m_out;
    }

private:
    char byteAt(qsizetype at) const { return at < m_size ? m_html.at(at) : '\0'; }

    bool startsWith(qsizetype at, QByteArrayView text, Qt::CaseSensitivity cs) const
    {
        return m_size - at >= text.size() &&
               QByteArrayView(m_html).sliced(at, text.size()).compare(text, cs) == 0;
    }

    qsizetype past(qsizetype found, qsizetype length) const
    {
        return found < 0 ? m_size : found + length;
    }

    qsizetype next(qsizetype at)
    {
        if (m_html.at(at) != '<')
            return past(m_html.indexOf('<', at), 0);
        if (startsWith(at, "<!--", Qt::CaseSensitive))
            return commentEnd(at + 4);
        if (byteAt(at + 1) == '/')
            return isNameStart(byteAt(at + 2)) ? past(m_html.indexOf('>', at + 2), 1) : at + 2;
        if (isLetter(byteAt(at + 1)))
            return startTag(at);
        return at + 1;
    }

    // A comment ends at the first "-->" or "--!>" after its first two characters, or with the page.
    qsizetype commentEnd(qsizetype from) const
    {
        for (qsizetype dashes = m_html.indexOf("--", from); dashes >= 0;
             dashes = m_html.indexOf("--", dashes + 1)) {
            if (byteAt(dashes + 2) == '>')
                return dashes + 3;
            if (byteAt(dashes + 2) == '!' && byteAt(dashes + 3) == '>')
                return dashes + 4;
        }
        return m_size;
    }

    qsizetype namePiece(qsizetype at) const
    {
        qsizetype end = at;
        while (end < m_size && end - at < kNamePiece && isNameChar(m_html.at(end)))
            ++end;
        return end;
    }

    qsizetype skipBlanks(qsizetype at) const
    {
        while (at < m_size && isBlank(m_html.at(at)))
            ++at;
        return at;
    }

    bool endsTag(qsizetype at) const
    {
        return at >= m_size || m_html.at(at) == '>' ||
               (m_html.at(at) == '/' && byteAt(at + 1) == '>');
    }

    qsizetype valueEnd(qsizetype at) const
    {
        const char quote = byteAt(at);
        if (quote == '"' || quote == '\'')
            return past(m_html.indexOf(quote, at + 1), 1);
        while (at < m_size && !isBlank(m_html.at(at)) && m_html.at(at) != '>')
            ++at;
        return at;
    }

    // Reads one attribute, or the stray characters up to the next blank; returns where it ends.
    qsizetype attribute(qsizetype at, bool* named) const
    {
        *named = isNameStart(m_html.at(at));
        if (!*named) {
            while (!endsTag(at) && !isBlank(m_html.at(at)))
                ++at;
            return at;
        }
        at = skipBlanks(namePiece(at));
        return byteAt(at) == '=' ? valueEnd(skipBlanks(at + 1)) : at;
    }

    qsizetype startTag(qsizetype open)
    {
        const qsizetype nameEnd = namePiece(open + 1);
        const QByteArrayView name = QByteArrayView(m_html).sliced(open + 1, nameEnd - open - 1);
        qsizetype at = skipBlanks(nameEnd);
        int attributes = 0;
        qsizetype surplus = -1;
        while (!endsTag(at)) {
            bool named = false;
            const qsizetype end = attribute(at, &named);
            if (named && ++attributes == kMostAttributes + 1)
                surplus = at;
            at = skipBlanks(end);
        }
        if (surplus >= 0)
            drop(surplus, at);
        if (at >= m_size)
            return m_size;
        if (m_html.at(at) == '/')
            return at + 2;
        ++at;
        for (const QByteArrayView raw : {QByteArrayView("script"), QByteArrayView("style")}) {
            if (name.compare(raw, Qt::CaseInsensitive) == 0)
                return rawTextEnd(at, raw);
        }
        return at;
    }

    // Script and style bodies are text up to the first "</script" or "</style", whatever follows
    // it. Only where the body begins can an end tag or a tag that closes the element cut it short.
    qsizetype rawTextEnd(qsizetype from, QByteArrayView element) const
    {
        if (closesAtOnce(from, element))
            return from;
        for (qsizetype end = m_html.indexOf("</", from); end >= 0;
             end = m_html.indexOf("</", end + 1)) {
            if (startsWith(end + 2, element, Qt::CaseInsensitive))
                return end;
        }
        return m_size;
    }

    bool closesAtOnce(qsizetype from, QByteArrayView element) const
    {
        if (byteAt(from) != '<')
            return false;
        if (byteAt(from + 1) == '/')
            return true;
        const qsizetype nameEnd = namePiece(from + 1);
        const QByteArrayView name = QByteArrayView(m_html).sliced(from + 1, nameEnd - from - 1);
        const auto is = [&](QByteArrayView tag) {
            return name.compare(tag, Qt::CaseInsensitive) == 0;
        };
        return element == "script" ? is("noscript") : is("body") || is("frameset");
    }

    void drop(qsizetype from, qsizetype to)
    {
        m_out += QByteArrayView(m_html).sliced(m_copied, from - m_copied);
        m_copied = to;
    }

    const QByteArray& m_html;
    const qsizetype m_size;
    QByteArray m_out;
    qsizetype m_copied = 0;
};

} // namespace

QByteArray boundStartTags(const QByteArray& html)
{
    return Scanner(html).run();
}

} // namespace tolvane::dom
