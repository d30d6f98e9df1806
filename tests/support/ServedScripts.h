#pragma once

#include <QStringList>

namespace tolvane::test {

// The bodies of a page's script elements as served, which a parse must hand on unchanged: from
// the '>' of "<script ...>" up to the next "</script", skipping comments and the insides of other
// tags. Zero bytes are read as U+FFFD, as every parser reads them.
inline QStringList servedScripts(QString page)
{
    page.replace(QChar(0), QChar::ReplacementCharacter);
    const qsizetype size = page.size();
    const auto isLetter = [&](qsizetype i) {
        return i < size && page.at(i).unicode() < 0x80 && page.at(i).isLetter();
    };
    QStringList scripts;
    for (qsizetype at = page.indexOf(u'<'); at >= 0 && at < size; at = page.indexOf(u'<', at)) {
        if (QStringView(page).sliced(at).startsWith(u"<!--")) {
            const qsizetype end = page.indexOf(u"-->", at + 4);
            at = end < 0 ? size : end + 3;
            continue;
        }
        if (!isLetter(at + 1)) {
            ++at;
            continue;
        }
        qsizetype i = at + 1;
        while (isLetter(i) || (i < size && QStringView(u"0123456789-_:.").contains(page.at(i))))
            ++i;
        const bool script =
            page.mid(at + 1, i - at - 1).compare(u"script", Qt::CaseInsensitive) == 0;
        // A quote opens a value only right after '='.
        bool valueNext = false;
        while (i < size && page.at(i) != u'>') {
            const QChar c = page.at(i);
            if (valueNext && (c == u'"' || c == u'\'')) {
                const qsizetype close = page.indexOf(c, i + 1);
                i = close < 0 ? size : close + 1;
                valueNext = false;
                continue;
            }
            if (c == u'=')
                valueNext = true;
            else if (!c.isSpace())
                valueNext = false;
            ++i;
        }
        at = i + 1;
        if (!script || i >= size || page.at(i - 1) == u'/')
            continue;
        const qsizetype end = page.indexOf(u"</script", at, Qt::CaseInsensitive);
        scripts << page.mid(at, end < 0 ? -1 : end - at);
        at = end < 0 ? size : end;
    }
    return scripts;
}

} // namespace tolvane::test
