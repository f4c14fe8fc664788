#include "IndexBuilder.h"

#include "BuildProtocol.h"
#include "DocumentIndexer.h"
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

BuildOutcome BuildIndex(const std::string& databaseName, const QString& indexFolder,
                        const std::atomic<bool>& cancel, const BuildEvents& events,
                        const BuildOptions& options) {
    const std::string state = LibraryFileState(databaseName);
    if (options.skip.empty()) {
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

        std::optional<IndexWriter> writer;
        try {
            writer.emplace(OpenForWriting(indexFolder.toStdString(), cancel), events);
            writer->SetMetadata(kMetaComplete, "");
            writer->SetMetadata(kMetaLibrary, databaseName);
            writer->Commit();
        } catch (const Xapian::Error& error) {
            throw IndexError(error.get_description());
        }

        store::DocumentContentReader reader(library->Query());
        DocumentIndexer indexer;
        std::unordered_set<std::int32_t> seen;
        const auto started = Clock::now();
        auto lastCommit = started;
        const auto commit = [&] {
            try {
                writer->Commit();
            } catch (const Xapian::Error& error) {
                throw IndexError(error.get_description());
            }
            lastCommit = Clock::now();
        };
        const auto skip = [&](const SnapshotEntry& entry, const std::string& fingerprint,
                              SkipReason reason) {
            const SkippedDocument skipped{entry.id, platform::FromAnsi(entry.name), reason};
            writer->Skip(entry.id, fingerprint, reason, skipped.name);
            if (events.skipped) {
                events.skipped(skipped);
            }
        };
        try {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (cancel) {
                    commit();
                    outcome.skipped = writer->SkippedList();
                    return outcome;
                }
                const SnapshotEntry& entry = entries[i];
                if (!seen.insert(entry.id).second) {
                    continue; // an entry reached twice through a looping register
                }
                const std::string content = reader.Read(entry.contentId);
                const std::string fingerprint = Fingerprint(entry, content);
                const SkipRecord* skipped = writer->Skipped(entry.id);
                const StoredEntry* stored = writer->Stored(entry.id);
                if (const auto forced = options.skip.find(entry.id); forced != options.skip.end()) {
                    skip(entry, fingerprint, forced->second);
                } else if (skipped && skipped->fingerprint == fingerprint) {
                    if (events.skipped) { // over a limit before, and unchanged since
                        events.skipped({entry.id, skipped->name, skipped->reason});
                    }
                } else if (stored && stored->fingerprint == fingerprint) {
                    ++outcome.unchanged;
                } else if (content.size() > options.largestDocument) {
                    skip(entry, fingerprint, SkipReason::TooLarge);
                } else {
                    if (events.reading) {
                        events.reading(entry.id, content.size());
                    }
                    std::optional<Xapian::Document> document;
                    try {
                        document = indexer.Make(entry, content, fingerprint);
                    } catch (const std::bad_alloc&) {
                        skip(entry, fingerprint, SkipReason::OutOfMemory);
                    } catch (const Xapian::Error&) {
                        ++outcome.unreadable; // this document only; the others go on
                    }
                    if (events.read) {
                        events.read(entry.id);
                    }
                    if (document) {
                        writer->Write(entry.id, std::move(*document));
                        ++outcome.indexed;
                    }
                }
                const auto now = Clock::now();
                if (now - lastCommit >
                    std::max<Clock::duration>(kFirstCommit, (now - started) / 5)) {
                    commit();
                }
                if (events.progress) {
                    events.progress(static_cast<int>(i + 1), outcome.entries);
                }
            }
            outcome.removed = writer->RemoveOthers(seen);
            writer->SetMetadata(kMetaComplete, "1");
            writer->SetMetadata(kMetaLibraryState, state);
            commit();
        } catch (const Xapian::Error& error) {
            throw IndexError(error.get_description());
        }
        outcome.skipped = writer->SkippedList();
        outcome.complete = true;
    } catch (const Cancelled&) {
        outcome.complete = false;
    }
    return outcome;
}

} // namespace orvelle::search
