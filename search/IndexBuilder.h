#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvelle::search {

// The index folder cannot be used (held by another writer, unwritable, damaged beyond repair).
class IndexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why a document was left out of the index. Its entry is still in the tree; the document is
// tried again once its content (or name) changes.
enum class SkipReason {
    TooLarge,    // larger than the largest document the program reads
    TooSlow,     // its reading took longer than the time limit
    OutOfMemory, // its reading needed more memory than the builder may hold
    Crashed,     // the builder's process ended abnormally while reading it alone
};

struct SkippedDocument {
    std::int32_t id = 0;
    QString name;
    SkipReason reason = SkipReason::TooLarge;
};

struct BuildOutcome {
    bool complete = false; // false: cancelled; what was indexed so far is kept for next time
    int entries = 0;       // entries the tree shows
    int indexed = 0;       // (re)indexed now
    int unchanged = 0;     // already indexed with the same fingerprint
    int removed = 0;       // indexed before but no longer in the tree
    int unreadable = 0;    // documents whose text could not be indexed
    std::vector<SkippedDocument> skipped; // over a limit, now or in an earlier build
    int restarts = 0;     // times the builder's process was started again (IndexProcess)
    QString interruption; // what happened to the builder's process the last time it ended early
    QString setAside;     // a damaged index was moved here and the index built anew
};

// What a build reports as it goes. Each may be called on any of the build's threads, one call
// at a time.
struct BuildEvents {
    std::function<void(int done, int total)> progress; // after each entry
    // A document of `bytes` stored bytes is about to be read, and has been.
    std::function<void(std::int32_t id, std::size_t bytes)> reading;
    std::function<void(std::int32_t id)> read;
    std::function<void(const SkippedDocument&)> skipped;
    std::function<void(int documents)> committed; // the index now holds this many, for readers
};

struct BuildOptions {
    // Documents found over a limit by whoever runs the build: they are recorded as skipped.
    std::map<std::int32_t, SkipReason> skip;
    // Documents read one at a time, with no other document in reading meanwhile.
    std::set<std::int32_t> suspects;
    // Documents larger than this (stored bytes) are skipped.
    std::size_t largestDocument = std::size_t{64} << 20;
    // The index is set aside and built anew (a reader found it damaged).
    bool rebuild = false;
    // Threads that read documents and write the index, one per shard of a new index; 0: one
    // per processor (at most eight). An existing index keeps its shards.
    int threads = 0;
};

// Brings the index in `indexFolder` up to date with the library: every entry the tree shows is
// indexed unless its fingerprint is unchanged, and entries no longer shown are dropped. An
// index made whole from the library file as it still is (the same file, size and times)
// is taken as it is, without reading the library. Work is committed every few seconds, so
// readers see the index grow; the index is marked complete only at the end. Setting `cancel`
// stops the build between documents.
//
// Parses untrusted markup: the program runs it in a process of its own (IndexProcess).
//
// Throws db::Exception when the library cannot be read, IndexError when the index cannot be
// written.
BuildOutcome BuildIndex(const std::string& databaseName, const QString& indexFolder,
                        const std::atomic<bool>& cancel, const BuildEvents& events,
                        const BuildOptions& options);

// The same with progress alone.
BuildOutcome BuildIndex(const std::string& databaseName, const QString& indexFolder,
                        const std::atomic<bool>& cancel,
                        const std::function<void(int done, int total)>& progress);

} // namespace orvelle::search
