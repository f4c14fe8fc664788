#pragma once

#include <cstdint>
#include <string>

namespace orvelle::bench {

// Deterministic Russian-looking HTML for the search benchmark: a vocabulary of some twenty
// thousand stems with Russian endings, drawn with a skewed (Zipf-like) frequency, headings,
// tables and estimate codes. Windows-1251 bytes.
class RussianCorpus {
public:
    // About `bytes` of HTML for document number `n`.
    std::string Document(std::uint32_t n, std::size_t bytes) const;
    // A name for document number `n`.
    std::string Name(std::uint32_t n) const;
};

} // namespace orvelle::bench
