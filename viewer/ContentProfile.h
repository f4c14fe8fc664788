#pragma once

class QWebEngineProfile;

namespace orvelle::viewer {

// The browser profile every document page uses, made on first use and kept until the
// application object goes. It is off the record (no disk cache, cookies or storage), and
// every request a document makes is refused before it is looked up or sent, except inline
// resources (data:, blob:, about:). No permission a document asks for is granted, pages get no
// plugins, WebGL, clipboard access, screen capture, DNS prefetching or file drops, and local
// content may reach neither remote nor file addresses.
QWebEngineProfile* ContentProfile();

} // namespace orvelle::viewer
