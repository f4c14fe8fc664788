#include "RussianStem.h"

#include "StemCache.h"

#include <optional>
#include <string_view>
#include <utility>

namespace orvelle::search {

namespace {

// The code point of the two-byte UTF-8 sequence ending at `end` (exclusive), or 0.
char32_t CyrillicBefore(const std::string& text, std::size_t end) {
    if (end < 2) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(text[end - 2]);
    const auto trail = static_cast<unsigned char>(text[end - 1]);
    if ((lead & 0xE0) != 0xC0 || (trail & 0xC0) != 0x80) {
        return 0;
    }
    return static_cast<char32_t>(((lead & 0x1F) << 6) | (trail & 0x3F));
}

bool IsRussianConsonant(char32_t c) {
    static const std::u32string vowels = U"аеиоуыэюяёьъй";
    return c >= U'а' && c <= U'я' && vowels.find(c) == std::u32string::npos;
}

class FleetingVowelStem final : public Xapian::StemImplementation {
public:
    explicit FleetingVowelStem(NewWord newWord) : newWord_(std::move(newWord)) {}

    std::string operator()(const std::string& word) override {
        // Text repeats its words: most are stemmed once.
        if (const std::optional<std::string_view> known = cache_.Find(word)) {
            return std::string(*known);
        }
        std::string stem = Stem(word);
        cache_.Add(word, stem);
        if (newWord_) {
            newWord_(word, stem);
        }
        return stem;
    }
    std::string get_description() const override { return "russian-fleeting-vowel"; }

private:
    std::string Stem(const std::string& word) {
        std::string stem = snowball_(word);
        // Six letters or more ending in a consonant and «ок», «ек» or «ец».
        const std::size_t n = stem.size();
        if (n < 12) {
            return stem;
        }
        const char32_t last = CyrillicBefore(stem, n);
        const char32_t vowel = CyrillicBefore(stem, n - 2);
        const char32_t before = CyrillicBefore(stem, n - 4);
        if ((last == U'к' && (vowel == U'о' || vowel == U'е')) || (last == U'ц' && vowel == U'е')) {
            if (IsRussianConsonant(before)) {
                stem.erase(n - 4, 2);
            }
        }
        return stem;
    }

    NewWord newWord_;
    Xapian::Stem snowball_{"russian"};
    StemCache cache_;
};

} // namespace

Xapian::Stem RussianStemmer(NewWord newWord) {
    return Xapian::Stem(new FleetingVowelStem(std::move(newWord)));
}

} // namespace orvelle::search
