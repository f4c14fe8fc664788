#include "TextDifference.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <unordered_map>
#include <unordered_set>

namespace orvelle::exporter {

namespace {

constexpr std::size_t kContextLines = 3;

// dtl's comparison of two tokens, with a budget: once it is spent every pair reads as different,
// so the comparison stops sliding along matches and soon reaches dtl's own limit on the path it
// records, which then marks the rest as replaced whole ("unserious" mode). Reading equal tokens
// as different never makes a wrong script, only a longer one.
class BudgetedCompare {
public:
    BudgetedCompare() = default;
    explicit BudgetedCompare(std::size_t* left) : left_(left) {}
    bool impl(const std::uint32_t& a, const std::uint32_t& b) const {
        if (*left_ == 0) {
            return false;
        }
        --*left_;
        return a == b;
    }

private:
    std::size_t* left_ = nullptr;
};

void Append(std::vector<EditRun>& runs, Edit edit, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (!runs.empty() && runs.back().edit == edit) {
        runs.back().count += count;
    } else {
        runs.push_back({edit, count});
    }
}

// Tokens as numbers, equal numbers for equal tokens, over both sides.
class Interner {
public:
    std::vector<std::uint32_t> Numbers(const std::vector<std::string_view>& tokens,
                                       std::size_t from, std::size_t to) {
        std::vector<std::uint32_t> numbers;
        numbers.reserve(to - from);
        for (std::size_t i = from; i < to; ++i) {
            const auto [at, added] =
                numbers_.emplace(tokens[i], static_cast<std::uint32_t>(numbers_.size()));
            numbers.push_back(at->second);
        }
        return numbers;
    }

private:
    std::unordered_map<std::string_view, std::uint32_t> numbers_;
};

// True when some change (the deletions and insertions between two kept tokens) deletes a token
// it also inserts: the shortest script would have kept it.
bool KeepsLessThanItCould(const std::vector<EditRun>& runs,
                          const std::vector<std::string_view>& before,
                          const std::vector<std::string_view>& after) {
    std::size_t oldAt = 0;
    std::size_t newAt = 0;
    std::unordered_set<std::string_view> deleted;
    std::vector<std::string_view> inserted;
    const auto settle = [&] {
        const bool wasted = std::any_of(inserted.begin(), inserted.end(),
                                        [&](std::string_view t) { return deleted.count(t) != 0; });
        deleted.clear();
        inserted.clear();
        return wasted;
    };
    for (const EditRun& run : runs) {
        switch (run.edit) {
        case Edit::Same:
            if (settle()) {
                return true;
            }
            oldAt += run.count;
            newAt += run.count;
            break;
        case Edit::Deleted:
            deleted.insert(before.begin() + static_cast<std::ptrdiff_t>(oldAt),
                           before.begin() + static_cast<std::ptrdiff_t>(oldAt + run.count));
            oldAt += run.count;
            break;
        case Edit::Inserted:
            inserted.insert(inserted.end(), after.begin() + static_cast<std::ptrdiff_t>(newAt),
                            after.begin() + static_cast<std::ptrdiff_t>(newAt + run.count));
            newAt += run.count;
            break;
        }
    }
    return settle();
}

void WriteRange(std::ostream& out, std::size_t before, std::size_t count) {
    // The first line's number, or the line before an empty range; ",1" is left out.
    out << (count > 0 ? before + 1 : before);
    if (count != 1) {
        out << ',' << count;
    }
}

} // namespace

TokenDifference CompareTokens(const std::vector<std::string_view>& before,
                              const std::vector<std::string_view>& after, std::size_t budget) {
    // The common beginning and end cost nothing to find and usually hold nearly everything.
    std::size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
        ++tail;
    }
    const std::size_t oldEnd = before.size() - tail;
    const std::size_t newEnd = after.size() - tail;

