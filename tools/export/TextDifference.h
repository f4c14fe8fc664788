#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace orvelle::exporter {

// What the edit script does with the next token(s): keep one of each side, drop one of the old
// side, take one of the new side.
enum class Edit : char { Same, Deleted, Inserted };

struct EditRun {
    Edit edit;
    std::size_t count;
};

struct TokenDifference {
    std::vector<EditRun> runs;
    // The script is not the shortest: the comparison ran out of its budget and marked the rest
    // as replaced whole, so some tokens show as deleted and inserted though they stayed.
    bool coarse = false;
};

// How many token comparisons a difference may cost (some tenths of a second), and how many
// tokens it takes on at all once the common beginning and end are set aside. Beyond either,
// what is left is marked as replaced whole.
inline constexpr std::size_t kComparisonBudget = 60'000'000;
inline constexpr std::size_t kMaxComparedTokens = 4'000'000;

// The shortest edit script from `before` to `after` (dtl's O(NP) comparison), bounded as above:
// it always ends, in time and memory proportional to the budget and the tokens.
TokenDifference CompareTokens(const std::vector<std::string_view>& before,
                              const std::vector<std::string_view>& after,
                              std::size_t budget = kComparisonBudget);

// The tokens of a normalised reader text (store/NormalizedText): its words, and "\n" for each line
// break. Views into `text`.
std::vector<std::string_view> WordTokens(std::string_view text);
// Its lines. Views into `text`.
std::vector<std::string_view> LineTokens(std::string_view text);

// The difference of two texts' lines in the unified format, three lines of context, after the
// two header lines ("--- oldName", "+++ newName"); nothing at all when there is no difference.
void WriteUnifiedDiff(std::ostream& out, const std::vector<std::string_view>& before,
                      const std::vector<std::string_view>& after, const TokenDifference& difference,
                      const std::string& oldName, const std::string& newName);

} // namespace orvelle::exporter
