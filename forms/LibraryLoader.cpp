#include "LibraryLoader.h"

#include "store/Library.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>

namespace orvelle::forms {

namespace {

// A process's first attach starts the embedded engine, which takes about a second: it is made
// here, so that the window's own attach finds the engine running. Failures are the window's
// attach's to report.
void StartEngine(const std::shared_ptr<const store::LibraryLease>& lease) {
    if (lease->How() == store::LibraryLease::Route::Unchanged) {
        return; // a server's library, or no library at all
    }
    try {
        store::Library first;
        first.UsePrepared(lease);
        first.Open(lease->DatabaseName());
    } catch (const std::exception&) {
    }
}

} // namespace

LibraryLoader::LibraryLoader(QObject* parent) : QObject(parent) {
    // A copy stops, and its part is removed, while the rest of the program ends.
    if (QCoreApplication* application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &LibraryLoader::StopAll);
    }
}

LibraryLoader::~LibraryLoader() {
    StopAll();
    for (const auto& job : jobs_) {
        job->thread.join();
    }
}

void LibraryLoader::Start(const std::string& databaseName) {
    Cancel();
    auto job = std::make_unique<Job>();
    current_ = job.get();
    job->thread = std::thread([this, raw = job.get(), databaseName] { Run(raw, databaseName); });
    jobs_.push_back(std::move(job));
}

void LibraryLoader::Cancel() {
    if (current_ != nullptr) {
        current_->cancel = true;
        current_ = nullptr;
    }
}

void LibraryLoader::StopAll() {
    current_ = nullptr;
    for (const auto& job : jobs_) {
        job->cancel = true;
    }
}

void LibraryLoader::Run(Job* job, const std::string& databaseName) {
    // Every report goes through this object's event queue, so none arrives after it is gone
    // and none of a job no longer current is passed on.
    const auto report = [this, job](auto emitter) {
        QMetaObject::invokeMethod(
            this,
            [this, job, emitter] {
                const bool current = job == current_;
                if (current) {
                    current_ = nullptr;
                }
                Finish(job);
                if (current) {
                    emitter();
                }
            },
            Qt::QueuedConnection);
    };
    store::PrepareOptions options;
    options.cancel = &job->cancel;
    options.progress = [this, job](std::uint64_t done, std::uint64_t total) {
        QMetaObject::invokeMethod(
            this,
            [this, job, done, total] {
                if (job == current_) {
                    Q_EMIT Progress(done, total);
                }
            },
            Qt::QueuedConnection);
    };
    try {
        std::shared_ptr<const store::LibraryLease> lease =
            store::PrepareLibrary(databaseName, options);
        StartEngine(lease);
        report([this, lease] { Q_EMIT Ready(lease); });
    } catch (...) {
        report([this, error = std::current_exception()] { Q_EMIT Failed(error); });
    }
}

void LibraryLoader::Finish(Job* job) {
    const auto found = std::find_if(jobs_.begin(), jobs_.end(),
                                    [job](const auto& owned) { return owned.get() == job; });
    if (found != jobs_.end()) {
        (*found)->thread.join();
        jobs_.erase(found);
    }
}

} // namespace orvelle::forms
