#include "BrowserView.h"

#include "ContentProfile.h"
#include "DocumentRender.h"
#include "DocumentScripts.h"
#include "GuardedPage.h"
#include "PageProcess.h"
#include "PageQuestion.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace orvelle::viewer {

using namespace std::chrono_literals;

namespace {

constexpr auto kScrollLimit = 5000ms;
constexpr auto kMemoryCheckInterval = 500ms;
// A navigation announced this soon after the reader's click or key in the view is theirs.
constexpr qint64 kGestureWindowMs = 1000;

bool IsInline(const QUrl& url) {
    const QString scheme = url.scheme();
    return scheme == u"about" || scheme == u"data" || scheme == u"blob";
}

} // namespace

BrowserView::BrowserView(QWidget* parent) : QWebEngineView(parent) {
    memoryWatch_.setInterval(kMemoryCheckInterval);
    connect(&memoryWatch_, &QTimer::timeout, this, &BrowserView::WatchMemory);
    memoryWatch_.start();
    // The reader's clicks and keys reach the engine's own widget inside the view, which changes
    // with the page: they are watched on their way through the application.
    qApp->installEventFilter(this);
    // A page of our own from the start: page() never falls back to the default profile. It
    // loads its empty document when the first render or NavigateToBlank asks for it.
    Show(NewPage(false));
}

BrowserView::~BrowserView() {
    // Nobody hears of anything from here on: renders and whatever else waits on the pages go
    // first, silently, so that the pages' going (which answers their scripts with nothing)
    // reaches no one. The pages go before the view that shows them, and their processes with
    // them at once, whatever their documents are doing (one stuck in a loop would not end by
    // itself).
    memoryWatch_.stop();
    // A page the engine is printing cannot be destroyed before the print ends (the engine
    // aborts the program): it is let go, to go when its print ends or with the program, which
    // ends its process.
    for (GuardedPage* page : findChildren<GuardedPage*>(Qt::FindDirectChildrenOnly)) {
        if (page->Held()) {
            page->setParent(nullptr);
        }
    }
    emit Closing();
    qDeleteAll(findChildren<DocumentRender*>(Qt::FindDirectChildrenOnly));
    for (GuardedPage* page : findChildren<GuardedPage*>(Qt::FindDirectChildrenOnly)) {
        const qint64 pid = page->renderProcessPid();
        if (pid > 0) {
            pageprocess::End(pid);
        }
    }
    delete spare_.data();
}

void BrowserView::SetNavigationHandler(NavigationHandler handler) {
    handler_ = std::move(handler);
}

bool BrowserView::HasDocument() const {
    return shown_ && shown_->HoldsDocument();
}

GuardedPage* BrowserView::NewPage(bool load) {
    auto* page = new GuardedPage(
        ContentProfile(),
        [this](const QWebEnginePage* from, const QUrl& url, bool isMainFrame, NavigationKind kind) {
            return Decide(from, url, isMainFrame, kind);
        },
        this);
    QWebEngineScript frames;
    frames.setName(QStringLiteral("orvelle-frame-link-base"));
    frames.setInjectionPoint(QWebEngineScript::DocumentReady);
    frames.setWorldId(QWebEngineScript::ApplicationWorld);
    frames.setRunsOnSubFrames(true);
    frames.setSourceCode(scripts::FrameLinkBase());
    page->scripts().insert(frames);
    QWebEngineScript peers;
    peers.setName(QStringLiteral("orvelle-no-peer-connections"));
    peers.setInjectionPoint(QWebEngineScript::DocumentCreation);
    peers.setWorldId(QWebEngineScript::MainWorld);
    peers.setRunsOnSubFrames(true);
    peers.setSourceCode(scripts::NoPeerConnections());
    page->scripts().insert(peers);
    connect(page, &GuardedPage::DocumentReady, this, [this, page] {
        if (page == shown_) {
            emit DocumentReady();
        }
    });
    if (load) {
        page->LoadEmptyDocument();
    }
    return page;
}

