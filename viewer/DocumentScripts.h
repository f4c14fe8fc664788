#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEngineScript>

#include <atomic>

// The scripts the browser host runs inside the page (always in the application's own script
// world, so the document's scripts can neither see nor replace them), and the address trick
// that makes in-document links visible to the navigation check. The scripts themselves are
// readable files in viewer/scripts/, compiled in as resources; each is a function that takes
// one argument, an object written here as JSON.
//
// A link to "#x" inside a written document is a same-document navigation, which the engine
// never announces. Every written document therefore gets a <base> pointing at an address of
// its own (kLinkBase): "#x" then resolves to another document, is announced like any other
// link and can be refused. ShownUrl turns such addresses back into the document's own
// ("about:blank#x") before anybody sees them.
namespace orvelle::viewer::scripts {

inline constexpr char kLinkBase[] = "http://orvelle.invalid/doc/";

// `text` as a JSON string, quotes included, which is also a JavaScript string literal; safe for
// any UTF-16 content. With `cancel`, it gives up (returning a part) soon after it is set.
QString JsStringLiteral(const QString& text, const std::atomic<bool>* cancel = nullptr);

// Documents longer than this are written in two parts: the first part is shown at once, the rest
// follows in a task of its own, so the top of a long document appears without waiting for all
// of it to be parsed and laid out.
inline constexpr qsizetype kFirstPartCharacters = qsizetype{64} * 1024;

// Replaces the document's content with `html` (open, write, close), puts the link base in and
// scrolls to the top. A short document is written at once and the script evaluates to
// {name: <its title, or its address when it has none>, title: <its title, or empty>}. Of a long
// one only the first part is written; the script evaluates to {pending: true, name, title} (as
// far as the first part tells) and WriteRest(html, render) brings the rest;
// WrittenDocumentName(render) then tells when it is in. A later WriteDocument (another render)
// stops a pending rest from being written. Without `inParts` every document is written at once,
// as a short one (for a page that is never shown, where nothing is gained by showing a beginning
// first): build that script off the window's thread; `cancel` stops it early, as for WriteRest.
QString WriteDocument(const QString& html, quint64 render, bool inParts = true,
                      const std::atomic<bool>* cancel = nullptr);
// Whether WriteDocument(html, ...) writes only a first part, leaving a rest.
bool HasRest(const QString& html);
// The rest of a long document after WriteDocument(html, render); empty for a short one. Takes a
// while for a long document: build it off the window's thread; `cancel` stops it early (the
// result is then of no use).
QString WriteRest(const QString& html, quint64 render, const std::atomic<bool>* cancel = nullptr);

// Evaluates to {name, title} of the document written by WriteDocument(..., render) once all of
// it is in, or to null while it is not.
QString WrittenDocumentName(quint64 render);

// Scrolls the first element whose id or name is `anchor` into view (aligned to the top);
// evaluates to true, or to false when no element bears that name.
QString ScrollToAnchor(const QString& anchor);

// Marks every place where one of `words` stands as a whole word (letter case ignored) and
// scrolls the first mark into view; at most `limit` marks, and no longer than `budgetMs` of the
// page's time. Evaluates to the number of marks (<mark data-orvelle-hit>).
QString MarkWords(const QStringList& words, int limit, int budgetMs);
// Makes the next (or previous) of those marks the current one and scrolls to it; evaluates to
// {active, total}, active counting from 1, both 0 when there are no marks.
QString StepMark(bool backward);

// Run in every frame below the top one when its document is ready: gives the frame the link
// base too, so links inside frames are announced as well.
QString FrameLinkBase();

// Moves to the anchor `fragment` (percent-encoded) inside the document: its address gets the
// fragment and the view scrolls to the element it names.
QString MoveToAnchor(const QString& fragment);

// Run in every frame of a document before its own scripts, in its own world: takes away
// WebRTC's peer connections.
QString NoPeerConnections();
// NoPeerConnections as a page script that runs so: at document creation, in the document's own
// world, in every frame.
QWebEngineScript NoPeerConnectionsScript();

// The address a person should see for `url`: addresses under kLinkBase map back onto the
// document's own ("about:blank#x", "about:other.htm"); any other address is returned as is.
QUrl ShownUrl(const QUrl& url);

// True when `url` is the document's own address plus an anchor, under kLinkBase.
bool IsInDocumentLink(const QUrl& url);

} // namespace orvelle::viewer::scripts
