#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>

namespace orvelle::search {

// The index folder cannot be used (held by another writer, damaged, unwritable).
class IndexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BuildOutcome {
    bool complete = false; // false: cancelled; what was indexed so far is kept for next time
    int entries = 0;       // entries the tree shows
    int indexed = 0;       // (re)indexed now
    int unchanged = 0;     // already indexed with the same fingerprint
    int removed = 0;       // indexed before but no longer in the tree
    int unreadable = 0;    // documents whose text could not be indexed
};

// Brings the index in `indexFolder` up to date with the library: every entry the tree shows is
// indexed unless its fingerprint is unchanged, and entries no longer shown are dropped. An
// index made whole from the library file as it still is (the same file, size and times)
// is taken as it is, without reading the library. Work
// is committed every few seconds, so readers see the index grow; the index is marked complete
// only at the end. `progress(done, total)` is called on the building thread after each entry;
// setting `cancel` stops the build between entries.
//
// Throws db::Exception when the library cannot be read, IndexError when the index cannot be
// written.
BuildOutcome BuildIndex(const std::string& databaseName, const QString& indexFolder,
                        const std::atomic<bool>& cancel,
                        const std::function<void(int done, int total)>& progress);

} // namespace orvelle::search
