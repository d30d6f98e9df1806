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
    const auto nameAt = [&](qsizetype i, QStringView more) {
        return i < size && page.at(i).unicode() < 0x80 &&
               (page.at(i).isLetter() || more.contains(page.at(i)));
    };
    QStringList scripts;
    for (qsizetype at = page.indexOf(u'<'); at >= 0 && at < size; at = page.indexOf(u'<', at)) {
        if (QStringView(page).sliced(at).startsWith(u"<!--")) {
            const qsizetype end = page.indexOf(u"-->", at + 4);
            at = end < 0 ? size : end + 3;
            continue;
        }
        qsizetype i = ++at;
        while (nameAt(i, i == at ? u"" : u"0123456789-_:."))
            ++i;
        if (i == at)
            continue;
        const bool script = page.mid(at, i - at).compare(u"script", Qt::CaseInsensitive) == 0;
        // A quote opens a value only right after '='.
        for (bool valueNext = false; i < size && page.at(i) != u'>'; ++i) {
            const QChar c = page.at(i);
            if (valueNext && (c == u'"' || c == u'\'')) {
                const qsizetype close = page.indexOf(c, i + 1);
                i = close < 0 ? size - 1 : close;
            }
            valueNext = c == u'=' || (valueNext && c.isSpace());
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