void BrowserView::PrepareSpare() {
    if (spare_ && !spare_->Written() && !spare_->ProcessEnded()) {
        return; // ready, or on its way
    }
    delete spare_.data();
    spare_ = NewPage();
}

GuardedPage* BrowserView::PageForWrite() {
    if (shown_ && !shown_->Written() && !shown_->ProcessEnded() &&
        (shown_->HoldsDocument() || !spare_)) {
        return shown_;
    }
    if (spare_ && !spare_->Written() && !spare_->ProcessEnded()) {
        GuardedPage* page = spare_;
        spare_ = nullptr;
        return page;
    }
    return NewPage();
}

void BrowserView::Show(GuardedPage* page) {
    if (page == shown_) {
        return;
    }
    GuardedPage* former = shown_;
    if (former) {
        page->setZoomFactor(former->zoomFactor());
    }
    setPage(page);
    shown_ = page;
    if (former) {
        former->disconnect(this);
        Retire(former);
    }
    emit PageReplaced(page);
}

void BrowserView::Retire(GuardedPage* former) {
    if (former->Held()) {
        connect(
            former, &GuardedPage::Released, this, [this, former] { Retire(former); },
            Qt::SingleShotConnection);
        return;
    }
    // Its scripts, timers and frames end with it; its process too, at once, whatever its
    // document does (a page stuck in a loop would not end by itself), unless another page
    // shares it.
    const qint64 pid = former->renderProcessPid();
    former->deleteLater();
    const bool shared = (shown_ && pid == shown_->renderProcessPid()) ||
                        (spare_ && pid == spare_->renderProcessPid());
    if (pid > 0 && !shared) {
        pageprocess::End(pid);
    }
}

void BrowserView::NavigateToBlank() {
    if (shown_ && !shown_->Written()) {
        if (!shown_->LoadStarted()) {
            shown_->LoadEmptyDocument();
        }
        return;
    }
    Show(NewPage());
}

DocumentRender* BrowserView::Render(const QString& html) {
    if (current_) {
        current_->Supersede();
    }
    auto* render = new DocumentRender(++generation_, html, this);
    connect(render, &DocumentRender::Shown, this, &BrowserView::DocumentShown);
    current_ = render;
    emit RenderClaimed();
    render->Start(PageForWrite());
    return render;
}

DocumentRender* BrowserView::CurrentRender() const {
    return current_;
}

void BrowserView::ShowForRender(GuardedPage* page, qint64 memory) {
    Show(page);
    page->MarkWritten(memory);
    writing_ = page;
    PrepareSpare(); // the next document's page, while this one is read
}

void BrowserView::RenderEnded(DocumentRender* render, GuardedPage* unused) {
    if (render == current_) {
        current_ = nullptr;
        writing_ = nullptr;
        pendingWrite_ = 0;
    }
    if (unused && unused != shown_ && unused != spare_) {
        unused->deleteLater();
    }
}

void BrowserView::ScrollToAnchor(const QString& anchor, QObject* context, ScrollHandler done) {
    QPointer<BrowserView> self(this);
    QPointer<GuardedPage> page = shown_;
    AskPage(page, scripts::ScrollToAnchor(anchor), kScrollLimit, context,
            [self, page, done = std::move(done)](const std::optional<QVariant>& answer) {
                if (!self || !page || page != self->shown_) {
                    done(ScrollOutcome::DocumentLeft);
                } else if (!answer) {
                    done(ScrollOutcome::NoAnswer);
                } else {
                    done(answer->toBool() ? ScrollOutcome::Scrolled : ScrollOutcome::Missing);
                }
            });
}

void BrowserView::MarkWords(const QStringList& words, QObject* context,
                            std::function<void(int)> done) {
    constexpr int kMarkLimit = 2000;
    constexpr int kMarkBudgetMs = 250;
    AskPage(shown_, scripts::MarkWords(words, kMarkLimit, kMarkBudgetMs), kScrollLimit, context,
            [done = std::move(done)](const std::optional<QVariant>& answer) {
                done(answer ? answer->toInt() : 0);
            });
}

