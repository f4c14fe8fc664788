#include "IndexBuilder.h"

#include "BuildProtocol.h"
#include "DocumentIndexer.h"
#include "IndexFreshness.h"
#include "IndexHealth.h"
#include "IndexLayout.h"
#include "IndexSchema.h"
#include "RegisterSnapshot.h"
#include "WorkQueue.h"
#include "platform/AnsiText.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <QDir>

#include <xapian.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <variant>

namespace orvelle::search {

namespace {

// A shard's pending changes are committed after this many documents. Xapian keeps them in
// memory until then, and each document added costs more the more are pending: measured, a
// commit every hundred or two hundred documents writes twice as fast as one every thousand,
// and keeps the cost of a document the same however large the index grows. Readers see the
// index grow at each commit.
constexpr int kCommitDocuments = 200;

// Documents read ahead of the workers: at most this many bytes (or one document) per shard.
constexpr std::size_t kQueuedBytes = std::size_t{16} << 20;
constexpr std::size_t kQueuedDocuments = 64;

// The index is a cache that can always be made again: commits are not forced to the disk. A
// damaged index is found when it is next read, set aside and built anew.
constexpr int kWriteFlags = Xapian::DB_NO_SYNC;

struct Cancelled {};

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A document left out for a limit, as the index remembers it (in the metadata of its shard).
struct SkipRecord {
    std::string fingerprint;
    SkipReason reason = SkipReason::TooLarge;
    QString name;
};

using SkipRecords = std::unordered_map<std::int32_t, SkipRecord>;

SkipRecords ReadSkipRecords(const Xapian::Database& shard) {
    SkipRecords records;
    const std::string prefix = kMetaSkippedPrefix;
    for (auto key = shard.metadata_keys_begin(prefix); key != shard.metadata_keys_end(prefix);
         ++key) {
        const std::string value = shard.get_metadata(*key);
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

std::vector<SkippedDocument> Listed(const SkipRecords& records) {
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
    const int shards = ShardCount(indexFolder);
    if (state.empty() || shards == 0) {
        return std::nullopt;
    }
    try {
        Xapian::Database index(indexFolder.toStdString());
        if (index.get_metadata(kMetaVersion) != kSchemaVersion ||
            index.get_metadata(kMetaComplete) != "1" ||
            index.get_metadata(kMetaLibraryState) != state) {
            return std::nullopt;
        }
        SkipRecords records;
        for (int shard = 0; shard < shards; ++shard) {
            records.merge(ReadSkipRecords(Xapian::Database(ShardPath(indexFolder, shard))));
        }
        BuildOutcome outcome;
        outcome.complete = true;
        outcome.skipped = Listed(records);
        outcome.unchanged = static_cast<int>(index.get_doccount());
        outcome.entries = outcome.unchanged + static_cast<int>(outcome.skipped.size());
        return outcome;
    } catch (const Xapian::Error&) {
        return std::nullopt; // none yet, or damaged: the build below makes it
    }
}

// What a shard holds of an entry: its document and what it was indexed from.
struct StoredEntry {
    Xapian::docid document = 0;
    std::string fingerprint;
};

std::unordered_map<std::int32_t, StoredEntry> ReadStoredEntries(const Xapian::Database& shard) {
    std::unordered_map<Xapian::docid, std::string> fingerprints;
    for (auto value = shard.valuestream_begin(kSlotFingerprint);
         value != shard.valuestream_end(kSlotFingerprint); ++value) {
        fingerprints[value.get_docid()] = *value;
    }
    std::unordered_map<std::int32_t, StoredEntry> entries;
    for (auto term = shard.allterms_begin(kIdPrefix); term != shard.allterms_end(kIdPrefix);
         ++term) {
        const Xapian::PostingIterator posting = shard.postlist_begin(*term);
        if (posting != shard.postlist_end(*term)) {
            entries[std::atoi((*term).c_str() + kIdPrefix.size())] = {*posting,
                                                                      fingerprints[*posting]};
        }
    }
    return entries;
}

// One shard being written, and what it held when the build began. Used by one thread at a
// time.
class ShardWriter {
public:
    explicit ShardWriter(Xapian::WritableDatabase shard)
        : shard_(std::move(shard)), stored_(ReadStoredEntries(shard_)),
          skips_(ReadSkipRecords(shard_)) {}

    const std::unordered_map<std::int32_t, StoredEntry>& Stored() const { return stored_; }
    const SkipRecords& Skips() const { return skips_; }

    void Write(std::int32_t id, const Xapian::Document& document) {
        const auto stored = stored_.find(id);
        if (stored != stored_.end()) {
            shard_.replace_document(stored->second.document, document);
        } else {
            shard_.add_document(document);
        }
        if (skips_.erase(id) > 0) {
            shard_.set_metadata(kMetaSkippedPrefix + std::to_string(id), std::string());
        }
        Changed();
    }

    void AddWordForms(const std::vector<WordForm>& forms) { search::AddWordForms(shard_, forms); }

    // Leaves the entry's document out (dropping what an older version of it left in the
    // index) and remembers why.
    void Skip(std::int32_t id, const std::string& fingerprint, SkipReason reason,
              const QString& name) {
        if (const auto stored = stored_.find(id); stored != stored_.end()) {
            shard_.delete_document(stored->second.document);
            stored_.erase(stored);
        }
        shard_.set_metadata(kMetaSkippedPrefix + std::to_string(id),
                            fingerprint + '\t' + std::string(SkipReasonCode(reason)) + '\t' +
                                OneLine(name.toStdString()));
        skips_[id] = {fingerprint, reason, name};
        Changed();
    }

    // Drops the documents and skip records of entries no longer in the tree.
    int RemoveOthers(const std::unordered_set<std::int32_t>& kept) {
        int removed = 0;
        for (const auto& [id, entry] : stored_) {
            if (!kept.count(id)) {
                shard_.delete_document(entry.document);
                ++removed;
            }
        }
        for (auto record = skips_.begin(); record != skips_.end();) {
            if (!kept.count(record->first)) {
                shard_.set_metadata(kMetaSkippedPrefix + std::to_string(record->first),
                                    std::string());
                record = skips_.erase(record);
            } else {
                ++record;
            }
        }
        return removed;
    }

    void SetMetadata(const char* key, const std::string& value) { shard_.set_metadata(key, value); }
    std::string Metadata(const char* key) const { return shard_.get_metadata(key); }

    // Commits after every kCommitDocuments changes; true when it did.
    bool CommitWhenDue() {
        if (uncommitted_ < kCommitDocuments) {
            return false;
        }
        Commit();
        return true;
    }
    void Commit() {
        shard_.commit();
        uncommitted_ = 0;
    }
    int DocumentCount() const { return static_cast<int>(shard_.get_doccount()); }

private:
    void Changed() { ++uncommitted_; }

    Xapian::WritableDatabase shard_;
    std::unordered_map<std::int32_t, StoredEntry> stored_;
    SkipRecords skips_;
    int uncommitted_ = 0;
};

// The build's events, one call at a time whichever thread reports.
class EventGate {
public:
    explicit EventGate(const BuildEvents& events) : events_(events) {}

    template <typename Event, typename... Arguments>
    void Report(const Event& event, Arguments&&... arguments) {
        if (event) {
            const std::lock_guard lock(mutex_);
            event(std::forward<Arguments>(arguments)...);
        }
    }
    // Progress, unless the build was cancelled: once a progress call sets `cancel`, no other
    // follows.
    void Progress(int done, int total, const std::atomic<bool>& cancel) {
        if (events_.progress) {
            const std::lock_guard lock(mutex_);
            if (!cancel) {
                events_.progress(done, total);
            }
        }
    }
    const BuildEvents& Events() const { return events_; }

private:
    const BuildEvents& events_;
    std::mutex mutex_;
};

// Work for a shard's thread: a document to read and index, or one to leave out.
struct IndexTask {
    const SnapshotEntry* entry;
    std::string content;
    std::string fingerprint;
};
struct SkipTask {
    const SnapshotEntry* entry;
    std::string fingerprint;
    SkipReason reason;
};
using Task = std::variant<IndexTask, SkipTask>;

// One pass over the library's entries into the index's shards. This thread reads the library
// (one connection) and decides what each entry needs; a thread per shard reads the documents'
// text and writes its shard. Xapian's errors go to the caller, which rebuilds a damaged index.
class IndexPass {
public:
    IndexPass(const std::vector<SnapshotEntry>& entries, store::DocumentContentReader& reader,
              const std::atomic<bool>& cancel, const BuildEvents& events,
              const BuildOptions& options)
        : entries_(entries), reader_(reader), cancel_(cancel), gate_(events), options_(options) {}

    void Run(const QString& folder, const std::string& databaseName, const std::string& state,
             BuildOutcome& outcome) {
        total_ = outcome.entries;
        OpenWriters(folder);
        writers_[0].SetMetadata(kMetaComplete, "");
        writers_[0].SetMetadata(kMetaLibrary, databaseName);
        CommitAll();
        StartShardThreads();
        std::unordered_set<std::int32_t> seen;
        try {
            for (const SnapshotEntry& entry : entries_) {
                if (cancel_ || failed_) {
                    break;
                }
                if (seen.insert(entry.id).second) { // not reached twice through a looping register
                    Decide(entry);
                } else {
                    Done();
                }
            }
        } catch (...) {
            StopShardThreads(true);
            throw;
        }
        StopShardThreads(false);
        outcome.indexed = indexed_;
        outcome.unchanged = unchanged_;
        outcome.unreadable = unreadable_;
        if (cancel_) {
            CommitAll();
            outcome.skipped = SkippedList();
            throw Cancelled{};
        }
        for (ShardWriter& writer : writers_) {
            outcome.removed += writer.RemoveOthers(seen);
        }
        writers_[0].SetMetadata(kMetaComplete, "1");
        writers_[0].SetMetadata(kMetaLibraryState, state);
        CommitAll();
        outcome.skipped = SkippedList();
        outcome.complete = true;
    }

private:
    void OpenWriters(const QString& folder) {
        const int threads =
            options_.threads > 0
                ? options_.threads
                : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
        std::vector<Xapian::WritableDatabase> shards =
            OpenShards(folder, threads, kWriteFlags, cancel_);
        if (shards[0].get_metadata(kMetaVersion) != kSchemaVersion) {
            // Made by another schema: started afresh.
            shards.clear();
            QDir(folder).removeRecursively();
            shards = OpenShards(folder, threads, kWriteFlags, cancel_);
            shards[0].set_metadata(kMetaVersion, kSchemaVersion);
        }
        for (Xapian::WritableDatabase& shard : shards) {
            writers_.emplace_back(std::move(shard));
        }
        // What the shards held, for this thread's decisions (the shard threads change their
        // own copies).
        for (const ShardWriter& writer : writers_) {
            for (const auto& [id, entry] : writer.Stored()) {
                storedFingerprints_[id] = entry.fingerprint;
            }
            for (const auto& [id, record] : writer.Skips()) {
                skipRecords_[id] = record;
            }
        }
    }

    void Decide(const SnapshotEntry& entry) {
        std::string content = reader_.Read(entry.contentId);
        std::string fingerprint = Fingerprint(entry, content);
        const auto skipped = skipRecords_.find(entry.id);
        const auto stored = storedFingerprints_.find(entry.id);
        if (const auto forced = options_.skip.find(entry.id); forced != options_.skip.end()) {
            Send(entry.id, SkipTask{&entry, std::move(fingerprint), forced->second}, 0);
        } else if (skipped != skipRecords_.end() && skipped->second.fingerprint == fingerprint) {
            // Over a limit before, and unchanged since.
            gate_.Report(gate_.Events().skipped,
                         SkippedDocument{entry.id, skipped->second.name, skipped->second.reason});
            Done();
        } else if (stored != storedFingerprints_.end() && stored->second == fingerprint) {
            ++unchanged_;
            Done();
        } else if (content.size() > options_.largestDocument) {
            Send(entry.id, SkipTask{&entry, std::move(fingerprint), SkipReason::TooLarge}, 0);
        } else if (options_.suspects.count(entry.id)) {
            // Read alone: nothing else is being read before, during or after it.
            WaitUntilIdle();
            const std::size_t bytes = content.size();
            Send(entry.id, IndexTask{&entry, std::move(content), std::move(fingerprint)}, bytes);
            WaitUntilIdle();
        } else {
            const std::size_t bytes = content.size();
            Send(entry.id, IndexTask{&entry, std::move(content), std::move(fingerprint)}, bytes);
        }
    }

    void Send(std::int32_t id, Task task, std::size_t bytes) {
        {
            const std::lock_guard lock(idleMutex_);
            ++pending_;
        }
        if (!queues_[ShardOf(id, static_cast<int>(writers_.size()))]->Push(std::move(task),
                                                                           bytes)) {
            TaskDone();
        }
    }

    void WaitUntilIdle() {
        std::unique_lock lock(idleMutex_);
        idle_.wait(lock, [&] { return pending_ == 0 || failed_; });
    }

    void TaskDone() {
        const std::lock_guard lock(idleMutex_);
        if (--pending_ == 0) {
            idle_.notify_all();
        }
    }

    void Done() { gate_.Progress(++done_, total_, cancel_); }

    void StartShardThreads() {
        for (std::size_t shard = 0; shard < writers_.size(); ++shard) {
            queues_.push_back(std::make_unique<WorkQueue<Task>>(kQueuedBytes, kQueuedDocuments));
        }
        for (std::size_t shard = 0; shard < writers_.size(); ++shard) {
            threads_.emplace_back([this, shard] { ShardThread(shard); });
        }
    }

    // Ends the shard threads: after their queues are done, or at once (`abandon`). Rethrows
    // what failed in one of them.
    void StopShardThreads(bool abandon) {
        for (auto& queue : queues_) {
            abandon ? queue->Close() : queue->Finish();
        }
        for (std::thread& thread : threads_) {
            thread.join();
        }
        threads_.clear();
        if (failure_ && !abandon) {
            std::rethrow_exception(failure_);
        }
    }

    void ShardThread(std::size_t shard) {
        ShardWriter& writer = writers_[shard];
        DocumentIndexer indexer;
        try {
            while (std::optional<Task> task = queues_[shard]->Pop()) {
                if (!cancel_ && !failed_) {
                    std::visit([&](auto& work) { Handle(writer, indexer, work); }, *task);
                    Done();
                }
                TaskDone();
                if (writer.CommitWhenDue()) {
                    Committed(shard, writer);
                }
            }
            writer.Commit();
            Committed(shard, writer);
        } catch (...) {
            const std::lock_guard lock(idleMutex_);
            if (!failure_) {
                failure_ = std::current_exception();
            }
            failed_ = true;
            idle_.notify_all();
            for (auto& queue : queues_) {
                queue->Close();
            }
        }
    }

    void Handle(ShardWriter& writer, DocumentIndexer& indexer, IndexTask& task) {
        const SnapshotEntry& entry = *task.entry;
        gate_.Report(gate_.Events().reading, entry.id, task.content.size());
        std::optional<Xapian::Document> document;
        try {
            document = indexer.Make(entry, task.content, task.fingerprint);
        } catch (const std::bad_alloc&) {
            task.content = std::string(); // the memory back first
            Skip(writer, entry, task.fingerprint, SkipReason::OutOfMemory);
        } catch (const Xapian::Error&) {
            ++unreadable_; // this document only; the others go on
        }
        gate_.Report(gate_.Events().read, entry.id);
        if (document && !cancel_) {
            writer.Write(entry.id, *document);
            ++indexed_;
        }
        writer.AddWordForms(indexer.TakeNewWordForms());
    }

    void Handle(ShardWriter& writer, DocumentIndexer&, SkipTask& task) {
        Skip(writer, *task.entry, task.fingerprint, task.reason);
    }

    void Skip(ShardWriter& writer, const SnapshotEntry& entry, const std::string& fingerprint,
              SkipReason reason) {
        const SkippedDocument skipped{entry.id, platform::FromAnsi(entry.name), reason};
        writer.Skip(entry.id, fingerprint, reason, skipped.name);
        gate_.Report(gate_.Events().skipped, skipped);
    }

    void Committed(std::size_t shard, const ShardWriter& writer) {
        const std::lock_guard lock(countMutex_);
        shardDocuments_.resize(writers_.size());
        shardDocuments_[shard] = writer.DocumentCount();
        int documents = 0;
        for (const int count : shardDocuments_) {
            documents += count;
        }
        gate_.Report(gate_.Events().committed, documents);
    }

    void CommitAll() {
        for (std::size_t shard = 0; shard < writers_.size(); ++shard) {
            writers_[shard].Commit();
            Committed(shard, writers_[shard]);
        }
    }

    std::vector<SkippedDocument> SkippedList() const {
        SkipRecords all;
        for (const ShardWriter& writer : writers_) {
            for (const auto& [id, record] : writer.Skips()) {
                all[id] = record;
            }
        }
        return Listed(all);
    }

    const std::vector<SnapshotEntry>& entries_;
    store::DocumentContentReader& reader_;
    const std::atomic<bool>& cancel_;
    EventGate gate_;
    const BuildOptions& options_;
    int total_ = 0;

    std::vector<ShardWriter> writers_;
    std::unordered_map<std::int32_t, std::string> storedFingerprints_;
    SkipRecords skipRecords_;

    std::vector<std::unique_ptr<WorkQueue<Task>>> queues_;
    std::vector<std::thread> threads_;
    std::mutex idleMutex_;
    std::condition_variable idle_;
    int pending_ = 0; // tasks sent and not yet done
    std::exception_ptr failure_;
    std::atomic<bool> failed_{false};

    std::atomic<int> done_{0}, indexed_{0}, unchanged_{0}, unreadable_{0};
    std::mutex countMutex_;
    std::vector<int> shardDocuments_;
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
                    .Run(indexFolder, databaseName, state, outcome);
                break;
            } catch (const Xapian::DatabaseLockError&) {
                throw IndexError("the index is being built by another program");
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
