#include "IndexProcess.h"

#include "BuildProtocol.h"
#include "platform/ChildProcessFiles.h"
#include "platform/CompanionProgram.h"

#include <QProcess>
#include <QTimer>

namespace orvelle::search {

namespace {

// A builder that ends abnormally this many times in a row without reading a document is not
// started again.
constexpr int kFruitlessRunLimit = 3;
// … and is not started again after this many abnormal ends in one build.
constexpr int kRestartLimit = 20;
// What Cancel leaves the builder to commit and end on its own.
constexpr int kCancelGraceMs = 700;

} // namespace

QString DefaultBuilderProgram() {
    QString configured = qEnvironmentVariable("ORVELLE_INDEXER");
    if (!configured.isEmpty()) {
        return configured;
    }
    return platform::CompanionProgram(QStringLiteral("orvelle-export"));
}

IndexProcess::IndexProcess(QString program, std::string databaseName, QString indexFolder,
                           QObject* parent)
    : QObject(parent), program_(std::move(program)), databaseName_(std::move(databaseName)),
      indexFolder_(std::move(indexFolder)) {
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(250);
    connect(watchdog_, &QTimer::timeout, this, &IndexProcess::CheckTimes);
    forcedEnd_ = new QTimer(this);
    forcedEnd_->setSingleShot(true);
    forcedEnd_->setInterval(kCancelGraceMs);
    connect(forcedEnd_, &QTimer::timeout, this, [this] {
        if (process_) {
            process_->kill();
        }
    });
}

IndexProcess::~IndexProcess() {
    if (process_) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(1000); // the killed process is only reaped
    }
}

void IndexProcess::SetTimeLimit(std::chrono::milliseconds base,
                                std::chrono::milliseconds perMegabyte) {
    timeBase_ = base;
    timePerMegabyte_ = perMegabyte;
}

void IndexProcess::SetMemoryBudget(std::uint64_t megabytes) {
    memoryBudget_ = megabytes;
}

void IndexProcess::Start() {
    if (running_) {
        return;
    }
    running_ = true;
    cancelled_ = false;
    outcome_ = {};
    skip_.clear();
    suspects_.clear();
    fruitlessRuns_ = 0;
    Launch();
}

void IndexProcess::Cancel() {
    if (!running_ || cancelled_) {
        return;
    }
    cancelled_ = true;
    if (process_) {
        process_->write("cancel\n");
        process_->closeWriteChannel();
        forcedEnd_->start();
    }
}

qint64 IndexProcess::ProcessId() const {
    return process_ ? process_->processId() : 0;
}

void IndexProcess::Launch() {
    reading_.clear();
    skipped_.clear();
    tooSlow_ = 0;
    readSomething_ = false;
    haveOutcome_ = false;
    failure_.clear();
    libraryFailed_ = false;
    pending_.clear();

    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    platform::KeepOpenFilesFromChild(*process_);
    connect(process_, &QProcess::readyReadStandardOutput, this, &IndexProcess::ReadLines);
    connect(process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        Ended(exitCode, status == QProcess::CrashExit);
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            const QString message = QStringLiteral("построитель индекса не запустился: %1 (%2)")
                                        .arg(program_, process_->errorString());
            Stop();
            Q_EMIT Failed(message, false);
        }
    });
    process_->start(program_,
                    {QStringLiteral("index-worker"), QString::fromLocal8Bit(databaseName_.c_str()),
                     indexFolder_, QStringLiteral("--memory-mb"), QString::number(memoryBudget_)});
    std::string orders = rebuild_ ? "rebuild\n" : "";
    rebuild_ = false; // a run started again goes on with what is built
    for (const auto& [id, reason] : skip_) {
        orders += "skip " + std::to_string(id) + ' ' + std::string(SkipReasonCode(reason)) + '\n';
    }
    for (const std::int32_t id : suspects_) {
        orders += "suspect " + std::to_string(id) + '\n';
    }
    orders += "start\n";
    process_->write(orders.data(), static_cast<qint64>(orders.size()));
    watchdog_->start();
}

void IndexProcess::ReadLines() {
    if (!process_) {
        return;
    }
    pending_ += process_->readAllStandardOutput().toStdString();
    std::size_t from = 0;
    for (std::size_t end; (end = pending_.find('\n', from)) != std::string::npos; from = end + 1) {
        Handle(pending_.substr(from, end - from));
    }
    pending_.erase(0, from);
}

