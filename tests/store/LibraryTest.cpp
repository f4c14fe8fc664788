// Opening a library through the store's unit: the file is only read, one private copy of each
// state serves every connection, a changed library is noticed, and the cache is kept tidy,
// bounded and private.
#include "store/Library.h"
#include "db/Errors.h"
#include "db/UserCache.h"
#include "fixtures/Databases.h"
#include "fixtures/TempDir.h"
#include "store/CacheLayout.h"
#include "store/LibraryHeader.h"
#include "store/RegisterQueries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32 // copies are made on POSIX systems only
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace orvelle;
namespace fs = std::filesystem;

class LibraryFile : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CACHE_HOME", cache_.Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

    // The files in the cache's libraries folder with this extension.
    static std::vector<fs::path> Cached(const std::string& extension) {
        std::vector<fs::path> found;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(store::LibrariesFolder(), error)) {
            if (entry.path().extension() == extension) {
                found.push_back(entry.path());
            }
        }
        return found;
    }
    std::string Library(const std::string& name, const std::string& content = "first") const {
        std::string file = folder_.File(name);
        fixtures::BuildBigBlobDatabase(file, 7, content);
        return file;
    }
    // The libraries the cache holds, by their records.
    static std::vector<std::string> Recorded() {
        std::vector<std::string> names;
        for (const fs::path& record : Cached(".library")) {
            std::ifstream in(record);
            std::getline(in, names.emplace_back());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string Canonical(const std::string& path) { return fs::canonical(path).string(); }
    static std::string Read(store::Library& library) {
        return store::ReadDocumentContent(library.Query(), 7);
    }
    void Limit(const std::string& settings) const {
        fs::create_directories(config_.Path() / "Orvelle");
        fixtures::WriteFile((config_.Path() / "Orvelle" / "Orvelle.ini").string(), settings);
    }

    fixtures::TempDir folder_;
    fixtures::TempDir cache_;
    fixtures::TempDir config_;
};

struct stat StatOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info;
}

TEST_F(LibraryFile, ConnectionsShareOneCopyOfEachStateAndNoticeChanges) {
    const std::string file = Library("library.kvd");
    const std::string before = fixtures::ReadFile(file);
    {
        store::Library window;
        window.Open(file);
        store::Library builder; // another connection of this process, on the same copy
        builder.Open(file);
        EXPECT_EQ(Read(window), "first");
        EXPECT_EQ(Read(builder), "first");
        ASSERT_EQ(Cached(".kvd").size(), 1u);
        EXPECT_EQ(window.Lease()->How(), store::LibraryLease::Route::Copy);
        EXPECT_EQ(window.Lease()->AttachName(), builder.Lease()->AttachName());
        EXPECT_FALSE(window.ChangedOnDisk());
    }
    EXPECT_TRUE(fixtures::ReadFile(file) == before) << "the library was written";
    const struct stat first = StatOf(Cached(".kvd").at(0));
    { // unchanged: the same copy, not made again
        store::Library library;
        library.Open(file);
        EXPECT_EQ(library.Database().DatabaseName(), file);
        EXPECT_EQ(StatOf(library.Lease()->AttachName()).st_ino, first.st_ino);
    }

    // Written in place, same size, modification time put back: noticed, and read anew.
    const std::string other = folder_.File("same-size.kvd");
    fixtures::BuildBigBlobDatabase(other, 7, "other");
    const std::string otherBytes = fixtures::ReadFile(other);
    ASSERT_EQ(otherBytes.size(), before.size());
    store::Library open;
    open.Open(file);
    fixtures::OverwriteKeepingTime(file, otherBytes);
    EXPECT_TRUE(open.ChangedOnDisk());
    EXPECT_EQ(Read(open), "first"); // what it attached, until it is opened again
    {
        store::Library fresh;
        fresh.Open(file);
        EXPECT_EQ(Read(fresh), "other");
        EXPECT_EQ(Cached(".kvd").size(), 2u); // the old state is still attached by `open`
    }
    open.Open(file);
    EXPECT_FALSE(open.ChangedOnDisk());
    EXPECT_EQ(Read(open), "other");

    // Replaced by a new file: the same; the copies nobody holds of older states are gone.
    fs::remove(file);
    fixtures::BuildBigBlobDatabase(file, 7, "third version");
    EXPECT_TRUE(open.ChangedOnDisk());
    open.Open(file);
    EXPECT_EQ(Read(open), "third version");
    EXPECT_EQ(Cached(".kvd").size(), 1u);
}

