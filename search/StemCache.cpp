#include "StemCache.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace orvelle::search {

namespace {

constexpr std::size_t kSlots = std::size_t{1} << 19;
constexpr std::size_t kMostWords = 180000;
constexpr std::size_t kMostText = std::size_t{16} << 20;

std::uint64_t HashOf(std::string_view word) {
    return std::hash<std::string_view>()(word);
}

} // namespace

StemCache::StemCache() : slots_(kSlots) {}

// The slot holding `word`, or the empty one where it would go.
std::size_t StemCache::SlotOf(std::string_view word, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.wordSize == 0 ||
            (slot.hash == hash && slot.wordSize == word.size() &&
             std::memcmp(text_.data() + slot.at, word.data(), word.size()) == 0)) {
            return at;
        }
    }
}

std::optional<std::string_view> StemCache::Find(std::string_view word) const {
    if (word.empty()) {
        return std::nullopt;
    }
    const Slot& slot = slots_[SlotOf(word, HashOf(word))];
    if (slot.wordSize == 0) {
        return std::nullopt;
    }
    return std::string_view(text_).substr(slot.at + slot.wordSize, slot.stemSize);
}

void StemCache::Add(std::string_view word, std::string_view stem) {
    constexpr std::size_t kLongest = 0xFFFF;
    if (word.empty() || word.size() > kLongest || stem.size() > kLongest) {
        return; // not kept: stemmed again when met again
    }
    if (words_ >= kMostWords || text_.size() + word.size() + stem.size() > kMostText) {
        Clear();
    }
    const std::uint64_t hash = HashOf(word);
    Slot& slot = slots_[SlotOf(word, hash)];
    slot.hash = hash;
    slot.at = static_cast<std::uint32_t>(text_.size());
    slot.wordSize = static_cast<std::uint16_t>(word.size());
    slot.stemSize = static_cast<std::uint16_t>(stem.size());
    text_.append(word);
    text_.append(stem);
    ++words_;
}

void StemCache::Clear() {
    std::fill(slots_.begin(), slots_.end(), Slot());
    text_.clear();
    words_ = 0;
}

} // namespace orvelle::search
