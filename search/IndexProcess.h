#pragma once

#include "IndexBuilder.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>

class QProcess;
class QTimer;

namespace orvelle::search {

// Where the index builder's program is: $ORVELLE_INDEXER when set, else orvelle-export beside
// the running program.
QString DefaultBuilderProgram();

// Builds or refreshes one library's index in a process of its own (`PROGRAM index-worker`,
// BuildProtocol.h), so that no markup is ever parsed in the caller's process and nothing that
// happens to the builder reaches it. The builder caps its own memory; a document whose
// reading takes longer than the time limit ends the builder, which starts again without it. A
// builder that ends abnormally starts again too, reading the documents it was reading each
// alone; one that ends abnormally while reading a document alone starts again without it.
// Documents left out are named in the outcome. Signals arrive on the creating thread.
class IndexProcess : public QObject {
    Q_OBJECT
public:
    IndexProcess(QString program, std::string databaseName, QString indexFolder,
                 QObject* parent = nullptr);
    // Ends the builder's process at once (what it committed stays).
    ~IndexProcess() override;

    // A document may be read for `base` plus `perMegabyte` for each megabyte it holds.
    void SetTimeLimit(std::chrono::milliseconds base, std::chrono::milliseconds perMegabyte);
    // What the builder may allocate beyond what it holds once started.
    void SetMemoryBudget(std::uint64_t megabytes);
    // The index is set aside and built anew (a search found it damaged).
    void SetRebuild(bool rebuild) { rebuild_ = rebuild; }

    void Start();
    // Asks the builder to stop; it ends within a second (ended by force if need be), and
    // Finished follows with complete false.
    void Cancel();
    bool Running() const { return running_; }
    // The builder's process id while it runs, else 0 (for measurements).
    qint64 ProcessId() const;

Q_SIGNALS:
    // At most every 100 ms.
    void Progress(int done, int total);
    // The index holds `documents` for readers now: searches see more.
    void Committed(int documents);
    void Finished(const orvelle::search::BuildOutcome& outcome);
    // The library could not be read (`libraryUnreadable`), the index not written, or the
    // builder could not run; the message says which.
    void Failed(const QString& message, bool libraryUnreadable);

private:
    struct Reading {
        QElapsedTimer since;
        qint64 bytes = 0;
    };

    void Launch();
    void ReadLines();
    void Handle(const std::string& line);
    void CheckTimes();
    void Ended(int exitCode, bool crashed);
    void Stop(); // the builder's process is gone; nothing of it is reported any more
    QString Describe(int exitCode, bool crashed) const;

    QString program_;
    std::string databaseName_;
    QString indexFolder_;
    std::chrono::milliseconds timeBase_{20000};
    std::chrono::milliseconds timePerMegabyte_{1000};
    std::uint64_t memoryBudget_ = 2048;
    bool rebuild_ = false;

    QProcess* process_ = nullptr;
    QTimer* watchdog_ = nullptr;
    QTimer* forcedEnd_ = nullptr;
    std::string pending_; // output not yet a whole line
    bool running_ = false;
    bool cancelled_ = false;

    // Over the runs of one build.
    std::map<std::int32_t, SkipReason> skip_;
    std::set<std::int32_t> suspects_;
    int fruitlessRuns_ = 0; // consecutive runs that ended abnormally having read nothing
    BuildOutcome outcome_;

    // Of the current run.
    QHash<std::int32_t, Reading> reading_;
    std::map<std::int32_t, SkippedDocument> skipped_;
    std::int32_t tooSlow_ = 0; // the document the run was ended for
    bool readSomething_ = false;
    bool haveOutcome_ = false;
    QString failure_;
    bool libraryFailed_ = false;
};

} // namespace orvelle::search
