#include "PrintJob.h"

#include "GuardedPage.h"
#include "platform/WaitCursor.h"

#include <QWebEnginePage>

namespace orvelle::viewer {

using namespace std::chrono_literals;

namespace {
// Printing runs in the engine and answers later; a job that never answers ends here.
constexpr auto kPrintLimit = 300s;
} // namespace

PrintJob::PrintJob(QWebEnginePage* page, QObject* parent)
    : QObject(parent), page_(page), busy_(std::make_unique<platform::WaitCursor>()) {
    // The page stays while it prints, even when another document takes its place on screen.
    if (auto* guarded = qobject_cast<GuardedPage*>(page)) {
        guarded->Hold();
    }
    connect(page, &QObject::destroyed, this,
            [this] { Fail(QStringLiteral("The browser's page went away while printing")); });
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this] { Fail(QStringLiteral("The browser's page process ended while printing")); });
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        Fail(QStringLiteral("The document was not printed within %1 s")
                 .arg(std::chrono::duration_cast<std::chrono::seconds>(kPrintLimit).count()));
    });
    limit_.start(kPrintLimit);
}

PrintJob::~PrintJob() = default;

void PrintJob::Abandon() {
    ended_ = true;
    LetGo();
}

void PrintJob::LetGo() {
    busy_.reset();
    if (auto* guarded = qobject_cast<GuardedPage*>(page_.data())) {
        guarded->Release();
    }
    deleteLater();
}

void PrintJob::Succeed(const QByteArray& result) {
    if (ended_) {
        return;
    }
    ended_ = true;
    LetGo();
    emit Succeeded(result);
}

void PrintJob::Fail(const QString& message) {
    if (ended_) {
        return;
    }
    ended_ = true;
    LetGo();
    emit Failed(message);
}

} // namespace orvelle::viewer
