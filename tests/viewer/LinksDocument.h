#pragma once

#include <QString>

namespace viewertest {

// A document with one link of every kind: in-document anchors (Latin, Cyrillic, spaced; by
// name and by id), other documents, script navigations, a form, new windows and a frame.
QString LinksDocument();

} // namespace viewertest
