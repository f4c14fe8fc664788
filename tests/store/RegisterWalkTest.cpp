// The register as the tree loader sees it: visibility, order, folder flags, NULLs,
// broken registers, cycles and very deep chains, against real databases.
#include "store/RegisterWalk.h"
#include "db/Database.h"
#include "db/Errors.h"
#include "db/Query.h"
#include "db/Transaction.h"
#include "fixtures/Databases.h"
#include "fixtures/TempDir.h"
#include "kvdbuild/Register.h"
#include "store/RegisterQueries.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace orvelle;
using kvdbuild::RegisterRow;

// A new database file name in this program's temporary folder.
std::filesystem::path NewDatabasePath() {
    static fixtures::TempDir folder;
    static int counter = 0;
    return folder.Path() / ("register-" + std::to_string(counter++) + ".kvd");
}

// Keeps what the walk adds, in the order it adds it.
class RecordingSink final : public store::RegisterSink {
public:
    struct Added {
        int parentIndex; // -1 for the top level
        store::TUzel entry;
        int index; // its own place in `added`; its address is the walk's item
    };
    Item AddItem(Item parent, std::unique_ptr<store::TUzel> entry) override {
        const int parentIndex = parent ? static_cast<const Added*>(parent)->index : -1;
        added.push_back({parentIndex, *entry, static_cast<int>(added.size())});
        return &added.back();
    }
    std::vector<std::int32_t> Ids() const {
        std::vector<std::int32_t> ids;
        for (const Added& a : added) {
            ids.push_back(a.entry.id);
        }
        return ids;
    }
    std::deque<Added> added; // a deque: the addresses of the items handed out stay put
};

class Library {
public:
    explicit Library(const std::string& path) {
        database.SetDefaultTransaction(&transaction);
        database.SetDatabaseName(path);
        database.Params().Add("user_name=SYSDBA");
        database.Params().Add("password=cobaltine");
    }
    db::Database database;
    db::Transaction transaction{&database};
    db::Query query{"IBQuery1", &database, &transaction};
};

RegisterRow Row(int parent, int id, int childcount, const char* name, int order, int folder = 0,
                std::optional<int> needshow = 1) {
    RegisterRow row;
    row.idparent = parent;
    row.id = id;
    row.childcount = childcount;
    row.name = name;
    row.orderview = order;
    row.idcontents = id * 10;
    row.ispapka = folder;
    row.needshow = needshow;
    return row;
}

std::string Build(const std::vector<RegisterRow>& rows, bool withIdContents = true) {
    std::string path = NewDatabasePath().string();
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, withIdContents);
    kvdbuild::AddRegisterRows(builder, rows);
    builder.Close();
    return path;
}

// The loader as a plain recursion, to hold the walk against.
void ReferenceWalk(db::Query& query, std::int32_t parentId, store::RegisterSink::Item parent,
                   store::RegisterSink& sink) {
    std::vector<std::pair<store::RegisterSink::Item, store::TUzel>> level;
    store::OpenChildrenQuery(query, parentId);
    while (!query.Eof()) {
        auto entry = store::ReadRegisterEntry(query);
        store::TUzel copy = *entry;
        level.emplace_back(sink.AddItem(parent, std::move(entry)), copy);
        query.Next();
    }
    query.Close();
    for (auto& [item, entry] : level) {
        if (entry.childcount > 0) {
            ReferenceWalk(query, entry.id, item, sink);
        }
    }
}

