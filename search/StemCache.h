#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvelle::search {

// Words already stemmed and their stems. The term generator asks for the stem of every word of
// every text, most of them asked for before: a lookup reads one slot and one stretch of a
// single block of text, and allocates nothing. Holds up to a fixed number of words and starts
// afresh when full.
class StemCache {
public:
    StemCache();

    std::optional<std::string_view> Find(std::string_view word) const;
    // `word` must not be known yet.
    void Add(std::string_view word, std::string_view stem);

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t at = 0;       // where the word starts in text_, its stem right after it
        std::uint16_t wordSize = 0; // 0: an empty slot
        std::uint16_t stemSize = 0;
    };

    std::size_t SlotOf(std::string_view word, std::uint64_t hash) const;
    void Clear();

    std::vector<Slot> slots_; // a power of two, never more than about a third taken
    std::string text_;
    std::size_t words_ = 0;
};

} // namespace orvelle::search
