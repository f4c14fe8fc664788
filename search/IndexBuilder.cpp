#include "IndexBuilder.h"

#include "BuildProtocol.h"
#include "DocumentIndexer.h"
#include "IndexHealth.h"
#include "IndexSchema.h"
#include "RegisterSnapshot.h"
#include "platform/AnsiText.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <xapian.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <unordered_map>
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
// damaged index is found when it is next read, set aside and built anew.
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
        }
    }
}

// The library file's size and modification time; empty for a name that is no local file (a
// server's host:path), whose library is then always read again.
std::string LibraryFileState(const std::string& databaseName) {
    std::error_code error;
    const std::filesystem::path file(databaseName);
    const auto size = std::filesystem::file_size(file, error);
    if (error) {
        return {};
    }
    const auto modified = std::filesystem::last_write_time(file, error);
    if (error) {
        return {};
    }
    return std::to_string(size) + ":" + std::to_string(modified.time_since_epoch().count());
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A document left out for a limit, as the index remembers it.
struct SkipRecord {
    std::string fingerprint;
    SkipReason reason = SkipReason::TooLarge;
    QString name;
};

std::unordered_map<std::int32_t, SkipRecord> ReadSkipRecords(const Xapian::Database& index) {
    std::unordered_map<std::int32_t, SkipRecord> records;
    const std::string prefix = kMetaSkippedPrefix;
    for (auto key = index.metadata_keys_begin(prefix); key != index.metadata_keys_end(prefix);
         ++key) {
        const std::string value = index.get_metadata(*key);
        const std::size_t reasonAt = value.find('\t');
        const std::size_t nameAt = value.find('\t', reasonAt + 1);
        const auto reason = nameAt == std::string::npos
                                ? std::nullopt
                                : SkipReasonFromCode(std::string_view(value).substr(
                                      reasonAt + 1, nameAt - reasonAt - 1));
        if (reason) {
            records[std::atoi((*key).c_str() + prefix.size())] = {
                value.substr(0, reasonAt), *reason,
                Utf8(std::string_view(value).substr(nameAt + 1))};
        }
    }
    return records;
}

std::vector<SkippedDocument> Listed(const std::unordered_map<std::int32_t, SkipRecord>& records) {
    std::vector<SkippedDocument> list;
    for (const auto& [id, record] : records) {
        list.push_back({id, record.name, record.reason});
    }
    std::sort(list.begin(), list.end(),
              [](const SkippedDocument& a, const SkippedDocument& b) { return a.id < b.id; });
    return list;
}

// An index made complete from the library file as it still is needs no reading of the library
// at all: its outcome is every entry unchanged.
std::optional<BuildOutcome> UpToDate(const QString& indexFolder, const std::string& state) {
    if (state.empty()) {
        return std::nullopt;
    }
    try {
        Xapian::Database index(indexFolder.toStdString());
        if (index.get_metadata(kMetaVersion) != kSchemaVersion ||
            index.get_metadata(kMetaComplete) != "1" ||
            index.get_metadata(kMetaLibraryState) != state) {
            return std::nullopt;
        }
        BuildOutcome outcome;
        outcome.complete = true;
        outcome.skipped = Listed(ReadSkipRecords(index));
        outcome.unchanged = static_cast<int>(index.get_doccount());
        outcome.entries = outcome.unchanged + static_cast<int>(outcome.skipped.size());
        return outcome;
    } catch (const Xapian::Error&) {
        return std::nullopt; // none yet, or damaged: the build below makes it
    }
}

// What the index holds of an entry: its document and what it was indexed from.
struct StoredEntry {
    Xapian::docid document = 0;
    std::string fingerprint;
};

std::unordered_map<std::int32_t, StoredEntry> ReadStoredEntries(const Xapian::Database& index) {
    std::unordered_map<Xapian::docid, std::string> fingerprints;
    for (auto value = index.valuestream_begin(kSlotFingerprint);
         value != index.valuestream_end(kSlotFingerprint); ++value) {
        fingerprints[value.get_docid()] = *value;
    }
    std::unordered_map<std::int32_t, StoredEntry> entries;
    for (auto term = index.allterms_begin(kIdPrefix); term != index.allterms_end(kIdPrefix);
         ++term) {
        const Xapian::PostingIterator posting = index.postlist_begin(*term);
        if (posting != index.postlist_end(*term)) {
            entries[std::atoi((*term).c_str() + kIdPrefix.size())] = {*posting,
                                                                      fingerprints[*posting]};
        }
    }
    return entries;
}

// The index being written, and what it held when the build began.
class IndexWriter {
public:
    IndexWriter(Xapian::WritableDatabase index, const BuildEvents& events)
        : index_(std::move(index)), events_(events), stored_(ReadStoredEntries(index_)),
          skips_(ReadSkipRecords(index_)) {}

    const StoredEntry* Stored(std::int32_t id) const {
        const auto found = stored_.find(id);
        return found == stored_.end() ? nullptr : &found->second;
    }
    const SkipRecord* Skipped(std::int32_t id) const {
        const auto found = skips_.find(id);
        return found == skips_.end() ? nullptr : &found->second;
    }

    void Write(std::int32_t id, Xapian::Document document) {
        const auto stored = stored_.find(id);
        if (stored != stored_.end()) {
            index_.replace_document(stored->second.document, document);
        } else {
            index_.add_document(document);
        }
        if (skips_.erase(id) > 0) {
            index_.set_metadata(kMetaSkippedPrefix + std::to_string(id), std::string());
        }
    }

    // Leaves the entry's document out (dropping what an older version of it left in the
    // index) and remembers why.
    void Skip(std::int32_t id, const std::string& fingerprint, SkipReason reason,
              const QString& name) {
        if (const auto stored = stored_.find(id); stored != stored_.end()) {
            index_.delete_document(stored->second.document);
            stored_.erase(stored);
        }
        index_.set_metadata(kMetaSkippedPrefix + std::to_string(id),
                            fingerprint + '\t' + std::string(SkipReasonCode(reason)) + '\t' +
                                OneLine(name.toStdString()));
        skips_[id] = {fingerprint, reason, name};
    }

    // Drops the documents and skip records of entries no longer in the tree.
    int RemoveOthers(const std::unordered_set<std::int32_t>& kept) {
        int removed = 0;
        for (const auto& [id, entry] : stored_) {
            if (!kept.count(id)) {
                index_.delete_document(entry.document);
                ++removed;
            }
        }
        for (auto record = skips_.begin(); record != skips_.end();) {
            if (!kept.count(record->first)) {
                index_.set_metadata(kMetaSkippedPrefix + std::to_string(record->first),
                                    std::string());
                record = skips_.erase(record);
            } else {
                ++record;
            }
        }
        return removed;
    }

    std::vector<SkippedDocument> SkippedList() const { return Listed(skips_); }

    void SetMetadata(const char* key, const std::string& value) { index_.set_metadata(key, value); }

    void Commit() {
        index_.commit();
        if (events_.committed) {
            events_.committed(static_cast<int>(index_.get_doccount()));
        }
    }

private:
    Xapian::WritableDatabase index_;
    const BuildEvents& events_;
    std::unordered_map<std::int32_t, StoredEntry> stored_;
    std::unordered_map<std::int32_t, SkipRecord> skips_;
};

} // namespace

