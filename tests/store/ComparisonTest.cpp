// Two editions compared: what each entry became, and that documents are read and their text
// extracted only where that is needed.
#include "fixtures/Editions.h"
#include "fixtures/TempDir.h"
#include "store/Library.h"
#include "store/LibraryComparison.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace orvelle;

// A crude stand-in for the text extraction above the store: source line breaks are blanks,
// every tag ends a line.
std::string CrudeText(const std::string& html) {
    std::string text;
    bool inTag = false;
    for (const char c : html) {
        if (c == '<') {
            inTag = true;
            text += '\n';
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            text += c == '\n' ? ' ' : c;
        }
    }
    return text;
}

std::map<std::int32_t, unsigned> ChangesById(const store::LibraryComparison& comparison) {
    std::map<std::int32_t, unsigned> changes;
    for (const store::EntryDifference& d : comparison.differences) {
        const auto& entry =
            d.newIndex >= 0 ? comparison.newEntries[d.newIndex] : comparison.oldEntries[d.oldIndex];
        changes[entry.id] = d.changes;
    }
    return changes;
}

TEST(Comparison, DocumentsAreReadOnlyWhereNeeded) {
    fixtures::TempDir folder;
    fixtures::BuildEditions(folder.File("old.kvd"), folder.File("new.kvd"));
    store::Library before;
    store::Library after;
    before.Open(folder.File("old.kvd"));
    after.Open(folder.File("new.kvd"));

    int extracted = 0;
    store::ComparisonHooks hooks;
    hooks.readerText = [&extracted](const std::string& html) {
        ++extracted;
        return CrudeText(html);
    };
    const std::map<std::int32_t, unsigned> expected = {
        {12, store::kRenamed}, {13, store::kChanged},
        {17, store::kAdded},   {15, store::kRenamed | store::kMoved | store::kChanged},
        {3, store::kMoved},    {31, store::kChanged},
        {6, store::kAdded},    {61, store::kAdded},
        {16, store::kRemoved}, {32, store::kRemoved},
        {4, store::kRemoved},  {41, store::kRemoved},
        {5, store::kRemoved},
    };
    const store::LibraryComparison read = store::CompareLibraries(before, after, hooks);
    EXPECT_EQ(ChangesById(read), expected);
    EXPECT_EQ(extracted, 2 * 4); // only the pairs whose stored bytes differ: 13, 14, 15, 31

    // Where both editions know every fingerprint nothing is read or extracted; the known
    // fingerprints decide (here: only entry 11 reads otherwise).
    extracted = 0;
    hooks.oldFingerprint = [](std::int32_t id) { return std::optional<std::uint64_t>(id); };
    hooks.newFingerprint = [](std::int32_t id) {
        return std::optional<std::uint64_t>(id == 11 ? 0 : id);
    };
    const std::map<std::int32_t, unsigned> known =
        ChangesById(store::CompareLibraries(before, after, hooks));
    EXPECT_EQ(extracted, 0);
    EXPECT_EQ(known.at(11), store::kChanged);
    EXPECT_EQ(known.at(15), store::kRenamed | store::kMoved);
    EXPECT_EQ(known.count(13), 0u);
}

} // namespace
