#include "SearchCommands.h"

#include "ExitCodes.h"
#include "OutputEscaping.h"
#include "PreparationProgress.h"
#include "db/Errors.h"
#include "platform/NativeFileName.h"
#include "search/IndexLocation.h"
#include "search/IndexProcess.h"
#include "search/Searcher.h"
#include "store/LibraryCache.h"

#include <QCoreApplication>
#include <QString>

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

namespace orvelle::exporter {

namespace {

// The viewer's own name, so both keep their indexes in the same cache folder.
void UseViewerCacheFolder() {
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QStringLiteral("Orvelle"));
}

std::string SkipReasonText(search::SkipReason reason) {
    switch (reason) {
    case search::SkipReason::TooLarge:
        return "larger than 64 MB";
    case search::SkipReason::TooSlow:
        return "took too long";
    case search::SkipReason::OutOfMemory:
        return "needed too much memory";
    case search::SkipReason::Crashed:
        return "stopped the builder";
    }
    return {};
}

// A build as the viewer runs it, in a process of its own (this program, "index-worker"), with
// progress on stderr: always for `index` (`alwaysShowProgress`), for `search` only while
// documents are being indexed. `rebuild` sets the index aside and builds it anew.
struct Refreshed {
    int exitCode = kExitDone;
    search::IndexPlace place;
};

Refreshed Refresh(const std::string& file, bool alwaysShowProgress, bool rebuild) {
    UseViewerCacheFolder();
    Refreshed refreshed;
    refreshed.place = search::ChooseIndexPlace(search::DefaultIndexRoot(), file);
    if (!refreshed.place.problem.isEmpty()) {
        std::cerr << refreshed.place.problem.toStdString() << '\n';
    }
    if (!refreshed.place.Usable()) {
        refreshed.exitCode = kExitIndexFailed;
        return refreshed;
    }
    // Made ready first, with its progress on a terminal: the builder's connection then finds
    // the library's private copy ready.
    std::shared_ptr<const store::LibraryLease> lease;
    try {
        if (alwaysShowProgress) {
            lease = store::PrepareLibrary(file, PreparationProgress());
        }
    } catch (const db::Exception& error) {
        std::cerr << EscapeForLine(platform::FromClientMessage(error.Message()).toStdString())
                  << '\n';
        refreshed.exitCode = kExitLibraryUnreadable;
        return refreshed;
    }
    search::IndexProcess builder(QCoreApplication::applicationFilePath(), file,
                                 refreshed.place.folder);
    builder.SetRebuild(rebuild);
    using Clock = std::chrono::steady_clock;
    auto lastShown = Clock::now();
    bool showProgress = alwaysShowProgress;
    QObject::connect(&builder, &search::IndexProcess::Progress, [&](int done, int total) {
        showProgress = showProgress || done < total;
        const auto now = Clock::now();
        if (showProgress && (done == total || now - lastShown > std::chrono::milliseconds(500))) {
            std::cerr << done << '/' << total << '\n';
            lastShown = now;
        }
    });
    QObject::connect(
        &builder, &search::IndexProcess::Finished, [&](const search::BuildOutcome& outcome) {
            if (!outcome.setAside.isEmpty()) {
                std::cerr << "the index was damaged and is built anew; the damaged "
                             "one was moved to "
                          << outcome.setAside.toStdString() << '\n';
            }
            if (showProgress) {
                std::cerr << "indexed " << outcome.indexed << ", unchanged " << outcome.unchanged
                          << ", removed " << outcome.removed << ", unreadable "
                          << outcome.unreadable << ", skipped " << outcome.skipped.size() << '\n';
            }
            for (const search::SkippedDocument& skipped : outcome.skipped) {
                std::cerr << "skipped " << skipped.id << " (" << SkipReasonText(skipped.reason)
                          << "): " << EscapeForLine(skipped.name.toStdString()) << '\n';
            }
            QCoreApplication::exit(kExitDone);
        });
    QObject::connect(&builder, &search::IndexProcess::Failed,
                     [&](const QString& message, bool libraryUnreadable) {
                         std::cerr << EscapeForLine(message.toStdString()) << '\n';
                         QCoreApplication::exit(libraryUnreadable ? kExitLibraryUnreadable
                                                                  : kExitIndexFailed);
                     });
    builder.Start();
    refreshed.exitCode = QCoreApplication::exec();
    return refreshed;
}

// The index's hits for the query; nullopt when the index cannot be read (`damaged` says whether
// building it anew would help, and the message has gone to standard error when not).
std::optional<std::vector<search::SearchHit>>
SearchIndex(const QString& folder, const QString& query, int limit, bool& damaged) {
    try {
        return search::Searcher(folder).Search(query, {.limit = limit});
    } catch (const search::SearchError& error) {
        damaged = error.Damaged();
        if (!damaged) {
            std::cerr << "search failed: " << error.what() << '\n';
        }
        return std::nullopt;
    }
}

} // namespace

int IndexCommand(const std::string& file) {
    return Refresh(file, true, false).exitCode;
}

int SearchCommand(const std::string& file, const std::string& query, int limit) {
    const QString text = QString::fromUtf8(query.data(), static_cast<qsizetype>(query.size()));
    Refreshed refreshed = Refresh(file, false, false);
    if (refreshed.exitCode != kExitDone) {
        return refreshed.exitCode;
    }
    bool damaged = false;
    std::optional<std::vector<search::SearchHit>> hits =
        SearchIndex(refreshed.place.folder, text, limit, damaged);
    if (!hits && damaged) {
        // Damaged where the build did not read: built anew, then asked again.
        refreshed = Refresh(file, false, true);
        if (refreshed.exitCode != kExitDone) {
            return refreshed.exitCode;
        }
        hits = SearchIndex(refreshed.place.folder, text, limit, damaged);
        if (!hits && damaged) {
            std::cerr << "search failed: the index cannot be read after it was built anew\n";
        }
    }
    if (!hits) {
        return kExitIndexFailed;
    }
    std::string line;
    for (const search::SearchHit& hit : *hits) {
        line = std::to_string(hit.id);
        line += '\t';
        line += QString::number(hit.score, 'f', 4).toStdString();
        line += '\t';
        line += EscapeForLine(hit.name.toStdString());
        line += '\t';
        line += EscapeForLine(hit.snippet.toStdString());
        line += '\n';
        std::cout << line;
    }
    std::cout.flush();
    return std::cout ? kExitDone : kExitOutputFailed;
}

} // namespace orvelle::exporter
