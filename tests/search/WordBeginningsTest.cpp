#include "search/WordBeginnings.h"
#include "search/StemCache.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvelle::search;

namespace {

struct MarkCase {
    const char* query;
    bool typed;
    const char* marked;
};

void PrintTo(const MarkCase& c, std::ostream* out) {
    *out << c.query << (c.typed ? " (typed)" : "");
}

class Marking : public testing::TestWithParam<MarkCase> {};

TEST_P(Marking, HandsBeginningsToTheirField) {
    const MarkCase& c = GetParam();
    EXPECT_EQ(MarkWordBeginnings(QString::fromUtf8(c.query), c.typed), c.marked);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, Marking,
    testing::Values(MarkCase{"смет*", false, "orvellebeginning:смет"},
                    MarkCase{"смет* расценки", true, "orvellebeginning:смет orvelletyped:расценки"},
                    MarkCase{"+смет* -(котл*)", false,
                             "+orvellebeginning:смет -(orvellebeginning:котл)"},
                    MarkCase{"земляные раб", true, "земляные orvelletyped:раб"},
                    MarkCase{"земляные раб ", true, "земляные раб "},
                    MarkCase{"смет*", true, "orvellebeginning:смет"},
                    // Inside quotes, joined to the word before, or with no word before: as typed.
                    MarkCase{"\"смет* раб", true, "\"смет* раб"},
                    MarkCase{"\"а\" б*", false, "\"а\" orvellebeginning:б"},
                    MarkCase{"01-01*", false, "01-01*"}, MarkCase{"x+y*", false, "x+y*"},
                    MarkCase{"*", true, "*"}, MarkCase{"", true, ""}));

// Whatever the cache has forgotten to make room, what it still answers is the stem it was given.
TEST(StemCache, AnswersOnlyWhatItWasToldAcrossStartingAfresh) {
    StemCache cache;
    constexpr int kWords = 500000; // more than the cache keeps
    const auto word = [](int i) { return "слово" + std::to_string(i); };
    const auto stem = [](int i) { return "основа" + std::to_string(i * 7); };
    int answered = 0;
    for (int i = 0; i < kWords; ++i) {
        ASSERT_FALSE(cache.Find(word(i)));
        cache.Add(word(i), stem(i));
        ASSERT_EQ(cache.Find(word(i)).value_or("?"), stem(i));
        if (i % 1000 == 999) {
            for (int j = 0; j <= i; j += 997) {
                if (const auto found = cache.Find(word(j))) {
                    ASSERT_EQ(*found, stem(j)) << j;
                    ++answered;
                }
            }
        }
    }
    EXPECT_GT(answered, 0);
    EXPECT_FALSE(cache.Find(""));
}

} // namespace
