#pragma once

#include "store/LibraryCache.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvelle::forms {

// Makes a library ready to attach (its private copy found or made, store/LibraryCache.h, and the
// embedded engine started) on a thread of its own, so the window never waits for a copy;
// reports by signal on the thread that made the object. One preparation is current at a time: Start
// and Cancel stop the one under way, which then reports nothing. The application's quit cancels
// them all; destroying the object does too and waits for the threads (a copy stops within a piece
// of a few megabytes, and leaves no part behind).
class LibraryLoader : public QObject {
    Q_OBJECT
public:
    explicit LibraryLoader(QObject* parent = nullptr);
    ~LibraryLoader() override;

    void Start(const std::string& databaseName);
    void Cancel();
    // A preparation is under way and will report.
    bool Busy() const { return current_ != nullptr; }

Q_SIGNALS:
    // Bytes copied so far of the library's size; about ten times a second while it is copied.
    void Progress(std::uint64_t done, std::uint64_t total);
    void Ready(const std::shared_ptr<const orvelle::store::LibraryLease>& lease);
    void Failed(const std::exception_ptr& error);

private:
    struct Job {
        std::atomic<bool> cancel{false};
        std::thread thread;
    };

    // Stops every job; none reports.
    void StopAll();
    void Run(Job* job, const std::string& databaseName);
    // Joins the job's thread and forgets it; the report it sent is the last.
    void Finish(Job* job);

    Job* current_ = nullptr;
    std::vector<std::unique_ptr<Job>> jobs_; // the current one and any stopped still ending
};

} // namespace orvelle::forms
