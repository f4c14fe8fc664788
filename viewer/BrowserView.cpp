#include "BrowserView.h"

#include "BrowserError.h"
#include "DocumentScripts.h"
#include "GuardedPage.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QVariantMap>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <memory>

namespace orvelle::viewer {

using namespace std::chrono_literals;

namespace {

constexpr auto kScrollLimit = 5000ms;
constexpr auto kPollInterval = 15ms;

std::chrono::milliseconds WriteLimit(qsizetype characters) {
    return 10000ms + std::chrono::milliseconds(characters / 250); // 4 s per million characters
}

// Processes events until `done` says so, `limit` passes or `guard` is destroyed.
template <typename Done>
void Pump(QObject* guard, std::chrono::milliseconds limit, Done done, QEventLoop& loop) {
    if (done())
        return;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(guard, &QObject::destroyed, &loop, &QEventLoop::quit);
    timer.start(limit);
    loop.exec(QEventLoop::AllEvents);
}

BrowserError WriteTimedOut(std::chrono::milliseconds limit) {
    return BrowserError(
        QStringLiteral("The browser did not finish writing the document within %1 s")
            .arg(limit.count() / 1000));
}

BrowserError PageProcessEnded() {
    return BrowserError(QStringLiteral("The browser's page process ended while the document "
                                       "was being written; click the entry again to show it"));
}

} // namespace

BrowserView::BrowserView(QWidget* parent) : QWebEngineView(parent) {
    page_ = new GuardedPage(QWebEngineProfile::defaultProfile(), this);
    setPage(page_);
    page_->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);

    QWebEngineScript frames;
    frames.setName(QStringLiteral("orvelle-frame-link-base"));
    frames.setInjectionPoint(QWebEngineScript::DocumentReady);
    frames.setWorldId(QWebEngineScript::ApplicationWorld);
    frames.setRunsOnSubFrames(true);
    frames.setSourceCode(scripts::FrameLinkBase());
    page_->scripts().insert(frames);

    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        // Refused navigations end in loadFinished(false); the document stays as it was.
        if (ok && !hasDocument_) {
            hasDocument_ = true;
            emit DocumentReady();
        }
    });
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus, int) {
                // The document went with the process; the next render starts a new one.
                hasDocument_ = false;
                ++pageProcessEnds_;
            });
}

BrowserView::~BrowserView() = default;

void BrowserView::SetNavigationHandler(NavigationHandler handler) {
    handler_ = std::move(handler);
}

void BrowserView::NavigateToBlank() {
    page_->load(QUrl(QStringLiteral("about:blank")));
}

bool BrowserView::WaitForDocument(std::chrono::milliseconds limit) {
    if (hasDocument_)
        return true;
    QPointer<BrowserView> self(this);
    QEventLoop loop;
    connect(this, &BrowserView::DocumentReady, &loop, &QEventLoop::quit);
    Pump(
        this, limit, [] { return false; }, loop);
    return self && hasDocument_;
}

BrowserView::Ticket BrowserView::BeginRender() {
    return ++generation_;
}

BrowserView::ScriptOutcome BrowserView::RunAndWait(const QString& script,
                                                   std::chrono::milliseconds limit) {
    // The state outlives this call: the answer may come after a time-out, or never.
    struct Shared {
        ScriptOutcome outcome;
        QEventLoop* loop = nullptr;
    };
    auto shared = std::make_shared<Shared>();
    QPointer<BrowserView> self(this);
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [shared](const QVariant& result) {
                             shared->outcome.finished = true;
                             shared->outcome.result = result;
                             if (shared->loop)
                                 shared->loop->quit();
                         });
    QEventLoop loop;
    shared->loop = &loop;
    // A script whose page process dies never answers: stop waiting for it then.
    const unsigned ends = pageProcessEnds_;
    connect(page_, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    Pump(
        this, limit, [&] { return shared->outcome.finished; }, loop);
    shared->loop = nullptr;
    ScriptOutcome outcome = shared->outcome;
    outcome.viewGone = !self;
    outcome.pageProcessEnded = self && pageProcessEnds_ != ends && !outcome.finished;
    return outcome;
}

