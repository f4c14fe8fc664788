#pragma once

#include "IndexBuilder.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace orvelle::search {

// Builds or refreshes one library's index on a thread of its own, with a connection of its
// own. Signals arrive on the thread that created the object. Destroying the object (for
// instance when another library is opened) cancels the build and waits for the thread; no
// signal of it arrives afterwards.
class BackgroundBuilder : public QObject {
    Q_OBJECT
public:
    BackgroundBuilder(std::string databaseName, QString indexFolder, QObject* parent = nullptr);
    ~BackgroundBuilder() override;

    void Start();
    // Asks the build to stop after the entry it is on; Finished follows with complete false.
    void Cancel();
    bool Running() const { return running_; }

Q_SIGNALS:
    // At most every 100 ms.
    void Progress(int done, int total);
    void Finished(const orvelle::search::BuildOutcome& outcome);
    // The library could not be read or the index not written; the message says which.
    void Failed(const QString& message);

private:
    void Run();

    std::string databaseName_;
    QString indexFolder_;
    std::atomic<bool> cancel_{false};
    bool running_ = false;
    std::thread thread_;
};

} // namespace orvelle::search