TEST_F(LibraryFile, LibraryMarkedReadOnlyIsReadInPlaceAndNeverWritten) {
    const std::string file = Library("read-only.kvd", "in place");
    {
        std::fstream header(file, std::ios::in | std::ios::out | std::ios::binary);
        header.seekg(store::kHeaderFlagsOffset);
        const char flags = static_cast<char>(header.get() | store::kHeaderReadOnlyFlag);
        header.seekp(store::kHeaderFlagsOffset);
        header.put(flags);
    }
    chmod(file.c_str(), 0444);
    const std::string before = fixtures::ReadFile(file);
    {
        store::Library first;
        first.Open(file);
        store::Library second;
        second.Open(file);
        EXPECT_EQ(first.Lease()->How(), store::LibraryLease::Route::InPlace);
        EXPECT_EQ(first.Lease()->AttachName(), file);
        EXPECT_EQ(Read(first), "in place");
        EXPECT_EQ(Read(second), "in place");
    }
    EXPECT_TRUE(fixtures::ReadFile(file) == before) << "attaching in place wrote the library";
    EXPECT_TRUE(Cached(".kvd").empty());
}

TEST_F(LibraryFile, CancelledPreparationLeavesNothingBehind) {
    const std::string file = Library("library.kvd");
    std::atomic<bool> cancel{false};
    store::PrepareOptions options;
    options.cancel = &cancel;
    options.progress = [&](std::uint64_t, std::uint64_t) { cancel = true; };
    EXPECT_THROW(store::PrepareLibrary(file, options), store::PreparationCancelled);
    EXPECT_TRUE(Cached(".kvd").empty());
    EXPECT_TRUE(Cached(".part").empty());
    store::Library library; // and the next open is not hindered by it
    library.Open(file);
    EXPECT_EQ(Read(library), "first");
}

// What the next open removes, whoever left it: a killed copy's part, copies of a library that
// is gone with its index, indexes of no library, copies made by earlier versions.
TEST_F(LibraryFile, LeftoversNobodyHoldsAreRemovedAtTheNextOpen) {
    const std::string gone = Library("gone.kvd");
    store::Library().Open(gone);
    const std::string goneIndex = store::IndexesFolder() + "/" + store::LibraryKey(gone);
    fs::create_directories(goneIndex);
    fixtures::WriteFile(goneIndex + "/postlist.glass", "index");
    fs::remove(gone);
    const std::string folder = store::LibrariesFolder();
    const std::string part = folder + "/0123456789abcdef-0123456789abcdef.part";
    const std::string oldSlot = folder + "/0123456789abcdef.0.kvd";
    const std::string orphanIndex = store::IndexesFolder() + "/" + std::string(40, 'a');
    fixtures::WriteFile(part, "half a copy");
    fixtures::WriteFile(oldSlot, "a copy of an earlier version");
    fs::create_directories(orphanIndex);
    fs::last_write_time(orphanIndex, fs::file_time_type::clock::now() - std::chrono::hours(2));

    const std::string file = Library("kept.kvd");
    store::Library library;
    library.Open(file);
    for (const std::string& path : {part, oldSlot, goneIndex, orphanIndex}) {
        EXPECT_FALSE(fs::exists(path)) << path;
    }
    ASSERT_EQ(Cached(".kvd").size(), 1u);
    EXPECT_EQ(Cached(".kvd")[0].string(), library.Lease()->AttachName());
    EXPECT_EQ(Cached(".library").size(), 1u);
}

TEST_F(LibraryFile, LimitEvictsTheLeastRecentlyUsedClosedLibrary) {
    Limit("[Zoom]\nFactor=1.5\n[Cache]\nMaxLibraries=2\n");
    const std::string a = Library("a.kvd"), b = Library("b.kvd"), c = Library("c.kvd");
    store::Library open;
    open.Open(a); // held all along: never evicted, however long ago it was opened
    store::Library().Open(b);
    const std::string bIndex = store::IndexesFolder() + "/" + store::LibraryKey(b);
    fs::create_directories(bIndex);
    store::Library().Open(c);
    EXPECT_EQ(Recorded(), (std::vector<std::string>{Canonical(a), Canonical(c)}));
    EXPECT_EQ(Cached(".kvd").size(), 2u);
    EXPECT_FALSE(fs::exists(bIndex));
    EXPECT_EQ(Read(open), "first");
    store::Library().Open(b); // b again: c is now the least recently used closed one
    EXPECT_EQ(Recorded(), (std::vector<std::string>{Canonical(a), Canonical(b)}));

    Limit("[Cache]\nMaxSizeGB=0.000001\n"); // about 1 KB: only what is open, and the new one
    store::Library().Open(c);
    EXPECT_EQ(Recorded(), (std::vector<std::string>{Canonical(a), Canonical(c)}));
    EXPECT_EQ(Cached(".kvd").size(), 2u);
}

