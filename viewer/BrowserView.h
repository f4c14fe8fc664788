#pragma once

#include <QString>
#include <QUrl>
#include <QWebEngineView>

#include <chrono>
#include <functional>
#include <optional>

namespace orvelle::viewer {

class GuardedPage;
class WindowCatcher;

// The browser pane: a web view that holds one empty document, has HTML texts written into it,
// asks before every navigation, scrolls to anchors and prints (see DocumentPrinter).
//
// How a render goes (the caller's side):
//
//     const auto ticket = view->BeginRender();        // newest render from here on
//     if (!view->HasDocument())
//         view->NavigateToBlank();
//     if (!view->WaitForDocument(10s))                // false: time-out, or the view is gone
//         ...;                                        //   check your QPointer before going on
//     const auto name = view->WriteDocument(ticket, html);   // throws BrowserError
//     if (!name)
//         return;   // a newer render took over (or the view went away): leave everything
//                   // to it, status text and flags included
//     show *name;
//
// WaitForDocument and WriteDocument process events while they wait, so another render can
// start and finish inside them. The newest ticket always wins: an older render is never
// written after a newer one, and learns of it through the empty result.
class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // Asked for every navigation the shown document would make (links, scripts, forms,
    // frames, new windows), before it happens, with the address a person should see
    // ("about:blank#Раздел 1" for an in-document link). Returns true to let it through.
    // A new window is never opened, whatever the answer. An exception thrown by the handler
    // cancels the navigation and comes back through NavigationHandlerFailed.
    using NavigationHandler = std::function<bool(const QUrl&)>;
    using Ticket = quint64;

    explicit BrowserView(QWidget* parent = nullptr);
    ~BrowserView() override;

    // With no handler every navigation is let through.
    void SetNavigationHandler(NavigationHandler handler);

    // True once the view holds a document that can be written into.
    bool HasDocument() const { return hasDocument_; }

    // Starts loading the one empty document, "about:blank". Returns at once.
    void NavigateToBlank();

    // Processes events until the view holds a document. Returns true at once when it already
    // does; false when `limit` passes first or when the view is destroyed meanwhile (do not
    // touch it then).
    bool WaitForDocument(std::chrono::milliseconds limit);

    // Claims the next render. Every earlier ticket is superseded from now on.
    Ticket BeginRender();
    bool IsCurrent(Ticket ticket) const { return ticket == generation_; }

    // Replaces the document's content with `html` in one write and returns the document's
    // name: its <title> when it has one, else its address ("about:blank"). Returns nothing,
    // writing nothing, when the ticket is superseded before the write; returns nothing too
    // when it is superseded while the write is under way (the newer text is written after
    // this one) or when the view is destroyed meanwhile. Throws BrowserError when there is no
    // document or the write fails or takes too long (10 s plus 4 s per million characters).
    std::optional<QString> WriteDocument(Ticket ticket, const QString& html);
    // The same with a ticket of its own.
    std::optional<QString> WriteDocument(const QString& html);

    // Scrolls the first element whose name or id is `anchor` to the top of the view. Throws
    // BrowserError when no element bears that name (an empty anchor included), or when the
    // page does not answer within a few seconds.
    void ScrollToAnchor(const QString& anchor);

Q_SIGNALS:
    // A navigation handler threw; emitted from the event loop after the navigation was
    // cancelled. The message is the exception's.
    void NavigationHandlerFailed(const QString& message);
    // The view has a document to write into (after NavigateToBlank).
    void DocumentReady();
    // A written document is on screen: all of a short one, the first part of a long one.
    void DocumentShown();

private:
    friend class GuardedPage;
    friend class WindowCatcher;
    bool AskHandler(const QUrl& url, bool isMainFrame, bool newWindow);

    // Runs `script` in the application's world and processes events until its result comes,
    // `limit` passes or the view goes away. nullopt on time-out; the view may be gone then:
    // the caller checks its own QPointer.
    struct ScriptOutcome {
        bool finished = false;
        bool viewGone = false;
        bool pageProcessEnded = false; // the page's process died while we waited
        QVariant result;
    };
    ScriptOutcome RunAndWait(const QString& script, std::chrono::milliseconds limit);

    GuardedPage* page_ = nullptr;
    NavigationHandler handler_;
    bool hasDocument_ = false;
    Ticket generation_ = 0;
    Ticket pendingWrite_ = 0;      // the render whose long document is still being written
    unsigned pageProcessEnds_ = 0; // how often the page's process died
};

} // namespace orvelle::viewer
