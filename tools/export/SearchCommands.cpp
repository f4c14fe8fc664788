#include "SearchCommands.h"

#include "db/Errors.h"
#include "platform/NativeFileName.h"
#include "search/IndexBuilder.h"
#include "search/IndexLocation.h"
#include "search/Searcher.h"

#include <QCoreApplication>
#include <QString>

#include <atomic>
#include <chrono>
#include <iostream>
#include <vector>

namespace orvelle::exporter {

namespace {

constexpr int ExitFailure = 1;

// The viewer's own name, so both keep their indexes in the same cache folder.
void UseViewerCacheFolder() {
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QStringLiteral("Orvelle"));
}

// Brings the index up to date; an empty folder when the library could not be read.
search::IndexPlace Refresh(const std::string& file, bool showProgress) {
    UseViewerCacheFolder();
    search::IndexPlace place = search::ChooseIndexPlace(search::DefaultIndexRoot(), file);
    if (!place.problem.isEmpty()) {
        std::cerr << place.problem.toStdString() << '\n';
    }
    if (!place.Usable()) {
        return {};
    }
    using Clock = std::chrono::steady_clock;
    auto lastShown = Clock::now();
    const auto progress = [&](int done, int total) {
        if (!showProgress) {
            return;
        }
        const auto now = Clock::now();
        if (done == total || now - lastShown > std::chrono::milliseconds(500)) {
            std::cerr << done << '/' << total << '\n';
            lastShown = now;
        }
    };
    try {
        std::atomic<bool> cancel{false};
        const search::BuildOutcome outcome =
            search::BuildIndex(file, place.folder, cancel, progress);
        if (showProgress) {
            std::cerr << "indexed " << outcome.indexed << ", unchanged " << outcome.unchanged
                      << ", removed " << outcome.removed << ", unreadable " << outcome.unreadable
                      << '\n';
        }
        return place;
    } catch (const db::Exception& error) {
        std::cerr << platform::FromClientMessage(error.Message()).toStdString() << '\n';
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
    }
    return {};
}

} // namespace

int IndexCommand(const std::string& file) {
    return Refresh(file, true).Usable() ? 0 : ExitFailure;
}

int SearchCommand(const std::string& file, const std::string& query, int limit) {
    const search::IndexPlace place = Refresh(file, false);
    if (!place.Usable()) {
        return ExitFailure;
    }
    search::Searcher searcher(place.folder);
    std::vector<search::SearchHit> hits;
    try {
        hits =
            searcher.Search(QString::fromUtf8(query.data(), static_cast<qsizetype>(query.size())),
                            {.limit = limit});
    } catch (const search::SearchError& error) {
        std::cerr << "search failed: " << error.what() << '\n';
        return ExitFailure;
    }
    std::string line;
    for (const search::SearchHit& hit : hits) {
        line = std::to_string(hit.id);
        line += '\t';
        line += QString::number(hit.score, 'f', 4).toStdString();
        line += '\t';
        line += QString(hit.name).replace('\t', ' ').replace('\n', ' ').toStdString();
        line += '\t';
        line += hit.snippet.toStdString();
        line += '\n';
        std::cout << line;
    }
    std::cout.flush();
    return std::cout ? 0 : ExitFailure;
}

} // namespace orvelle::exporter
