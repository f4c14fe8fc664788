#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <chrono>
#include <functional>
#include <optional>

namespace orvelle::viewer {

class GuardedPage;
enum class NavigationKind;

// The browser pane: a web view that shows each document in a page of its own, has HTML texts
// written into those pages, asks before every navigation, scrolls to anchors and prints (see
// DocumentPrinter).
//
// A document is content, not a program: it reaches no network address (ContentProfile), never
// takes the view to another address, and each one starts in a fresh page, so no script of an
// earlier document still runs. A page whose process grows past the memory limit is ended.
//
// How a render goes (the caller's side):
//
//     const auto ticket = view->BeginRender();        // newest render from here on
//     const auto name = view->WriteDocument(ticket, html, onShown);   // throws BrowserError
//     if (!name)
//         return;   // a newer render took over (or the view went away): leave everything
//                   // to it, status text and flags included
//     show *name;
//
// WriteDocument processes events while it waits, so another render can start and finish inside
// it. The newest ticket always wins: an older render is never written after a newer one, stops
// waiting as soon as the newer one starts and learns of it through the empty result.
class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // Asked for every navigation the shown document would make (links, scripts, forms, links
    // in frames, new windows), before it happens, with the address a person should see
    // ("about:blank#Раздел 1" for an in-document link). Its answer decides in-document links
    // (true: move to the anchor) and inline frames (true: a link in a frame may load one); the
    // document itself never leaves for another address, and a new window is never opened,
    // whatever the answer. A frame a script loads is not announced: it loads when its content
    // is inline (about:, data:), else it stays empty, quietly. An exception thrown by the handler
    // cancels the navigation and comes back through NavigationHandlerFailed.
    using NavigationHandler = std::function<bool(const QUrl&)>;
    using Ticket = quint64;
    // Told the document's name as soon as it is first on screen.
    using ShownHandler = std::function<void(const QString& name)>;

    // A page process holding more memory than this, plus what its document needs, is ended
    // (see SetMemoryLimit).
    static constexpr qint64 kDefaultMemoryLimit = qint64{2} << 30;

    explicit BrowserView(QWidget* parent = nullptr);
    ~BrowserView() override;

    // With no handler every in-document link and frame is let through.
    void SetNavigationHandler(NavigationHandler handler);

    // True once the shown page holds a document.
    bool HasDocument() const;

    // Shows a page with the empty document, "about:blank"; returns at once. Optional:
    // WriteDocument brings up a page of its own when it needs one.
    void NavigateToBlank();

    // Processes events until the shown page holds a document. Returns true at once when it
    // already does; false when `limit` passes first or when the view is destroyed meanwhile (do
    // not touch it then).
    bool WaitForDocument(std::chrono::milliseconds limit);

    // Claims the next render. Every earlier ticket is superseded from now on.
    Ticket BeginRender();
    bool IsCurrent(Ticket ticket) const { return ticket == generation_; }

    // Shows a fresh page and writes `html` into it; returns the document's name: its <title>
    // when it has one, else its address ("about:blank"). Waits for as long as the page's
    // process lives: a slow machine is not an error. Returns nothing, writing nothing, when the
    // ticket is superseded before the write; returns nothing too when it is superseded while
    // the write is under way or when the view is destroyed meanwhile. Throws BrowserError when
    // no page could be brought up, the write fails or the page's process ends.
    std::optional<QString> WriteDocument(Ticket ticket, const QString& html,
                                         const ShownHandler& onShown = {});
    // The same with a ticket of its own.
    std::optional<QString> WriteDocument(const QString& html);

    // Scrolls the first element whose name or id is `anchor` to the top of the view. Throws
    // BrowserError when no element bears that name (an empty anchor included), or when the
    // page does not answer within a few seconds.
    void ScrollToAnchor(const QString& anchor);

    // The page's process is ended when it holds more than `bytes` of memory plus 80 bytes per
    // character of its document (checked twice a second); DocumentStopped tells why.
    void SetMemoryLimit(qint64 bytes) { memoryLimit_ = bytes; }

Q_SIGNALS:
    // A navigation handler threw; emitted from the event loop after the navigation was
    // cancelled. The message is the exception's.
    void NavigationHandlerFailed(const QString& message);
    // The shown page has a document to write into (after NavigateToBlank).
    void DocumentReady();
    // A written document is on screen: all of a short one, the first part of a long one.
    void DocumentShown();
    // The view shows another page (each document comes in a fresh one).
    void PageReplaced(QWebEnginePage* page);
    // A shown document's page process was ended (memory limit) while no render waited for it.
    void DocumentStopped(const QString& message);
    // A render claimed the view; older renders stop waiting.
    void RenderClaimed();

private:
    bool Decide(const QWebEnginePage* from, const QUrl& url, bool isMainFrame, NavigationKind kind);
    // A page for one document, loading its empty document unless `load` is false.
    GuardedPage* NewPage(bool load = true);
    // The page the next document goes into: the shown one while nothing was written into it,
    // else the spare one, else a new one.
    GuardedPage* PageForWrite();
    void Show(GuardedPage* page);
    void PrepareSpare();
    void WatchMemory();

    QPointer<GuardedPage> shown_;
    QPointer<GuardedPage> spare_;
    NavigationHandler handler_;
    Ticket generation_ = 0;
    Ticket pendingWrite_ = 0;       // the render whose long document is still being written
    QPointer<GuardedPage> writing_; // the page a render is writing into
    qint64 memoryLimit_ = kDefaultMemoryLimit;
    QTimer memoryWatch_;
};

} // namespace orvelle::viewer
