#include "IndexedFingerprints.h"

#include "IndexFreshness.h"
#include "IndexLocation.h"
#include "IndexSchema.h"

#include <QDir>

#include <charconv>

namespace orvelle::search {

struct IndexedFingerprints::Impl {
    Xapian::Database index;
};

IndexedFingerprints::IndexedFingerprints(const QString& indexRoot,
                                         const std::string& databaseName) {
    const std::string state = LibraryFileState(databaseName);
    if (state.empty() || indexRoot.isEmpty()) {
        return;
    }
    const QString folder = QDir(indexRoot).filePath(LibraryIdentity(databaseName));
    if (!QDir(folder).exists()) {
        return;
    }
    try {
        auto impl = std::make_unique<Impl>();
        impl->index = Xapian::Database(folder.toStdString());
        if (IsCurrentIndex(impl->index, state)) {
            impl_ = std::move(impl);
        }
    } catch (const Xapian::Error&) {
        // None, damaged or being replaced: the documents are read instead.
    }
}

IndexedFingerprints::~IndexedFingerprints() = default;

std::optional<std::uint64_t> IndexedFingerprints::Find(std::int32_t id) const {
    if (!impl_) {
        return std::nullopt;
    }
    try {
        const std::string term = kIdPrefix + std::to_string(id);
        const Xapian::PostingIterator posting = impl_->index.postlist_begin(term);
        if (posting == impl_->index.postlist_end(term)) {
            return std::nullopt;
        }
        const std::string value =
            impl_->index.get_document(*posting).get_value(kSlotTextFingerprint);
        std::uint64_t fingerprint = 0;
        const auto [end, failure] =
            std::from_chars(value.data(), value.data() + value.size(), fingerprint, 16);
        if (value.empty() || failure != std::errc() || end != value.data() + value.size()) {
            return std::nullopt;
        }
        return fingerprint;
    } catch (const Xapian::Error&) {
        return std::nullopt;
    }
}

} // namespace orvelle::search
