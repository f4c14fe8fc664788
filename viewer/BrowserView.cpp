#include "BrowserView.h"

#include "BrowserError.h"
#include "ContentProfile.h"
#include "DocumentScripts.h"
#include "EngineWait.h"
#include "GuardedPage.h"
#include "PageProcess.h"

#include <QScopeGuard>
#include <QVariantMap>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace orvelle::viewer {

using namespace std::chrono_literals;

namespace {

constexpr auto kScrollLimit = 5000ms;
constexpr auto kPollInterval = 15ms;
// Bringing up a page with its empty document takes well under a second; a machine that cannot
// do it in this time has a problem of its own.
constexpr auto kPageLimit = 60000ms;
constexpr auto kMemoryCheckInterval = 500ms;
// What the engine needs for a document over its empty page: about 65 bytes per character
// (1.34 GB for 20 million), with room to spare.
constexpr qint64 kMemoryPerCharacter = 80;

BrowserError PageProcessEnded(const GuardedPage* page) {
    if (page && !page->StopReason().isEmpty()) {
        return BrowserError(page->StopReason());
    }
    return BrowserError(QStringLiteral("The browser's page process ended while the document "
                                       "was being written; click the entry again to show it"));
}

bool IsInline(const QUrl& url) {
    const QString scheme = url.scheme();
    return scheme == u"about" || scheme == u"data" || scheme == u"blob";
}

} // namespace

BrowserView::BrowserView(QWidget* parent) : QWebEngineView(parent) {
    memoryWatch_.setInterval(kMemoryCheckInterval);
    connect(&memoryWatch_, &QTimer::timeout, this, &BrowserView::WatchMemory);
    memoryWatch_.start();
    // A page of our own from the start: page() never falls back to the default profile. It
    // loads its empty document when the first render or NavigateToBlank asks for it.
    Show(NewPage(false));
}

BrowserView::~BrowserView() {
    // The pages go before the view that shows them.
    memoryWatch_.stop();
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
        // Its scripts, timers and frames end with it; its process too, at once, whatever its
        // document does (a page stuck in a loop would not end by itself), unless another page
        // shares it.
        const qint64 pid = former->renderProcessPid();
        former->disconnect(this);
        former->deleteLater();
        const bool shared = pid == page->renderProcessPid() ||
                            (spare_ && spare_ != former && pid == spare_->renderProcessPid());
        if (pid > 0 && !shared) {
            pageprocess::End(pid);
        }
    }
    emit PageReplaced(page);
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

bool BrowserView::WaitForDocument(std::chrono::milliseconds limit) {
    if (HasDocument()) {
        return true;
    }
    QPointer<BrowserView> self(this);
    EngineWait wait(this, nullptr);
    wait.EndOn(this, &BrowserView::DocumentReady);
    wait.Wait(limit);
    return self && HasDocument();
}

BrowserView::Ticket BrowserView::BeginRender() {
    ++generation_;
    emit RenderClaimed();
    return generation_;
}

std::optional<QString> BrowserView::WriteDocument(Ticket ticket, const QString& html,
                                                  const ShownHandler& onShown) {
    if (!IsCurrent(ticket)) {
        return std::nullopt;
    }
    QPointer<BrowserView> self(this);
    QPointer<GuardedPage> page = PageForWrite();
    const auto fresh = qScopeGuard([self] {
        if (self) {
            self->PrepareSpare(); // the next document's page, while this one is read
        }
    });

    if (!page->HoldsDocument()) {
        if (!page->LoadStarted()) {
            page->LoadEmptyDocument();
        }
        EngineWait ready(this, page);
        ready.EndOn(page.data(), &GuardedPage::DocumentReady);
        ready.EndOn(this, &BrowserView::RenderClaimed);
        ready.Wait(kPageLimit);
        if (!self || !IsCurrent(ticket)) {
            if (page && page != shown_) {
                page->deleteLater();
            }
            return std::nullopt;
        }
        if (!page || !page->HoldsDocument()) {
            if (page && page != shown_) {
                page->deleteLater();
            }
            throw BrowserError(QStringLiteral("The browser did not open a document within %1 s")
                                   .arg(kPageLimit.count() / 1000));
        }
    }
    Show(page);
    page->MarkWritten(kMemoryPerCharacter * html.size());
    writing_ = page;
    const auto doneWriting = qScopeGuard([this, self, page] {
        if (self && writing_ == page) {
            writing_ = nullptr;
        }
    });

    EngineWait write(this, page);
    write.EndOn(this, &BrowserView::RenderClaimed);
    page->runJavaScript(scripts::WriteDocument(html, ticket), QWebEngineScript::ApplicationWorld,
                        write.Answerer());
    const auto outcome = write.Wait(EngineWait::kNoDeadline);
    if (!self || !IsCurrent(ticket)) {
        return std::nullopt;
    }
    if (outcome == EngineWait::Outcome::PageProcessEnded) {
        throw PageProcessEnded(page);
    }
    const QVariantMap answer = write.Value().toMap();
    if (!answer.contains(QStringLiteral("name"))) {
        throw BrowserError(QStringLiteral("The browser could not write the document"));
    }
    emit DocumentShown();
    if (self && IsCurrent(ticket) && onShown) {
        onShown(answer.value(QStringLiteral("name")).toString());
    }
    if (!self || !IsCurrent(ticket)) {
        return std::nullopt;
    }
    if (!answer.contains(QStringLiteral("pending"))) {
        return answer.value(QStringLiteral("name")).toString();
    }
    // The rest goes in a script of its own, written once a frame has shown the first part.
    page->runJavaScript(scripts::WriteRest(html, ticket), QWebEngineScript::ApplicationWorld);

    // The first part is on screen; wait for the rest. Nothing may take the reader away from a
    // document still arriving; the page itself follows the last in-document link clicked.
    pendingWrite_ = ticket;
    const auto clearPending = qScopeGuard([this, self, ticket] {
        if (self && pendingWrite_ == ticket) {
            pendingWrite_ = 0;
        }
    });
    for (;;) {
        EngineWait poll(this, page);
        poll.EndOn(this, &BrowserView::RenderClaimed);
        page->runJavaScript(scripts::WrittenDocumentName(ticket),
                            QWebEngineScript::ApplicationWorld, poll.Answerer());
        const auto polled = poll.Wait(EngineWait::kNoDeadline);
        if (!self || !IsCurrent(ticket)) {
            return std::nullopt;
        }
        if (polled == EngineWait::Outcome::PageProcessEnded) {
            throw PageProcessEnded(page);
        }
        if (poll.Value().typeId() == QMetaType::QString) {
            return poll.Value().toString();
        }
        EngineWait pause(this, page);
        pause.EndOn(this, &BrowserView::RenderClaimed);
        pause.Wait(kPollInterval);
        if (!self || !IsCurrent(ticket)) {
            return std::nullopt;
        }
    }
}

std::optional<QString> BrowserView::WriteDocument(const QString& html) {
    return WriteDocument(BeginRender(), html);
}

void BrowserView::ScrollToAnchor(const QString& anchor) {
    QPointer<BrowserView> self(this);
    const Evaluation outcome = Evaluate(shown_, scripts::ScrollToAnchor(anchor), kScrollLimit);
    if (!self) {
        return;
    }
    if (!outcome.Answered()) {
        throw BrowserError(
            QStringLiteral("The browser did not answer while scrolling to \"%1\"").arg(anchor));
    }
    if (!outcome.value.toBool()) {
        throw BrowserError(QStringLiteral("The document has no element named \"%1\"").arg(anchor));
    }
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
        try {
            allowed = handler_(shown);
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
