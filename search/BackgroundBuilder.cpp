#include "BackgroundBuilder.h"

#include "db/Errors.h"
#include "platform/NativeFileName.h"

#include <QMetaObject>

#include <chrono>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace orvelle::search {

BackgroundBuilder::BackgroundBuilder(std::string databaseName, QString indexFolder, QObject* parent)
    : QObject(parent), databaseName_(std::move(databaseName)),
      indexFolder_(std::move(indexFolder)) {}

BackgroundBuilder::~BackgroundBuilder() {
    cancel_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void BackgroundBuilder::Start() {
    if (running_ || thread_.joinable()) {
        return;
    }
    running_ = true;
    thread_ = std::thread([this] { Run(); });
}

void BackgroundBuilder::Cancel() {
    cancel_ = true;
}

void BackgroundBuilder::Run() {
#ifdef __linux__
    // Below the window's thread, so a busy machine gives the window its turn first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
    using Clock = std::chrono::steady_clock;
    auto lastReport = Clock::now() - std::chrono::seconds(1);
    const auto progress = [this, &lastReport](int done, int total) {
        const auto now = Clock::now();
        if (now - lastReport < std::chrono::milliseconds(100) && done != total) {
            return;
        }
        lastReport = now;
        QMetaObject::invokeMethod(
            this, [this, done, total] { Q_EMIT Progress(done, total); }, Qt::QueuedConnection);
    };
    // Every report goes through this object's event queue, so none arrives after it is gone.
    const auto report = [this](auto emitter) {
        QMetaObject::invokeMethod(
            this,
            [this, emitter] {
                running_ = false;
                if (thread_.joinable()) {
                    thread_.join();
                }
                emitter();
            },
            Qt::QueuedConnection);
    };
    try {
        const BuildOutcome outcome = BuildIndex(databaseName_, indexFolder_, cancel_, progress);
        report([this, outcome] { Q_EMIT Finished(outcome); });
    } catch (const db::Exception& error) {
        const QString message = platform::FromClientMessage(error.Message());
        report([this, message] { Q_EMIT Failed(message); });
    } catch (const std::exception& error) {
        const QString message = QString::fromLocal8Bit(error.what());
        report([this, message] { Q_EMIT Failed(message); });
    } catch (...) {
        // Nothing may leave the thread's body: an escaping exception ends the whole program.
        report(
            [this] { Q_EMIT Failed(QStringLiteral("the build stopped on an unexpected error")); });
    }
}

} // namespace orvelle::search
