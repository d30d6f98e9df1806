#pragma once

#include <QByteArray>

namespace tolvane::dom {

// The HTML parser checks each attribute of a start tag against every one before it, so a tag of
// a few hundred thousand attributes takes minutes. This drops the attributes of a start tag
// beyond the first 1,024 and changes nothing else: text, comments, script and style bodies and
// every tag with fewer attributes come back byte for byte. The page is read as the parser reads
// it (tags, quoted values, comments, script and style bodies).
QByteArray boundStartTags(const QByteArray& html);

} // namespace tolvane::dom
