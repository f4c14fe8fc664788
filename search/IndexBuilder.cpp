#include "IndexBuilder.h"

#include "DocumentIndexer.h"
#include "IndexFreshness.h"
#include "IndexSchema.h"
#include "RegisterSnapshot.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <xapian.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <unordered_set>

namespace orvelle::search {

namespace {

using Clock = std::chrono::steady_clock;
// Readers see the index grow at every commit, but each commit costs in proportion to the
// index: the first comes after two seconds, later ones after a fifth of the time spent so far,
// so a long build commits a few dozen times rather than hundreds.
constexpr auto kFirstCommit = std::chrono::seconds(2);
constexpr auto kLockWait = std::chrono::seconds(10);

// The index is a cache that can always be made again: commits are not forced to the disk. A
// damaged index is found when it is next opened, and rebuilt.
constexpr int kWriteFlags = Xapian::DB_NO_SYNC;

struct Cancelled {};

// Opens the index for writing, starting afresh when it was made by another schema. Another
// writer (a second copy of the program) is waited for a while.
Xapian::WritableDatabase OpenForWriting(const std::string& folder,
                                        const std::atomic<bool>& cancel) {
    const auto deadline = Clock::now() + kLockWait;
    for (;;) {
        try {
            Xapian::WritableDatabase index(folder, Xapian::DB_CREATE_OR_OPEN | kWriteFlags);
            if (index.get_metadata(kMetaVersion) != kSchemaVersion) {
                index.close();
                index =
                    Xapian::WritableDatabase(folder, Xapian::DB_CREATE_OR_OVERWRITE | kWriteFlags);
                index.set_metadata(kMetaVersion, kSchemaVersion);
            }
            return index;
        } catch (const Xapian::DatabaseLockError&) {
            if (Clock::now() > deadline) {
                throw IndexError("the index is being built by another program");
            }
            if (cancel) {
                throw Cancelled{};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } catch (const Xapian::DatabaseCorruptError&) {
            // A damaged index is rebuilt; anything else is reported.
            Xapian::WritableDatabase index(folder, Xapian::DB_CREATE_OR_OVERWRITE | kWriteFlags);
            index.set_metadata(kMetaVersion, kSchemaVersion);
            return index;
        }
    }
}

// An index made complete from the library file as it still is needs no reading of the library
// at all: its outcome is every entry unchanged.
std::optional<BuildOutcome> UpToDate(const QString& indexFolder, const std::string& state) {
    if (state.empty()) {
        return std::nullopt;
    }
    try {
        Xapian::Database index(indexFolder.toStdString());
        if (!IsCurrentIndex(index, state)) {
            return std::nullopt;
        }
        BuildOutcome outcome;
        outcome.complete = true;
        outcome.entries = outcome.unchanged = static_cast<int>(index.get_doccount());
        return outcome;
    } catch (const Xapian::Error&) {
        return std::nullopt; // none yet, or damaged: the build below makes it
    }
}

std::string StoredFingerprint(Xapian::WritableDatabase& index, const std::string& idTerm) {
    Xapian::PostingIterator posting = index.postlist_begin(idTerm);
    if (posting == index.postlist_end(idTerm)) {
        return {};
    }
    return index.get_document(*posting).get_value(kSlotFingerprint);
}

int RemoveOthers(Xapian::WritableDatabase& index, const std::unordered_set<std::string>& kept) {
    std::vector<std::string> gone;
    for (auto term = index.allterms_begin(kIdPrefix); term != index.allterms_end(kIdPrefix);
         ++term) {
        if (!kept.count(*term)) {
            gone.push_back(*term);
        }
    }
    for (const std::string& term : gone) {
        index.delete_document(term);
    }
    return static_cast<int>(gone.size());
}

} // namespace

BuildOutcome BuildIndex(const std::string& databaseName, const QString& indexFolder,
                        const std::atomic<bool>& cancel,
                        const std::function<void(int done, int total)>& progress) {
    const std::string state = LibraryFileState(databaseName);
    if (const std::optional<BuildOutcome> done = UpToDate(indexFolder, state)) {
        if (progress) {
            progress(done->entries, done->entries);
        }
        return *done;
    }
    BuildOutcome outcome;
    const auto checkpoint = [&cancel] {
        if (cancel) {
            throw Cancelled{};
        }
    };
    try {
        // A connection of its own, apart from the window's, through the same private copy.
        auto library = std::make_unique<store::Library>();
        library->Open(databaseName);
        const std::vector<SnapshotEntry> entries =
            ReadRegisterSnapshot(library->Query(), checkpoint);
        outcome.entries = static_cast<int>(entries.size());

        Xapian::WritableDatabase index;
        try {
            index = OpenForWriting(indexFolder.toStdString(), cancel);
            index.set_metadata(kMetaComplete, "");
            index.set_metadata(kMetaLibrary, databaseName);
            index.commit();
        } catch (const Xapian::Error& error) {
            throw IndexError(error.get_description());
        }

        store::DocumentContentReader reader(library->Query());
        DocumentIndexer indexer;
        std::unordered_set<std::string> seen;
        const auto started = Clock::now();
        auto lastCommit = started;
        const auto commit = [&] {
            try {
                index.commit();
            } catch (const Xapian::Error& error) {
                throw IndexError(error.get_description());
            }
            lastCommit = Clock::now();
        };
        try {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (cancel) {
                    commit();
                    return outcome;
                }
                const SnapshotEntry& entry = entries[i];
                const std::string idTerm = kIdPrefix + std::to_string(entry.id);
                if (!seen.insert(idTerm).second) {
                    continue; // an entry reached twice through a looping register
                }
                const std::string content = reader.Read(entry.contentId);
                const std::string fingerprint = Fingerprint(entry, content);
                if (StoredFingerprint(index, idTerm) == fingerprint) {
                    ++outcome.unchanged;
                } else {
                    try {
                        index.replace_document(idTerm, indexer.Make(entry, content, fingerprint));
                        ++outcome.indexed;
                    } catch (const Xapian::DatabaseError&) {
                        throw;
                    } catch (const Xapian::Error&) {
                        ++outcome.unreadable; // this document only; the others go on
                    }
                }
                const auto now = Clock::now();
                if (now - lastCommit >
                    std::max<Clock::duration>(kFirstCommit, (now - started) / 5)) {
                    commit();
                }
                if (progress) {
                    progress(static_cast<int>(i + 1), outcome.entries);
                }
            }
            outcome.removed = RemoveOthers(index, seen);
            index.set_metadata(kMetaComplete, "1");
            index.set_metadata(kMetaLibraryState, state);
            commit();
        } catch (const Xapian::Error& error) {
            throw IndexError(error.get_description());
        }
        outcome.complete = true;
    } catch (const Cancelled&) {
        outcome.complete = false;
    }
    return outcome;
}

} // namespace orvelle::search
