#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <functional>

namespace orvelle::viewer {

class DocumentRender;
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
// Nothing here waits for the engine: a render (Render) and a scroll (ScrollToAnchor) report
// how they went later, by signal or callback, so the window stays free to take clicks and to
// close at any moment. The newest render always wins: an older one is never written after a
// newer one and learns that it was superseded.
class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // Asked for every navigation the shown document would make (links, scripts, forms, links
    // in frames, new windows), before it happens, with the address a person should see
    // ("about:blank#Раздел 1" for an in-document link) and whether the reader started it (a
    // click or key of theirs in the view just before, rather than the document's own doing).
    // Its answer decides in-document links (true: move to the anchor) and inline frames (true:
    // a link in a frame may load one); the document itself never leaves for another address,
    // and a new window is never opened, whatever the answer. A frame a script loads is not
    // announced: it loads when its content is inline (about:, data:), else it stays empty,
    // quietly. An exception thrown by the handler cancels the navigation and comes back through
    // NavigationHandlerFailed.
    using NavigationHandler = std::function<bool(const QUrl& url, bool byReader)>;

    enum class ScrollOutcome {
        Scrolled,     // the element is at the top of the view
        Missing,      // no element bears that name (an empty anchor included)
        NoAnswer,     // the page did not answer within a few seconds, or its process ended
        DocumentLeft, // another document is shown by now: the question is moot
    };
    using ScrollHandler = std::function<void(ScrollOutcome)>;

    // A page process holding more memory than this, plus what its document needs, is ended
    // (see SetMemoryLimit).
    static constexpr qint64 kDefaultMemoryLimit = qint64{2} << 30;

    explicit BrowserView(QWidget* parent = nullptr);
    ~BrowserView() override;

    // With no handler every in-document link and frame is let through.
    void SetNavigationHandler(NavigationHandler handler);

    // True once the shown page holds a document.
    bool HasDocument() const;

    // Shows a page with the empty document, "about:blank"; returns at once and emits
    // DocumentReady when it is there. Optional: a render brings up a page of its own.
    void NavigateToBlank();

    // Starts writing `html` into a fresh page, which is shown as soon as it can take the text.
    // Any render still running is superseded now. The render reports by its own signals (see
    // DocumentRender); its name is the document's <title> when it has one, else its address
    // ("about:blank"). A slow machine is not an error: a render waits for as long as the page's
    // process lives.
    DocumentRender* Render(const QString& html);
    // The render still running, if any.
    DocumentRender* CurrentRender() const;

    // Scrolls the first element whose name or id is `anchor` to the top of the view and tells
    // `done` how it went, later. Nothing is told when `context` is destroyed first.
    void ScrollToAnchor(const QString& anchor, QObject* context, ScrollHandler done);

    // Marks every place in the shown document where one of `words` stands as a whole word
    // (letter case ignored) and scrolls the first of them into view. Returns at once; bounded
    // in the page's time and in the number of marks whatever the document.
    // `done` hears how many marks were made (0 when the page did not answer or the document
    // left); nothing is told when `context` is destroyed first.
    void MarkWords(const QStringList& words, QObject* context, std::function<void(int)> done);
    // Makes the next (or previous) mark the current one and scrolls to it; `done` hears which
    // of how many it is, counting from 1 (0 of 0 when there are none or no answer came).
    void StepThroughMarks(bool backward, QObject* context,
                          std::function<void(int active, int total)> done);

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
    // A render claimed the view; older renders are superseded.
    void RenderClaimed();
    // The view is being destroyed: whatever waits on its pages ends now, silently.
    void Closing();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class DocumentRender;

    bool Decide(const QWebEnginePage* from, const QUrl& url, bool isMainFrame, NavigationKind kind);
    // Whether the reader's own click or key in the view just came before; used up by the answer.
    bool TakeReaderGesture(const QWebEnginePage* from);
    // A page for one document, loading its empty document unless `load` is false.
    GuardedPage* NewPage(bool load = true);
    // The page the next document goes into: the shown one while nothing was written into it,
    // else the spare one, else a new one.
    GuardedPage* PageForWrite();
    void Show(GuardedPage* page);
    // Lets a page taken off the screen go, with its process, once nothing holds it.
    void Retire(GuardedPage* former);
    void PrepareSpare();
    void WatchMemory();

    // For the render under way: shows `page`, about to take a document needing `memory`.
    void ShowForRender(GuardedPage* page, qint64 memory);
    // For the render under way: the rest of its long document is arriving.
    void RestArriving(quint64 ticket) { pendingWrite_ = ticket; }
    // A render ended; `unused` is a page it took but never wrote into.
    void RenderEnded(DocumentRender* render, GuardedPage* unused);

    QPointer<GuardedPage> shown_;
    QPointer<GuardedPage> spare_;
    NavigationHandler handler_;
    quint64 generation_ = 0;
    QPointer<DocumentRender> current_;
    quint64 pendingWrite_ = 0;      // the render whose long document is still being written
    QPointer<GuardedPage> writing_; // the page a render is writing into
    qint64 memoryLimit_ = kDefaultMemoryLimit;
    QTimer memoryWatch_;
    // The reader's last click or key in the view: on which page, and when.
    QPointer<const QWebEnginePage> gesturePage_;
    QElapsedTimer gestureClock_;
};

} // namespace orvelle::viewer
