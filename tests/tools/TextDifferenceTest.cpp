// The bounded difference of token sequences: scripts that turn the old side into the new one,
// the shortest for ordinary edits, and an end in bounded time for sides that have nothing in
// common.
#include "tools/export/TextDifference.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace orvelle::exporter;

std::vector<std::string_view> Split(const std::string& text) {
    return WordTokens(text);
}

// Applies the script to `before`; fails the test when it does not fit the two sides.
std::vector<std::string_view> Apply(const TokenDifference& d,
                                    const std::vector<std::string_view>& before,
                                    const std::vector<std::string_view>& after) {
    std::vector<std::string_view> result;
    std::size_t oldAt = 0;
    std::size_t newAt = 0;
    for (const EditRun& run : d.runs) {
        for (std::size_t i = 0; i < run.count; ++i) {
            if (run.edit == Edit::Same) {
                EXPECT_EQ(before.at(oldAt), after.at(newAt));
                result.push_back(before[oldAt++]);
                ++newAt;
            } else if (run.edit == Edit::Deleted) {
                ++oldAt;
            } else {
                result.push_back(after.at(newAt++));
            }
        }
    }
    EXPECT_EQ(oldAt, before.size());
    return result;
}

std::size_t Edits(const TokenDifference& d) {
    std::size_t edits = 0;
    for (const EditRun& run : d.runs) {
        edits += run.edit == Edit::Same ? 0 : run.count;
    }
    return edits;
}

struct Case {
    const char* before;
    const char* after;
    std::size_t edits; // of the shortest script
};

TEST(TextDifference, ShortestScriptsForOrdinaryEdits) {
    const Case cases[] = {
        {"", "", 0},
        {"a b c", "a b c", 0},
        {"", "a b", 2},
        {"a b", "", 2},
        {"a b c", "a x c", 2},
        {"a b c d", "a c d e", 2},
        {"a\nb c", "a b c", 1}, // a line break is a token of its own
        {"x a b c", "a b c y", 2},
        {"a b a b a b", "b a b a b a", 2},
        {"один два три четыре", "один три два четыре", 2},
    };
    for (const Case& c : cases) {
        const std::string before = c.before;
        const std::string after = c.after;
        const auto a = Split(before);
        const auto b = Split(after);
        const TokenDifference d = CompareTokens(a, b);
        EXPECT_EQ(Apply(d, a, b), b) << c.before << " -> " << c.after;
        EXPECT_EQ(Edits(d), c.edits) << c.before << " -> " << c.after;
        EXPECT_FALSE(d.coarse) << c.before << " -> " << c.after;
    }
}

TEST(TextDifference, SidesWithLittleInCommonEndWithinTheBudget) {
    // Two long texts of the same words in different orders: the full comparison would take
    // minutes and gigabytes; the bounded one marks the rest as replaced and says so.
    std::mt19937 random(7);
    std::string before;
    std::string after;
    for (int i = 0; i < 200000; ++i) {
        before += "w" + std::to_string(random() % 500) + ' ';
        after += "w" + std::to_string(random() % 500) + ' ';
    }
    const auto a = Split(before);
    const auto b = Split(after);
    const TokenDifference d = CompareTokens(a, b, 2'000'000);
    EXPECT_EQ(Apply(d, a, b), b);
    EXPECT_TRUE(d.coarse);
}

TEST(TextDifference, UnifiedLines) {
    const std::string before = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15";
    const std::string after = "1\n2\n3\n4\n5\nfive and a half\n6\n7\n8\n9\n10\n11\n12\n13\n15";
    const auto a = LineTokens(before);
    const auto b = LineTokens(after);
    std::ostringstream out;
    WriteUnifiedDiff(out, a, b, CompareTokens(a, b), "old", "new");
    EXPECT_EQ(out.str(), "--- old\n+++ new\n"
                         "@@ -3,6 +3,7 @@\n 3\n 4\n 5\n+five and a half\n 6\n 7\n 8\n"
                         "@@ -11,5 +12,4 @@\n 11\n 12\n 13\n-14\n 15\n");
    std::ostringstream nothing;
    WriteUnifiedDiff(nothing, a, a, CompareTokens(a, a), "old", "new");
    EXPECT_EQ(nothing.str(), "");
}

} // namespace