BuildOutcome BuildIndex(const std::string& databaseName, const QString& indexFolder,
                        const std::atomic<bool>& cancel,
                        const std::function<void(int done, int total)>& progress) {
    BuildEvents events;
    events.progress = progress;
    return BuildIndex(databaseName, indexFolder, cancel, events, BuildOptions());
}

namespace {

// One pass over the library's entries into the index in `folder`. Xapian's errors go to the
// caller, which rebuilds a damaged index.
class IndexPass {
public:
    IndexPass(const std::vector<SnapshotEntry>& entries, store::DocumentContentReader& reader,
              const std::atomic<bool>& cancel, const BuildEvents& events,
              const BuildOptions& options)
        : entries_(entries), reader_(reader), cancel_(cancel), events_(events), options_(options) {}

    void Run(const std::string& folder, const std::string& databaseName, const std::string& state,
             BuildOutcome& outcome) {
        writer_.emplace(OpenForWriting(folder, cancel_), events_);
        writer_->SetMetadata(kMetaComplete, "");
        writer_->SetMetadata(kMetaLibrary, databaseName);
        writer_->Commit();
        std::unordered_set<std::int32_t> seen;
        started_ = lastCommit_ = Clock::now();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (cancel_) {
                Commit();
                outcome.skipped = writer_->SkippedList();
                throw Cancelled{};
            }
            const SnapshotEntry& entry = entries_[i];
            if (seen.insert(entry.id).second) { // not reached twice through a looping register
                Index(entry, outcome);
            }
            const auto now = Clock::now();
            if (now - lastCommit_ > std::max<Clock::duration>(kFirstCommit, (now - started_) / 5)) {
                Commit();
            }
            if (events_.progress) {
                events_.progress(static_cast<int>(i + 1), outcome.entries);
            }
        }
        outcome.removed = writer_->RemoveOthers(seen);
        writer_->SetMetadata(kMetaComplete, "1");
        writer_->SetMetadata(kMetaLibraryState, state);
        Commit();
        outcome.skipped = writer_->SkippedList();
        outcome.complete = true;
    }

private:
    void Index(const SnapshotEntry& entry, BuildOutcome& outcome) {
        const std::string content = reader_.Read(entry.contentId);
        const std::string fingerprint = Fingerprint(entry, content);
        const SkipRecord* skipped = writer_->Skipped(entry.id);
        const StoredEntry* stored = writer_->Stored(entry.id);
        if (const auto forced = options_.skip.find(entry.id); forced != options_.skip.end()) {
            Skip(entry, fingerprint, forced->second);
        } else if (skipped && skipped->fingerprint == fingerprint) {
            if (events_.skipped) { // over a limit before, and unchanged since
                events_.skipped({entry.id, skipped->name, skipped->reason});
            }
        } else if (stored && stored->fingerprint == fingerprint) {
            ++outcome.unchanged;
        } else if (content.size() > options_.largestDocument) {
            Skip(entry, fingerprint, SkipReason::TooLarge);
        } else {
            if (events_.reading) {
                events_.reading(entry.id, content.size());
            }
            std::optional<Xapian::Document> document;
            try {
                document = indexer_.Make(entry, content, fingerprint);
            } catch (const std::bad_alloc&) {
                Skip(entry, fingerprint, SkipReason::OutOfMemory);
            } catch (const Xapian::Error&) {
                ++outcome.unreadable; // this document only; the others go on
            }
            if (events_.read) {
                events_.read(entry.id);
            }
            if (document) {
                writer_->Write(entry.id, std::move(*document));
                ++outcome.indexed;
            }
        }
    }

