// Queries against a real index of a real library: word forms, «ё», codes, phrases, ranking,
// snippets, what must not be indexed, odd input.
#include "SearchLibrary.h"
#include "fixtures/TempDir.h"
#include "search/IndexBuilder.h"
#include "search/Searcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>

namespace {

using namespace orvelle;
using namespace orvelle::searchtest;

// The library and its index, made once for every case here.
class IndexedLibrary {
public:
    static IndexedLibrary& Get() {
        static IndexedLibrary library;
        return library;
    }

private:
    fixtures::TempDir folder_;

public:
    const std::string index = folder_.File("index");
    search::Searcher searcher{QString::fromStdString(index)};
    search::BuildOutcome outcome;

private:
    IndexedLibrary() {
        BuildSearchLibrary(folder_.File("library.kvd"));
        std::atomic<bool> cancel{false};
        outcome = search::BuildIndex(folder_.File("library.kvd"), QString::fromStdString(index),
                                     cancel, {});
    }
};

std::vector<std::int32_t> Ids(const std::vector<search::SearchHit>& hits) {
    std::vector<std::int32_t> ids;
    ids.reserve(hits.size());
    for (const auto& hit : hits) {
        ids.push_back(hit.id);
    }
    return ids;
}

struct QueryCase {
    const char* query;
    std::vector<std::int32_t> found;  // each of these is among the hits
    std::vector<std::int32_t> absent; // none of these is
};

void PrintTo(const QueryCase& c, std::ostream* out) {
    *out << c.query;
}

class Query : public testing::TestWithParam<QueryCase> {};

TEST_P(Query, FindsWhatTheDocumentsSay) {
    const QueryCase& c = GetParam();
    const auto ids =
        Ids(IndexedLibrary::Get().searcher.Search(QString::fromUtf8(c.query), {.limit = 50}));
    for (std::int32_t id : c.found) {
        EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << "missing " << id;
    }
    for (std::int32_t id : c.absent) {
        EXPECT_EQ(std::find(ids.begin(), ids.end(), id), ids.end()) << "unexpected " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Library, Query,
    testing::Values(
        // Russian word forms find each other, whatever the case.
        QueryCase{"расценки", {kPriceTitle, kPassing}, {kPhrase}},
        QueryCase{"расценок", {kPriceTitle, kPassing}, {}},
        QueryCase{"РАСЦЕНКАМ", {kPriceTitle, kPassing}, {}},
        QueryCase{"котловане", {kPriceTitle}, {}}, QueryCase{"образец", {kDeep}, {}},
        // «ё» and «е» are one letter, both ways.
        QueryCase{"елка", {kYoDocument}, {}}, QueryCase{"ёлочный", {kEDocument}, {}},
        QueryCase{"емкость", {kYoDocument}, {}},
        // Codes as written, with and without the blank after the prefix, or only the digits.
        QueryCase{"01-01-003-02", {kCodes}, {kPassing}}, QueryCase{"01-01-003", {kCodes}, {}},
        QueryCase{"ФЕР 12.1", {kCodes}, {}}, QueryCase{"фер12.1", {kCodes}, {}},
        QueryCase{"ГЭСН81-02-01-2001", {kCodes}, {}}, QueryCase{"ГЭСН 81-02-01-2001", {kCodes}, {}},
        QueryCase{"81-02-01-2001", {kCodes}, {}}, QueryCase{"01-01-003-03", {}, {kCodes}},
        // A phrase needs its words in order; without quotes any order will do.
        QueryCase{"\"земляные работы\"", {kPhrase, kPriceTitle}, {kReversed}},
        QueryCase{"земляные работы", {kPhrase, kReversed}, {}},
        QueryCase{"\"земляных работ\"", {kPhrase, kPriceTitle}, {kReversed}},
        // "*" ends a word's beginning, also one longer than the word's stem.
        QueryCase{"расцен*", {kPriceTitle, kPassing}, {}},
        QueryCase{"котлованах*", {kPriceTitle}, {}},
        QueryCase{"земл* -котлован*", {kPhrase, kReversed}, {kPriceTitle, kPassing}},
        // Words inside scripts, styles and attributes are not text.
        QueryCase{"тайноеслово", {}, {kScripts}}, QueryCase{"стилевоеслово", {}, {kScripts}},
        QueryCase{"атрибутноеслово", {}, {kScripts}}, QueryCase{"видимый", {kScripts}, {}},
        // Broken markup, NUL and unassigned bytes still give their words.
        QueryCase{"незакрытый обрывок хвост", {kBroken}, {}},
        // A NUL is dropped, as the browser drops it: the words on either side meet.
        QueryCase{"переднулевой", {kOddBytes}, {}}, QueryCase{"неопределенный", {kOddBytes}, {}},
        // Entries the tree hides stay hidden; folders have pages of their own.
        QueryCase{"засекреченный", {}, {kHiddenDocument}},
        QueryCase{"невидимок", {}, {kHiddenFolder}}, QueryCase{"подраздела", {kSubFolder}, {}},
        // Nothing to look for.
        QueryCase{"   ", {}, {kPriceTitle}}, QueryCase{"\"", {}, {kPriceTitle}},
        QueryCase{"AND OR NOT", {}, {kPriceTitle}}));

TEST(Search, NameAndTitleRankAboveAPassingMention) {
    const auto hits = IndexedLibrary::Get().searcher.Search(QStringLiteral("расценкам"));
    ASSERT_GE(hits.size(), 2u);
    EXPECT_EQ(hits[0].id, kPriceTitle);
    EXPECT_GT(hits[0].score, hits[1].score);
}

TEST(Search, HitsCarryNamePathAndAnEscapedSnippet) {
    auto& searcher = IndexedLibrary::Get().searcher;
    const auto deep = searcher.Search(QStringLiteral("проходки"));
    ASSERT_EQ(deep.size(), 1u);
    EXPECT_EQ(deep[0].name, QStringLiteral("Глубокий документ"));
    EXPECT_EQ(deep[0].path, QStringLiteral("Сметные нормативы / Подраздел"));
    EXPECT_EQ(deep[0].snippet,
              QStringLiteral("Глубинная <mark>проходка</mark>. По форме образца."));
    EXPECT_EQ(deep[0].matches, QStringList{QStringLiteral("проходка")});

    const auto signs = searcher.Search(QStringLiteral("откос"));
    ASSERT_EQ(signs.size(), 1u);
    EXPECT_TRUE(signs[0].snippet.contains(QStringLiteral("a &lt; b &amp; c")))
        << signs[0].snippet.toStdString();
    EXPECT_TRUE(signs[0].snippet.contains(QStringLiteral("<mark>откосов</mark>")));
    QString withoutMarks = signs[0].snippet;
    withoutMarks.remove(QStringLiteral("<mark>")).remove(QStringLiteral("</mark>"));
    EXPECT_FALSE(withoutMarks.contains('<'));

    // The typed form may differ from the document's: «ё» folded, the stem matched.
    const auto yo = searcher.Search(QStringLiteral("зеленая"));
    ASSERT_EQ(yo.size(), 1u);
    EXPECT_TRUE(yo[0].snippet.contains(QStringLiteral("<mark>Зеленая</mark>")));
}

TEST(Search, LimitAndPartialLastWord) {
    auto& searcher = IndexedLibrary::Get().searcher;
    EXPECT_EQ(searcher.Search(QStringLiteral("папка"), {.limit = 1}).size(), 1u);
    EXPECT_TRUE(searcher.Search(QStringLiteral("котлов"), {.limit = 10}).empty());
    const auto typed =
        Ids(searcher.Search(QStringLiteral("котлов"), {.limit = 10, .partialLastWord = true}));
    EXPECT_NE(std::find(typed.begin(), typed.end(), kPriceTitle), typed.end());
}

TEST(Search, IndexHoldsEveryShownEntry) {
    const auto& library = IndexedLibrary::Get();
    EXPECT_TRUE(library.outcome.complete);
    EXPECT_EQ(library.outcome.entries, 14);
    EXPECT_EQ(library.outcome.indexed, library.outcome.entries);
    EXPECT_EQ(library.outcome.unreadable, 0);
}

TEST(Search, TwentyMegabyteDocumentToItsLastWord) {
    fixtures::TempDir folder;
    BuildSearchLibrary(folder.File("library.kvd"), true);
    std::atomic<bool> cancel{false};
    const QString index = QString::fromStdString(folder.File("index"));
    const auto outcome = search::BuildIndex(folder.File("library.kvd"), index, cancel, {});
    EXPECT_EQ(outcome.indexed, 15);
    search::Searcher searcher(index);
    const auto hits = searcher.Search(QStringLiteral("последнеередкоеслово"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].id, kHuge);
    EXPECT_FALSE(hits[0].snippet.isEmpty());
}

// A damaged index is reported, never taken for "nothing found".
TEST(Search, DamagedIndexIsAFailure) {
    fixtures::TempDir folder;
    const std::filesystem::path damaged = folder.File("index");
    std::filesystem::copy(IndexedLibrary::Get().index, damaged,
                          std::filesystem::copy_options::recursive);
    std::filesystem::resize_file(damaged / "shard-0" / "postlist.glass", 0);
    search::Searcher searcher(QString::fromStdString(damaged.string()));
    try {
        searcher.Search(QStringLiteral("расценки"));
        ADD_FAILURE() << "no SearchError";
    } catch (const search::SearchError& error) {
        EXPECT_TRUE(error.Damaged()) << error.what(); // building it anew helps
    }
}

TEST(Search, NoIndexYetFindsNothing) {
    fixtures::TempDir folder;
    search::Searcher searcher(QString::fromStdString(folder.File("none")));
    EXPECT_TRUE(searcher.Search(QStringLiteral("расценки")).empty());
    EXPECT_EQ(searcher.DocumentCount(), 0);
    EXPECT_FALSE(searcher.Complete());
}

} // namespace
