#include "DocumentRender.h"

#include "BrowserView.h"
#include "DocumentScripts.h"
#include "GuardedPage.h"
#include "platform/WaitCursor.h"

#include <QVariantMap>
#include <QWebEngineScript>
#include <QtConcurrent/QtConcurrentRun>

namespace orvelle::viewer {

using namespace std::chrono_literals;

namespace {

// Bringing up a page with its empty document takes well under a second; a machine that cannot
// do it in this time has a problem of its own.
constexpr auto kPageLimit = 60s;
// How often a long document's page is asked whether the rest is in.
constexpr auto kRestPollInterval = 15ms;
// What the engine needs for a document over its empty page: about 65 bytes per character
// (1.34 GB for 20 million), with room to spare.
constexpr qint64 kMemoryPerCharacter = 80;

QString ProcessEndedMessage(const GuardedPage* page) {
    if (page && !page->StopReason().isEmpty()) {
        return page->StopReason();
    }
    return QStringLiteral("The browser's page process ended while the document was being "
                          "written; click the entry again to show it");
}

} // namespace

DocumentRender::DocumentRender(quint64 ticket, QString html, BrowserView* view)
    : QObject(view), ticket_(ticket), html_(std::move(html)), view_(view),
      busy_(std::make_unique<platform::WaitCursor>(Qt::BusyCursor)) {
    pageLimit_.setSingleShot(true);
    pageLimit_.setInterval(kPageLimit);
    connect(&pageLimit_, &QTimer::timeout, this, [this] {
        Fail(QStringLiteral("The browser did not open a document within %1 s")
                 .arg(std::chrono::duration_cast<std::chrono::seconds>(kPageLimit).count()));
    });
    restPoll_.setInterval(kRestPollInterval);
    connect(&restPoll_, &QTimer::timeout, this, &DocumentRender::PollRest);
    connect(&rest_, &QFutureWatcher<QString>::finished, this, &DocumentRender::SendRest);
    PrepareRest();
}

DocumentRender::~DocumentRender() {
    stopRest_->store(true); // a rest still being made is of no use any more
}

void DocumentRender::PrepareRest() {
    if (!scripts::HasRest(html_)) {
        return;
    }
    rest_.setFuture(QtConcurrent::run([html = html_, ticket = ticket_, stop = stopRest_] {
        return scripts::WriteRest(html, ticket, stop.get());
    }));
}

template <typename Step> auto DocumentRender::WhileRunning(Step step) {
    return [self = QPointer<DocumentRender>(this), step](const QVariant& answer) {
        if (self && self->Running()) {
            (self->*step)(answer);
        }
    };
}

void DocumentRender::Start(GuardedPage* page) {
    page_ = page;
    // The page's process can end at any step; so can the page itself, with the view.
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this] { Fail(ProcessEndedMessage(page_)); });
    if (page->HoldsDocument()) {
        QMetaObject::invokeMethod(this, &DocumentRender::Write, Qt::QueuedConnection);
        return;
    }
    connect(page, &GuardedPage::DocumentReady, this, &DocumentRender::Write,
            Qt::SingleShotConnection);
    if (!page->LoadStarted()) {
        page->LoadEmptyDocument();
    }
    pageLimit_.start();
}

void DocumentRender::Write() {
    if (!Running() || written_) {
        return;
    }
    pageLimit_.stop();
    if (!page_ || !page_->HoldsDocument()) {
        Fail(ProcessEndedMessage(page_));
        return;
    }
    written_ = true;
    view_->ShowForRender(page_, kMemoryPerCharacter * html_.size());
    page_->runJavaScript(scripts::WriteDocument(html_, ticket_), QWebEngineScript::ApplicationWorld,
                         WhileRunning(&DocumentRender::OnFirstPart));
    html_ = QString(); // the rest, if any, is the worker's
}

void DocumentRender::TakeName(const QVariant& answer) {
    const QVariantMap map = answer.toMap();
    name_ = map.value(QStringLiteral("name")).toString();
    title_ = map.value(QStringLiteral("title")).toString();
}

void DocumentRender::OnFirstPart(const QVariant& answer) {
    const QVariantMap map = answer.toMap();
    if (!map.contains(QStringLiteral("name"))) {
        // No answer at all: the page went, or the write failed inside it.
        Fail(page_ && page_->ProcessEnded()
                 ? ProcessEndedMessage(page_)
                 : QStringLiteral("The browser could not write the document"));
        return;
    }
    TakeName(answer);
    emit Shown(name_);
    if (!Running()) {
        return; // whoever heard it started a newer render
    }
    if (!map.contains(QStringLiteral("pending"))) {
        Finish();
        return;
    }
    // The rest goes in a script of its own, written once a frame has shown the first part;
    // until it is in, nothing may take the reader away (the page holds link clicks itself).
    view_->RestArriving(ticket_);
    firstShown_ = true;
    SendRest();
}

void DocumentRender::SendRest() {
    if (!Running() || !firstShown_ || restSent_ || !rest_.isFinished() || !page_) {
        return;
    }
    restSent_ = true;
    page_->runJavaScript(rest_.result(), QWebEngineScript::ApplicationWorld);
    restPoll_.start();
}

void DocumentRender::PollRest() {
    if (polling_ || !page_) {
        return;
    }
    polling_ = true;
    page_->runJavaScript(scripts::WrittenDocumentName(ticket_), QWebEngineScript::ApplicationWorld,
                         WhileRunning(&DocumentRender::OnRestPolled));
}

void DocumentRender::OnRestPolled(const QVariant& answer) {
    polling_ = false;
    if (answer.typeId() == QMetaType::QVariantMap) {
        TakeName(answer);
        Finish();
    }
}

void DocumentRender::Fail(const QString& message) {
    if (!Running()) {
        return;
    }
    End(State::Failed);
    emit Failed(message);
    emit Ended();
}

void DocumentRender::Finish() {
    End(State::Finished);
    emit Finished(name_);
    emit Ended();
}

void DocumentRender::Supersede() {
    if (!Running()) {
        return;
    }
    End(State::Superseded);
    emit Superseded();
    emit Ended();
}

void DocumentRender::End(State state) {
    state_ = state;
    pageLimit_.stop();
    restPoll_.stop();
    busy_.reset();
    html_ = QString();
    stopRest_->store(true);
    view_->RenderEnded(this, written_ ? nullptr : page_.data());
    deleteLater();
}

} // namespace orvelle::viewer