std::optional<QString> BrowserView::WriteDocument(Ticket ticket, const QString& html) {
    if (!IsCurrent(ticket))
        return std::nullopt;
    if (!hasDocument_)
        throw BrowserError(QStringLiteral("The browser holds no document to write into"));

    QPointer<BrowserView> self(this);
    const auto limit = WriteLimit(html.size());
    QElapsedTimer clock;
    clock.start();
    const ScriptOutcome outcome = RunAndWait(scripts::WriteDocument(html, ticket), limit);
    if (outcome.viewGone || !self || !IsCurrent(ticket))
        return std::nullopt;
    if (outcome.pageProcessEnded)
        throw PageProcessEnded();
    if (!outcome.finished)
        throw WriteTimedOut(limit);
    const QVariantMap answer = outcome.result.toMap();
    if (!answer.contains(QStringLiteral("name")) && !answer.contains(QStringLiteral("pending")))
        throw BrowserError(QStringLiteral("The browser could not write the document"));
    emit DocumentShown();
    if (!self || !IsCurrent(ticket))
        return std::nullopt;
    if (answer.contains(QStringLiteral("name")))
        return answer.value(QStringLiteral("name")).toString();

    // The first part is on screen; wait for the rest. Until it is in, links in the part shown
    // lead nowhere: nothing may take the reader away from a document still arriving.
    pendingWrite_ = ticket;
    const auto clearPending = qScopeGuard([this, self, ticket] {
        if (self && pendingWrite_ == ticket)
            pendingWrite_ = 0;
    });
    for (;;) {
        const auto left = limit - std::chrono::milliseconds(clock.elapsed());
        if (left <= 0ms)
            throw WriteTimedOut(limit);
        const ScriptOutcome poll = RunAndWait(scripts::WrittenDocumentName(ticket), left);
        if (poll.viewGone || !self || !IsCurrent(ticket))
            return std::nullopt;
        if (poll.pageProcessEnded)
            throw PageProcessEnded();
        if (!poll.finished)
            throw WriteTimedOut(limit);
        if (poll.result.typeId() == QMetaType::QString)
            return poll.result.toString();
        QEventLoop pause;
        Pump(
            this, kPollInterval, [] { return false; }, pause);
        if (!self || !IsCurrent(ticket))
            return std::nullopt;
    }
}

std::optional<QString> BrowserView::WriteDocument(const QString& html) {
    return WriteDocument(BeginRender(), html);
}

void BrowserView::ScrollToAnchor(const QString& anchor) {
    const ScriptOutcome outcome = RunAndWait(scripts::ScrollToAnchor(anchor), kScrollLimit);
    if (outcome.viewGone)
        return;
    if (!outcome.finished)
        throw BrowserError(
            QStringLiteral("The browser did not answer while scrolling to \"%1\"").arg(anchor));
    if (!outcome.result.toBool())
        throw BrowserError(QStringLiteral("The document has no element named \"%1\"").arg(anchor));
}

bool BrowserView::AskHandler(const QUrl& url, bool isMainFrame, bool newWindow) {
    if (pendingWrite_ != 0)
        return false; // a document is still arriving: stay on it
    if (!handler_)
        return !newWindow;
    const QUrl shown = scripts::ShownUrl(url);
    bool allowed = false;
    try {
        allowed = handler_(shown);
    } catch (const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        QMetaObject::invokeMethod(
            this, [this, message] { emit NavigationHandlerFailed(message); }, Qt::QueuedConnection);
        return false;
    } catch (...) {
        QMetaObject::invokeMethod(
            this, [this] { emit NavigationHandlerFailed(QStringLiteral("Unknown error")); },
            Qt::QueuedConnection);
        return false;
    }
    if (newWindow)
        return false;
    if (allowed && isMainFrame && scripts::IsInDocumentLink(url)) {
        // Let through means: move to the anchor inside this document, as the link meant,
        // rather than to the made-up address it resolves to.
        page_->runJavaScript(QStringLiteral("location.hash=%1")
                                 .arg(scripts::JsStringLiteral(url.fragment(QUrl::FullyEncoded))),
                             QWebEngineScript::ApplicationWorld);
        return false;
    }
    return allowed;
}

} // namespace orvelle::viewer
