// The text fingerprints an index keeps for the comparison of editions: the text a reader sees,
// offered only while the index is current.
#include "SearchLibrary.h"
#include "fixtures/TempDir.h"
#include "search/IndexBuilder.h"
#include "search/IndexLocation.h"
#include "search/IndexedFingerprints.h"
#include "search/ReaderText.h"
#include "store/Library.h"
#include "store/NormalizedText.h"
#include "store/RegisterQueries.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

namespace {

using namespace orvelle;
using namespace orvelle::searchtest;

TEST(IndexedFingerprints, TheTextAReaderSeesWhileTheIndexIsCurrent) {
    fixtures::TempDir folder;
    const std::string library = folder.File("library.kvd");
    const QString root = QString::fromStdString(folder.File("root"));
    BuildSearchLibrary(library);
    EXPECT_FALSE(search::IndexedFingerprints(root, library).Available()); // no index yet

    const search::IndexPlace place = search::ChooseIndexPlace(root, library);
    std::atomic<bool> cancel{false};
    ASSERT_TRUE(search::BuildIndex(library, place.folder, cancel, {}).complete);
    const search::IndexedFingerprints known(root, library);
    ASSERT_TRUE(known.Available());
    store::Library reader;
    reader.Open(library);
    for (const auto& [id, contentId] : {std::pair{kPhrase, 1016}, std::pair{kBroken, 1019}}) {
        EXPECT_EQ(known.Find(id), store::ReaderTextFingerprint(search::ReaderTextOf(
                                      store::ReadDocumentContent(reader.Query(), contentId))))
            << id;
    }
    EXPECT_FALSE(known.Find(kHiddenDocument)); // not in the tree, so not in the index

    // The same name now holds another state of the library: its index is not taken as it is.
    std::filesystem::remove(library);
    BuildSearchLibrary(library, false, true);
    EXPECT_FALSE(search::IndexedFingerprints(root, library).Available());
}

} // namespace