TEST(RegisterWalk, VisibilityOrderAndFolderFlags) {
    const std::string path = Build({
        Row(0, 1, 2, "Folder B", 20, 1),
        Row(0, 2, 1, "Folder A", 10, 257),      // low byte 1: a folder
        Row(0, 3, 1, "Hidden folder", 5, 1, 0), // hidden, and so is its child
        Row(0, 4, 0, "Null-hidden", 1, 0, std::nullopt),
        Row(3, 5, 0, "Below hidden", 1),
        Row(1, 6, 0, "Doc 2", 2, 2),
        Row(1, 7, 0, "Doc 256", 1, 256),
        Row(2, 8, 0, "Doc 0", 1, 0),
    });
    Library library(path);
    RecordingSink sink;
    store::WalkRegister(library.query, 0, nullptr, sink);

    EXPECT_EQ(sink.Ids(), (std::vector<std::int32_t>{2, 1, 8, 7, 6}));
    ASSERT_EQ(sink.added.size(), 5u);
    EXPECT_TRUE(sink.added[0].entry.IsFolder());
    EXPECT_EQ(sink.added[0].entry.ISPAPKA, 1);
    EXPECT_TRUE(sink.added[1].entry.IsFolder());
    EXPECT_FALSE(sink.added[3].entry.IsFolder()); // 256 -> low byte 0
    EXPECT_FALSE(sink.added[4].entry.IsFolder()); // 2
    EXPECT_EQ(sink.added[2].parentIndex, 0);      // Doc 0 under Folder A
    EXPECT_EQ(sink.added[3].parentIndex, 1);      // under Folder B
    EXPECT_EQ(sink.added[0].entry.idCONTENTS, 20);
    EXPECT_EQ(sink.added[0].entry.orderview, 10);
}

TEST(RegisterWalk, NullsAndLyingChildCounts) {
    RegisterRow nulls;
    nulls.idparent = 0;
    nulls.id = 1;
    nulls.needshow = 1;
    nulls.orderview = 1; // name, childcount, idcontents, ispapka all NULL
    const std::string path = Build({
        nulls,
        Row(1, 2, 0, "Unreachable through a zero count", 1),
        Row(0, 3, 5, "Claims children it has not", 2, 1),
        Row(0, 4, -3, "Negative count", 3, 1),
        Row(4, 5, 0, "Below negative", 1),
    });
    Library library(path);
    RecordingSink sink;
    store::WalkRegister(library.query, 0, nullptr, sink);

    EXPECT_EQ(sink.Ids(), (std::vector<std::int32_t>{1, 3, 4}));
    const store::TUzel& first = sink.added[0].entry;
    EXPECT_EQ(first.name, "");
    EXPECT_EQ(first.childcount, 0);
    EXPECT_EQ(first.idCONTENTS, 0);
    EXPECT_EQ(first.ISPAPKA, 0);
}

TEST(RegisterWalk, MatchesThePlainRecursionOnABranchyRegister) {
    std::vector<RegisterRow> rows;
    int id = 1;
    std::function<void(int, int)> grow = [&](int parent, int depth) {
        for (int i = 0; i < 3; ++i) {
            const int me = id++;
            const bool folder = depth < 3;
            // equal ORDERVIEW among the last two siblings: the server's order stands
            rows.push_back(Row(parent, me, folder ? 3 : 0, "x", i == 0 ? 1 : 2, folder ? 1 : 0));
            if (folder) {
                grow(me, depth + 1);
            }
        }
    };
    grow(0, 0);
    const std::string path = Build(rows);

    Library library(path);
    RecordingSink walked, reference;
    store::WalkRegister(library.query, 0, nullptr, walked);
    ReferenceWalk(library.query, 0, nullptr, reference);
    ASSERT_EQ(walked.added.size(), rows.size());
    ASSERT_EQ(walked.added.size(), reference.added.size());
    for (std::size_t i = 0; i < walked.added.size(); ++i) {
        EXPECT_EQ(walked.added[i].entry.id, reference.added[i].entry.id) << i;
        EXPECT_EQ(walked.added[i].parentIndex, reference.added[i].parentIndex) << i;
    }
}

TEST(RegisterWalk, CycleIsShownButNotDescendedAgain) {
    const std::string path = Build({
        Row(0, 1, 1, "A", 1, 1),
        Row(1, 2, 1, "B", 1, 1),
        Row(2, 1, 1, "A again (its own ancestor)", 1, 1),
        Row(2, 3, 0, "C", 2),
    });
    Library library(path);
    RecordingSink sink;
    store::WalkRegister(library.query, 0, nullptr, sink);
    EXPECT_EQ(sink.Ids(), (std::vector<std::int32_t>{1, 2, 1, 3}));
}

