#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orvelle::search {

// The fingerprints of the text a reader sees (store/NormalizedText) that a library's index keeps
// for each entry, read only when the index was made whole from the library as it is now: a
// comparison of two editions then need not read those documents.
class IndexedFingerprints {
public:
    // Looks for the library's index under `indexRoot` (DefaultIndexRoot()); writes nothing.
    IndexedFingerprints(const QString& indexRoot, const std::string& databaseName);
    ~IndexedFingerprints();
    IndexedFingerprints(const IndexedFingerprints&) = delete;
    IndexedFingerprints& operator=(const IndexedFingerprints&) = delete;

    // False when there is no current index (none, partial, older, of another state of the file).
    bool Available() const { return impl_ != nullptr; }
    // The fingerprint of entry `id`'s text; nothing when unknown.
    std::optional<std::uint64_t> Find(std::int32_t id) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace orvelle::search