TEST_F(LibraryFile, CacheIsForItsUserOnly) {
    // A cache left readable by others is tightened, with the library's index inside it; a lock
    // folder in it that belongs to another user is put aside, never used.
    const std::string file = Library("library.kvd");
    const std::string root = cache_.File("orvelle");
    const std::string index = root + "/search/" + store::LibraryKey(file);
    fs::create_directories(index);
    fixtures::WriteFile(index + "/termlist.glass", "text of documents");
    chmod(root.c_str(), 0755);
    chmod((root + "/search").c_str(), 0755);
    chmod((index + "/termlist.glass").c_str(), 0644);
    const std::string foreign = root + "/engine-lock";
    fs::create_directories(foreign);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    }
    db::MakePrivateFolder(foreign);
    EXPECT_EQ(StatOf(foreign).st_uid, geteuid());

    store::Library library;
    library.Open(file);
    for (const std::string& folder : {root, root + "/libraries", root + "/search", index}) {
        EXPECT_EQ(StatOf(folder).st_mode & 0777, 0700u) << folder;
    }
    for (const std::string& path :
         {library.Lease()->AttachName(),
          root + "/libraries/" + store::LibraryKey(file) + ".library", index + "/termlist.glass"}) {
        EXPECT_EQ(StatOf(path).st_mode & 0777, 0600u) << path;
    }
}

TEST_F(LibraryFile, CacheThatCannotHoldTheCopyIsNamed) {
    const std::string file = Library("library.kvd");
    const std::string notAFolder = cache_.File("plain-file");
    fixtures::WriteFile(notAFolder, "x"); // nothing can be made below it, not even by root
    setenv("XDG_CACHE_HOME", notAFolder.c_str(), 1);
    store::Library library;
    try {
        library.Open(file);
        FAIL() << "opened without its copy";
    } catch (const db::EIBClientError& error) {
        EXPECT_NE(error.Message().find("Cannot make the folder " + notAFolder + "/orvelle"),
                  std::string::npos)
            << error.Message();
    }
    EXPECT_FALSE(library.Database().Connected());
}

TEST_F(LibraryFile, NamesThatAreNoLocalLibraryGoUnchanged) {
    const std::string text = folder_.File("notes.kvd");
    fixtures::WriteFile(text, std::string(20000, 'x'));
    for (const std::string& name :
         {std::string("localhost:/srv/library.kvd"), std::string("server/3051:C:\\lib.kvd"),
          std::string("inet://server/library.kvd"), std::string("alias"),
          folder_.File("missing.kvd"), text}) {
        const auto lease = store::PrepareLibrary(name);
        EXPECT_EQ(lease->How(), store::LibraryLease::Route::Unchanged) << name;
        EXPECT_EQ(lease->AttachName(), name);
        EXPECT_TRUE(lease->Current());
    }
    EXPECT_TRUE(Cached(".kvd").empty());
}

TEST(CacheFolder, FollowsTheUsersFoldersAndNeverASharedOne) {
    const char* names[3] = {"XDG_CACHE_HOME", "HOME", "XDG_RUNTIME_DIR"};
    const auto set = [](const char* name, const char* value) {
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    };
    const auto with = [&](const char* cache, const char* home, const char* runtime) {
        std::optional<std::string> saved[3];
        for (int i = 0; i < 3; ++i) {
            if (const char* value = std::getenv(names[i])) {
                saved[i] = value;
            }
        }
        const char* values[3] = {cache, home, runtime};
        for (int i = 0; i < 3; ++i) {
            set(names[i], values[i]);
        }
        std::string folder;
        try {
            folder = db::UserCacheFolder();
        } catch (const db::EIBClientError& error) {
            folder = "error: " + error.Message();
        }
        for (int i = 0; i < 3; ++i) {
            set(names[i], saved[i] ? saved[i]->c_str() : nullptr);
        }
        return folder;
    };
    EXPECT_EQ(with("/c", "/h", "/r"), "/c/orvelle");
    EXPECT_EQ(with("relative", "/h", "/r"), "/h/.cache/orvelle");
    EXPECT_EQ(with(nullptr, nullptr, "/run/user/7"), "/run/user/7/orvelle-cache");
    EXPECT_EQ(with(nullptr, "/", nullptr).rfind("error: No folder for the program's cache", 0), 0u);
}

} // namespace
#endif