    TokenDifference difference;
    Append(difference.runs, Edit::Same, head);
    if (oldEnd == head || newEnd == head ||
        (oldEnd - head) + (newEnd - head) > kMaxComparedTokens) {
        Append(difference.runs, Edit::Deleted, oldEnd - head);
        Append(difference.runs, Edit::Inserted, newEnd - head);
    } else {
        Interner interner;
        const std::vector<std::uint32_t> a = interner.Numbers(before, head, oldEnd);
        const std::vector<std::uint32_t> b = interner.Numbers(after, head, newEnd);
        std::size_t left = budget;
        dtl::Diff<std::uint32_t, std::vector<std::uint32_t>, BudgetedCompare> diff(
            a, b, BudgetedCompare(&left));
        diff.onUnserious();
        diff.compose();
        for (const auto& [token, info] : diff.getSes().getSequence()) {
            Append(difference.runs,
                   info.type == dtl::SES_COMMON   ? Edit::Same
                   : info.type == dtl::SES_DELETE ? Edit::Deleted
                                                  : Edit::Inserted,
                   1);
        }
    }
    Append(difference.runs, Edit::Same, tail);
    difference.coarse = KeepsLessThanItCould(difference.runs, before, after);
    return difference;
}

std::vector<std::string_view> WordTokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
        } else if (text[at] == '\n') {
            tokens.push_back(text.substr(at, 1));
            ++at;
        } else {
            const std::size_t end = std::min(text.find_first_of(" \n", at), text.size());
            tokens.push_back(text.substr(at, end - at));
            at = end;
        }
    }
    return tokens;
}

std::vector<std::string_view> LineTokens(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

void WriteUnifiedDiff(std::ostream& out, const std::vector<std::string_view>& before,
                      const std::vector<std::string_view>& after, const TokenDifference& difference,
                      const std::string& oldName, const std::string& newName) {
    // One step per line of the script, with the lines it stands at on each side.
    struct Step {
        Edit edit;
        std::size_t oldLine;
        std::size_t newLine;
    };
    std::vector<Step> steps;
    std::size_t oldLine = 0;
    std::size_t newLine = 0;
    for (const EditRun& run : difference.runs) {
        for (std::size_t i = 0; i < run.count; ++i) {
            steps.push_back({run.edit, oldLine, newLine});
            oldLine += run.edit != Edit::Inserted;
            newLine += run.edit != Edit::Deleted;
        }
    }
    bool headerWritten = false;
    std::size_t next = 0;
    while (next < steps.size()) {
        std::size_t change = next;
        while (change < steps.size() && steps[change].edit == Edit::Same) {
            ++change;
        }
        if (change == steps.size()) {
            break;
        }
        // A hunk runs on while the lines kept between two changes are few enough to show whole.
        std::size_t lastChange = change;
        std::size_t at = change + 1;
        for (; at < steps.size(); ++at) {
            if (steps[at].edit != Edit::Same) {
                lastChange = at;
            } else if (at - lastChange > 2 * kContextLines) {
                break;
            }
        }
        const std::size_t first = change - std::min(change - next, kContextLines);
        const std::size_t end = std::min(steps.size(), lastChange + 1 + kContextLines);
        std::size_t oldCount = 0;
        std::size_t newCount = 0;
        for (std::size_t i = first; i < end; ++i) {
            oldCount += steps[i].edit != Edit::Inserted;
            newCount += steps[i].edit != Edit::Deleted;
        }
        if (!headerWritten) {
            out << "--- " << oldName << "\n+++ " << newName << '\n';
            headerWritten = true;
        }
        out << "@@ -";
        WriteRange(out, steps[first].oldLine, oldCount);
        out << " +";
        WriteRange(out, steps[first].newLine, newCount);
        out << " @@\n";
        for (std::size_t i = first; i < end; ++i) {
            const Step& step = steps[i];
            switch (step.edit) {
            case Edit::Same:
                out << ' ' << before[step.oldLine] << '\n';
                break;
            case Edit::Deleted:
                out << '-' << before[step.oldLine] << '\n';
                break;
            case Edit::Inserted:
                out << '+' << after[step.newLine] << '\n';
                break;
            }
        }
        next = end;
    }
}

} // namespace orvelle::exporter
