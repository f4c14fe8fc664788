#pragma once

#include <QString>
#include <QUrl>

// The scripts the browser host runs inside the page (always in the application's own script
// world, so the document's scripts can neither see nor replace them), and the address trick
// that makes in-document links visible to the navigation check.
//
// A link to "#x" inside a written document is a same-document navigation, which the engine
// never announces. Every written document therefore gets a <base> pointing at an address of
// its own (kLinkBase): "#x" then resolves to another document, is announced like any other
// link and can be refused. ShownUrl turns such addresses back into the document's own
// ("about:blank#x") before anybody sees them.
namespace orvelle::viewer::scripts {

inline constexpr char kLinkBase[] = "http://orvelle.invalid/doc/";

// `text` as a JavaScript string literal, quotes included; safe for any UTF-16 content.
QString JsStringLiteral(const QString& text);

// Replaces the document's content with `html` (open, one write, close), puts the link base in,
// scrolls to the top and evaluates to the document's name: its title, or its address when it has
// none.
QString WriteDocument(const QString& html);

// Scrolls the first element whose id or name is `anchor` into view (aligned to the top);
// evaluates to true, or to false when no element bears that name.
QString ScrollToAnchor(const QString& anchor);

// Run in every frame below the top one when its document is ready: gives the frame the link
// base too, so links inside frames are announced as well.
QString FrameLinkBase();

// The address a person should see for `url`: addresses under kLinkBase map back onto the
// document's own ("about:blank#x", "about:other.htm"); any other address is returned as is.
QUrl ShownUrl(const QUrl& url);

// True when `url` is the document's own address plus an anchor, under kLinkBase.
bool IsInDocumentLink(const QUrl& url);

} // namespace orvelle::viewer::scripts
