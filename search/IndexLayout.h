#pragma once

#include <QString>

#include <xapian.h>

#include <atomic>
#include <string>
#include <vector>

namespace orvelle::search {

// An index folder holds its documents in shards, one Xapian database each, so that as many
// threads can write them at once: "shard-0", "shard-1"… and a stub file, XAPIANDB, that lists
// them, through which readers open the folder as one database. An entry's document lives in
// shard (register id mod shard count); shard 0 also holds the metadata of the whole index.

// Shards in the folder's stub; 0 when there is no stub (no index yet, or one of another
// layout).
int ShardCount(const QString& folder);

std::string ShardPath(const QString& folder, int shard);

int ShardOf(std::int32_t id, int shards);

// Opens the folder's shards for writing, making `shards` new ones when it holds none (and
// removing whatever else it held). Another writer is waited for up to ten seconds; setting
// `cancel` gives up sooner (both throw Xapian::DatabaseLockError).
std::vector<Xapian::WritableDatabase> OpenShards(const QString& folder, int shards, int flags,
                                                 const std::atomic<bool>& cancel);

} // namespace orvelle::search