void IndexProcess::Handle(const std::string& line) {
    using Kind = BuilderMessage::Kind;
    const BuilderMessage message = ReadBuilderMessage(line);
    switch (message.kind) {
    case Kind::Progress:
        Q_EMIT Progress(message.first, message.second);
        break;
    case Kind::Reading:
        reading_[message.first].since.start();
        reading_[message.first].bytes = message.second;
        break;
    case Kind::Read:
        reading_.remove(message.first);
        readSomething_ = true;
        break;
    case Kind::Skipped:
        skipped_[message.first] = {message.first, message.text, message.reason};
        break;
    case Kind::Committed:
        Q_EMIT Committed(message.first);
        break;
    case Kind::Outcome: {
        const int restarts = outcome_.restarts;
        const QString interruption = outcome_.interruption;
        outcome_ = message.outcome;
        outcome_.restarts = restarts;
        outcome_.interruption = interruption;
        outcome_.setAside = message.text;
        haveOutcome_ = true;
        break;
    }
    case Kind::Failed:
        failure_ = message.text;
        libraryFailed_ = message.libraryFailed;
        break;
    case Kind::Unknown:
        break;
    }
}

void IndexProcess::CheckTimes() {
    if (!process_ || tooSlow_ != 0 || cancelled_) {
        return;
    }
    for (auto it = reading_.cbegin(); it != reading_.cend(); ++it) {
        const auto limit = timeBase_ + timePerMegabyte_ * (it.value().bytes >> 20);
        if (it.value().since.elapsed() > limit.count()) {
            tooSlow_ = it.key();
            process_->kill();
            return;
        }
    }
}

void IndexProcess::Stop() {
    watchdog_->stop();
    forcedEnd_->stop();
    if (process_) {
        process_->disconnect(this);
        process_->deleteLater();
        process_ = nullptr;
    }
    running_ = false;
}

QString IndexProcess::Describe(int exitCode, bool crashed) const {
    if (exitCode == kBuilderOutOfMemory) {
        return QStringLiteral("построителю индекса не хватило памяти");
    }
    // After a crash the exit code is the signal that ended the process (POSIX).
    return crashed ? QStringLiteral("построитель индекса завершился аварийно (%1)").arg(exitCode)
                   : QStringLiteral("построитель индекса завершился с кодом %1").arg(exitCode);
}

void IndexProcess::Ended(int exitCode, bool crashed) {
    ReadLines();
    const QHash<std::int32_t, Reading> reading = reading_;
    Stop();
    outcome_.skipped.clear();
    for (const auto& [id, document] : skipped_) {
        outcome_.skipped.push_back(document);
    }
    if (cancelled_) {
        if (!haveOutcome_) {
            outcome_.complete = false;
        }
        Q_EMIT Finished(outcome_);
        return;
    }
    if (!crashed && exitCode == 0 && haveOutcome_) {
        Q_EMIT Finished(outcome_);
        return;
    }
    if (!crashed && (exitCode == kBuilderLibraryFailed || exitCode == kBuilderIndexFailed)) {
        Q_EMIT Failed(failure_.isEmpty() ? Describe(exitCode, crashed) : failure_,
                      exitCode == kBuilderLibraryFailed);
        return;
    }
    // Ended for a document that took too long, or abnormally: start again.
    running_ = true;
    if (tooSlow_ != 0) {
        skip_[tooSlow_] = SkipReason::TooSlow;
        suspects_.erase(tooSlow_);
    } else {
        outcome_.interruption = Describe(exitCode, crashed);
        ++outcome_.restarts;
        fruitlessRuns_ = readSomething_ ? 0 : fruitlessRuns_ + 1;
        if (reading.size() == 1 && suspects_.count(reading.cbegin().key())) {
            const std::int32_t culprit = reading.cbegin().key();
            skip_[culprit] =
                exitCode == kBuilderOutOfMemory ? SkipReason::OutOfMemory : SkipReason::Crashed;
            suspects_.erase(culprit);
            fruitlessRuns_ = 0;
        } else {
            for (auto it = reading.cbegin(); it != reading.cend(); ++it) {
                suspects_.insert(it.key());
            }
        }
        if (fruitlessRuns_ >= kFruitlessRunLimit || outcome_.restarts > kRestartLimit) {
            running_ = false;
            Q_EMIT Failed(outcome_.interruption, false);
            return;
        }
    }
    Launch();
}

} // namespace orvelle::search
