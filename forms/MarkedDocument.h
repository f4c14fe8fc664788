#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace orvelle::forms {

// A changed document shown word by word: what was inserted highlighted, what was deleted struck
// through. Made from the pieces `orvelle-export diff OLD NEW --entry ID --words` prints; every
// piece is text and is escaped. The document has no script and asks for nothing: a style of its
// own and the text, so it obeys every rule of a stored document.
struct MarkedDocument {
    std::string html; // Windows-1251 bytes, as RenderHtml takes a stored document
    int changes = 0;  // places marked: anchors "orvelle-change-1" … "orvelle-change-N"
    bool coarse = false;
};

MarkedDocument MarkChanges(const QByteArray& pieces, const QString& title);

// The anchor of the `number`-th change (1-based).
QString ChangeAnchor(int number);

} // namespace orvelle::forms