    void Skip(const SnapshotEntry& entry, const std::string& fingerprint, SkipReason reason) {
        const SkippedDocument skipped{entry.id, platform::FromAnsi(entry.name), reason};
        writer_->Skip(entry.id, fingerprint, reason, skipped.name);
        if (events_.skipped) {
            events_.skipped(skipped);
        }
    }

    void Commit() {
        writer_->Commit();
        lastCommit_ = Clock::now();
    }

    const std::vector<SnapshotEntry>& entries_;
    store::DocumentContentReader& reader_;
    const std::atomic<bool>& cancel_;
    const BuildEvents& events_;
    const BuildOptions& options_;
    std::optional<IndexWriter> writer_;
    DocumentIndexer indexer_;
    Clock::time_point started_, lastCommit_;
};

} // namespace

BuildOutcome BuildIndex(const std::string& databaseName, const QString& indexFolder,
                        const std::atomic<bool>& cancel, const BuildEvents& events,
                        const BuildOptions& options) {
    const std::string state = LibraryFileState(databaseName);
    if (options.skip.empty() && !options.rebuild) {
        if (const std::optional<BuildOutcome> done = UpToDate(indexFolder, state)) {
            for (const SkippedDocument& skipped : done->skipped) {
                if (events.skipped) {
                    events.skipped(skipped);
                }
            }
            if (events.progress) {
                events.progress(done->entries, done->entries);
            }
            return *done;
        }
    }
    BuildOutcome outcome;
    const auto checkpoint = [&cancel] {
        if (cancel) {
            throw Cancelled{};
        }
    };
    try {
        // A connection of its own, through the store's copy of the library.
        auto library = std::make_unique<store::Library>();
        library->Open(databaseName);
        const std::vector<SnapshotEntry> entries =
            ReadRegisterSnapshot(library->Query(), checkpoint);
        outcome.entries = static_cast<int>(entries.size());
        store::DocumentContentReader reader(library->Query());
        if (options.rebuild) {
            outcome.setAside = SetAsideDamagedIndex(indexFolder);
        }
        // A damaged index found on the way is set aside and built anew, once.
        for (bool retried = options.rebuild;; retried = true) {
            try {
                IndexPass(entries, reader, cancel, events, options)
                    .Run(indexFolder.toStdString(), databaseName, state, outcome);
                break;
            } catch (const Xapian::Error& error) {
                if (retried || !IsDamage(error)) {
                    throw IndexError(error.get_description());
                }
                const int entryCount = outcome.entries;
                outcome = BuildOutcome();
                outcome.entries = entryCount;
                outcome.setAside = SetAsideDamagedIndex(indexFolder);
                if (outcome.setAside.isEmpty()) {
                    outcome.setAside = indexFolder; // removed, not moved
                }
            }
        }
    } catch (const Cancelled&) {
        outcome.complete = false;
    }
    return outcome;
}

} // namespace orvelle::search