TEST(RegisterWalk, TenThousandLevelsDeep) {
    constexpr int depth = 10000;
    std::vector<RegisterRow> rows;
    rows.reserve(depth);
    for (int i = 1; i <= depth; ++i) {
        rows.push_back(Row(i - 1, i, i < depth ? 1 : 0, "level", 1, 1));
    }
    const std::string path = Build(rows);
    Library library(path);
    RecordingSink sink;
    store::WalkRegister(library.query, 0, nullptr, sink);
    ASSERT_EQ(sink.added.size(), static_cast<std::size_t>(depth));
    for (int i = 0; i < depth; ++i) {
        EXPECT_EQ(sink.added[i].entry.id, i + 1);
        EXPECT_EQ(sink.added[i].parentIndex, i - 1);
    }
}

TEST(RegisterWalk, MissingColumnStopsWithThePrefixedMessageKeepingWhatWasAdded) {
    RegisterRow first = Row(0, 1, 0, "first", 1);
    first.idcontents.reset();
    const std::string path = Build({first}, /*withIdContents=*/false);
    Library library(path);
    RecordingSink sink;
    try {
        store::WalkRegister(library.query, 0, nullptr, sink);
        FAIL() << "expected a missing column";
    } catch (const db::EDatabaseError& error) {
        EXPECT_STREQ(error.what(), "IBQuery1: Field 'idCONTENTS' not found");
    }
    EXPECT_TRUE(sink.added.empty()); // the entry being built is discarded
    EXPECT_TRUE(library.query.Active());
}

TEST(RegisterWalk, FailureInADeepLevelKeepsTheUpperLevels) {
    const std::string path =
        Build({Row(0, 1, 1, "top", 1, 1), Row(0, 2, 0, "sibling", 2), Row(1, 3, 0, "child", 1)});
    Library library(path);
    RecordingSink sink;
    // A sink that fails as soon as the walk descends below the top level.
    class BreakingSink final : public store::RegisterSink {
    public:
        explicit BreakingSink(RecordingSink& inner) : inner_(inner) {}
        Item AddItem(Item parent, std::unique_ptr<store::TUzel> entry) override {
            if (parent) {
                throw db::EDatabaseError("broken below the top");
            }
            return inner_.AddItem(parent, std::move(entry));
        }

    private:
        RecordingSink& inner_;
    } breaking(sink);
    EXPECT_THROW(store::WalkRegister(library.query, 0, nullptr, breaking), db::EDatabaseError);
    EXPECT_EQ(sink.Ids(), (std::vector<std::int32_t>{1, 2}));
}

TEST(DocumentContent, BytesUnchangedEmptyWhenMissingAndChildrenRowsDiscarded) {
    const std::string bytes = fixtures::BigBlobBytes(300000);
    const std::string withContent = NewDatabasePath().string();
    {
        auto builder = kvdbuild::KvdBuilder::Create(withContent);
        kvdbuild::CreateRegisterTables(builder);
        kvdbuild::AddRegisterRows(
            builder, {Row(0, 1, 0, "a", 1), Row(0, 2, 0, "b", 2), Row(0, 3, 0, "c", 3)});
        kvdbuild::AddContent(builder, 10, bytes);
        kvdbuild::AddContent(builder, 20, "");
        builder.Close();
    }
    Library library(withContent);
    EXPECT_EQ(store::ReadDocumentContent(library.query, 10), bytes);
    EXPECT_EQ(store::ReadDocumentContent(library.query, 20), "");
    EXPECT_EQ(store::ReadDocumentContent(library.query, 999), "");
    EXPECT_FALSE(library.query.Active());

    store::OpenChildrenQuery(library.query, 0);
    EXPECT_EQ(store::ReadRegisterEntry(library.query)->id, 1);
    EXPECT_EQ(store::ReadDocumentContent(library.query, 10).size(), bytes.size());
    EXPECT_FALSE(library.query.Active()); // the unread children are gone
}

} // namespace
