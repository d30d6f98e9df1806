#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

namespace tolvane::test {

// Shapes of page that once froze the program, each inside the upload form of a modem page and
// about as large as the page size cap allows.
inline QList<std::pair<const char*, QByteArray>> hostilePages()
{
    constexpr qsizetype kCap = 4 * 1024 * 1024 - 4096;
    const auto fill = [](const QByteArray& start, const QByteArray& unit) {
        return start + unit.repeated((kCap - start.size()) / unit.size());
    };
    QByteArray attributes = "<p";
    for (int i = 0; attributes.size() < kCap - 16; ++i)
        attributes += " a" + QByteArray::number(i) + "=1";
    const QList<std::pair<const char*, QByteArray>> shapes = {
        {"end tags that close nothing", fill("", "<div></span>")},
        {"nesting after <noscript>", fill("<noscript>", "<div>")},
        {"nesting after an open comment", fill("<!--", "<div>")},
        {"nesting after a quote in an attribute name", fill("<p a\"b=1>", "<div>")},
        {"inputs of a missing form", fill("", "<input form=nosuch>")},
        {"submit inputs in the upload form", fill("", "<input type=submit>")},
        {"one element of many attributes", attributes + ">"},
        {"text without a break", fill("", "x")},
        {"a million paragraphs", fill("", "<p>x")},
        {"a million cells", fill("", "<td>")},
        {"half a million options", fill("", "<option>")},
        {"a million line breaks", fill("", "<br>")},
    };
    QList<std::pair<const char*, QByteArray>> pages;
    for (const auto& [name, shape] : shapes)
        pages.append({name, "<html><body><form name=webForm method=post action=/upgrade.cgi "
                            "enctype=multipart/form-data><input type=file name=webUpload>" +
                                shape + "<input type=submit value=Upgrade></form></body></html>"});
    return pages;
}

} // namespace tolvane::test
