#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace orvelle::search {

struct SearchHit {
    std::int32_t id = 0; // register id
    double score = 0;    // BM25 weight: higher is better
    QString name;        // plain text
    QString path;        // plain text: the folders above the entry
    QString snippet;     // HTML: escaped document text with <mark>…</mark> around matches
    QStringList matches; // the words marked in the snippet, as the document writes them
};

// The index is there but cannot be read (damaged, or changing faster than a search can keep
// up with); the message says why. Damaged(): built anew (IndexProcess::SetRebuild), the index
// would serve again.
class SearchError : public std::runtime_error {
public:
    SearchError(const std::string& message, bool damaged)
        : std::runtime_error(message), damaged_(damaged) {}
    bool Damaged() const { return damaged_; }

private:
    bool damaged_;
};

// What the last search saw besides its hits.
struct SearchSummary {
    int matches = 0;        // documents that match; at least this many when not `exact`
    bool exact = true;      // `matches` is counted, not estimated
    bool understood = true; // the query had something to look for (words, a code, a phrase)
};

struct SearchOptions {
    int limit = 20;
    // The last word may be the start of a longer one (for results while the user types).
    bool partialLastWord = false;
};

// Queries one library's index: Russian word forms, «ё» as «е», phrases in quotes (in any word
// form), codes with hyphens and dots, "*" at the end of a word for the words that start so, ranked
// by BM25, with a snippet per hit. Sees whatever the index holds at the time of each search, also
// while it is being built.
class Searcher {
public:
    explicit Searcher(const QString& indexFolder);
    ~Searcher();
    Searcher(const Searcher&) = delete;
    Searcher& operator=(const Searcher&) = delete;

    // Empty when nothing matches, when the query has no words, or when nothing has been
    // indexed yet. Raises SearchError when the index cannot be read.
    std::vector<SearchHit> Search(const QString& query, const SearchOptions& options = {});
    const SearchSummary& LastSearch() const;
    // Entries in the index now; 0 when there is none or it cannot be read.
    int DocumentCount();
    // True once a build has gone through the whole library (and the index can be read).
    bool Complete();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace orvelle::search
