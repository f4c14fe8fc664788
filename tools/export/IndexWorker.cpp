#include "IndexWorker.h"

#include "db/Errors.h"
#include "platform/NativeFileName.h"
#include "platform/ProcessLimits.h"
#include "search/BuildProtocol.h"
#include "search/IndexBuilder.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace orvelle::exporter {

namespace {

// Lines to the runner, whole and at once, from whichever thread of the build.
class ProtocolOut {
public:
    void Line(const std::string& line) {
        const std::lock_guard lock(mutex_);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    // At most every 100 ms, and always the last.
    void Progress(int done, int total) {
        using Clock = std::chrono::steady_clock;
        const auto now = Clock::now();
        {
            const std::lock_guard lock(mutex_);
            if (done != total && now - lastProgress_ < std::chrono::milliseconds(100)) {
                return;
            }
            lastProgress_ = now;
        }
        Line("progress " + std::to_string(done) + ' ' + std::to_string(total));
    }

private:
    std::mutex mutex_;
    std::chrono::steady_clock::time_point lastProgress_{};
};

// The runner's orders up to "start"; false when its input ended first (it is gone).
bool ReadOrders(search::BuildOptions& options) {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "start") {
            return true;
        }
        const std::size_t blank = line.find(' ');
        const std::string verb = line.substr(0, blank);
        const std::string rest =
            blank == std::string::npos ? std::string() : line.substr(blank + 1);
        const std::int32_t id = std::atoi(rest.c_str());
        if (verb == "rebuild") {
            options.rebuild = true;
        } else if (verb == "suspect") {
            options.suspects.insert(id);
        } else if (verb == "skip") {
            const auto reason = search::SkipReasonFromCode(rest.substr(rest.find(' ') + 1));
            options.skip[id] = reason.value_or(search::SkipReason::Crashed);
        }
    }
    return false;
}

} // namespace

int IndexWorkerCommand(const std::string& file, const std::string& folder,
                       std::uint64_t memoryMegabytes) {
    platform::LowerOwnPriority();
    search::BuildOptions options;
    if (!ReadOrders(options)) {
        return 0;
    }
    // "cancel", or the end of the input (the runner closed it, or is gone), stops the build.
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    std::thread([cancel] {
        std::string line;
        while (std::getline(std::cin, line) && line != "cancel") {
        }
        *cancel = true;
    }).detach();

    ProtocolOut out;
    std::string problem;
    if (!platform::CapMemoryGrowth(memoryMegabytes << 20, problem)) {
        std::cerr << "the builder's memory is not capped: " << problem << '\n';
    }
    search::BuildEvents events;
    events.progress = [&out](int done, int total) { out.Progress(done, total); };
    events.reading = [&out](std::int32_t id, std::size_t bytes) {
        out.Line("reading " + std::to_string(id) + ' ' + std::to_string(bytes));
    };
    events.read = [&out](std::int32_t id) { out.Line("read " + std::to_string(id)); };
    events.skipped = [&out](const search::SkippedDocument& document) {
        out.Line(search::SkippedLine(document));
    };
    events.committed = [&out](int documents) {
        out.Line("committed " + std::to_string(documents));
    };
    try {
        const search::BuildOutcome outcome = search::BuildIndex(
            file, QString::fromLocal8Bit(folder.c_str()), *cancel, events, options);
        out.Line(search::OutcomeLine(outcome));
        return 0;
    } catch (const db::Exception& error) {
        out.Line("failed library " +
                 search::OneLine(platform::FromClientMessage(error.Message()).toStdString()));
        return search::kBuilderLibraryFailed;
    } catch (const std::bad_alloc&) {
        return search::kBuilderOutOfMemory;
    } catch (const std::exception& error) {
        out.Line("failed index " + search::OneLine(error.what()));
        return search::kBuilderIndexFailed;
    }
}

} // namespace orvelle::exporter
