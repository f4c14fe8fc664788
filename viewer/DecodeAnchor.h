#pragma once

#include <QString>

namespace orvelle::viewer {

// The anchor a link URL names: everything after the first "#" (the whole URL when it has
// none), with each "%XX" escape (two hex digits) turned back into its byte. The bytes are
// read as UTF-8 (the engine escapes non-ASCII anchors that way) and, when they are not valid
// UTF-8, as Windows-1251. A "%" without two hex digits after it stays as it is; "+" is an
// ordinary character; a second "#" and what follows it stay in the anchor.
QString DecodeAnchor(const QString& url);

} // namespace orvelle::viewer