void BrowserView::StepThroughMarks(bool backward, QObject* context,
                                   std::function<void(int active, int total)> done) {
    AskPage(shown_, scripts::StepMark(backward), kScrollLimit, context,
            [done = std::move(done)](const std::optional<QVariant>& answer) {
                const QVariantMap place = answer ? answer->toMap() : QVariantMap();
                done(place.value(QStringLiteral("active")).toInt(),
                     place.value(QStringLiteral("total")).toInt());
            });
}

bool BrowserView::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    bool gesture = false;
    if (type == QEvent::MouseButtonRelease) {
        gesture = static_cast<QMouseEvent*>(event)->button() != Qt::RightButton;
    } else if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        gesture = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    }
    if (gesture) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            gesturePage_ = page();
            gestureClock_.start();
        }
    }
    return QWebEngineView::eventFilter(watched, event);
}

bool BrowserView::TakeReaderGesture(const QWebEnginePage* from) {
    const bool recent = gesturePage_ == from && gestureClock_.isValid() &&
                        gestureClock_.elapsed() <= kGestureWindowMs;
    gesturePage_ = nullptr;
    return recent;
}

bool BrowserView::Decide(const QWebEnginePage* from, const QUrl& url, bool isMainFrame,
                         NavigationKind kind) {
    if (from != shown_) {
        return false; // a page on its way out
    }
    const bool newWindow = kind == NavigationKind::NewWindow;
    if (!isMainFrame && kind == NavigationKind::Script) {
        return IsInline(url); // frames the document or its scripts load: quiet
    }
    const bool inDocument = isMainFrame && !newWindow && scripts::IsInDocumentLink(url);
    if (pendingWrite_ != 0) {
        return false; // a document still arriving: stay on it (its links are held in the page)
    }
    bool allowed = !newWindow;
    if (handler_) {
        const QUrl shown = scripts::ShownUrl(url);
        // A window asked for by the reader's own click is theirs too.
        const bool byReader = kind != NavigationKind::Script && TakeReaderGesture(from);
        try {
            allowed = handler_(shown, byReader);
        } catch (const std::exception& e) {
            const QString message = QString::fromUtf8(e.what());
            QMetaObject::invokeMethod(
                this, [this, message] { emit NavigationHandlerFailed(message); },
                Qt::QueuedConnection);
            return false;
        } catch (...) {
            QMetaObject::invokeMethod(
                this, [this] { emit NavigationHandlerFailed(QStringLiteral("Unknown error")); },
                Qt::QueuedConnection);
            return false;
        }
    }
    if (!allowed || newWindow) {
        return false;
    }
    if (inDocument) {
        // Let through means: move to the anchor inside this document, as the link meant,
        // rather than to the made-up address it resolves to.
        shown_->runJavaScript(scripts::MoveToAnchor(url.fragment(QUrl::FullyEncoded)),
                              QWebEngineScript::ApplicationWorld);
        return false;
    }
    // Frames written with the document load their inline content; nothing leaves for an
    // address of its own, the top document least of all.
    return !isMainFrame && IsInline(url);
}

void BrowserView::WatchMemory() {
    for (GuardedPage* page : {shown_.data(), spare_.data()}) {
        if (!page) {
            continue;
        }
        const qint64 pid = page->renderProcessPid();
        const qint64 bytes = pageprocess::ResidentBytes(pid);
        const qint64 limit = memoryLimit_ + page->DocumentMemory();
        if (bytes <= limit) {
            continue;
        }
        const QString reason =
            QStringLiteral("The document used more than %1 MB of memory and was stopped")
                .arg(limit >> 20);
        page->SetStopReason(reason);
        if (!pageprocess::End(pid)) {
            continue;
        }
        if (page == shown_ && page != writing_) {
            emit DocumentStopped(reason); // else the render waiting on it reports it
        }
    }
}

} // namespace orvelle::viewer
