// Opening a library through the store's unit: the file is only read, its private snapshot
// is reused while the library is unchanged and made again when it changes.
#include "store/Library.h"
#include "db/Errors.h"
#include "fixtures/Databases.h"
#include "fixtures/TempDir.h"
#include "store/LibrarySnapshot.h"
#include "store/RegisterQueries.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32 // snapshots are made on POSIX systems only
#include <sys/stat.h>

namespace {

using namespace orvelle;

class LibraryFile : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CACHE_HOME", cache_.Path().c_str(), 1); }
    fixtures::TempDir folder_;
    fixtures::TempDir cache_;
};

struct stat StatOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info;
}

TEST_F(LibraryFile, SessionsReadTheFileAndReuseTheirSnapshot) {
    const std::string file = folder_.File("library.kvd");
    fixtures::BuildTinyRegister(file);
    const std::string before = fixtures::ReadFile(file);

    std::string snapshot;
    struct stat first {};
    {
        store::Library library;
        library.Open(file);
        EXPECT_EQ(store::ReadDocumentContent(library.Query(), 101),
                  fixtures::TinyContents().at(101));
        store::Library second; // another connection of this process, with a copy of its own
        second.Open(file);
        EXPECT_EQ(store::ReadDocumentContent(second.Query(), 122),
                  fixtures::TinyContents().at(122));
        std::size_t copies = 0;
        for (const auto& entry : std::filesystem::directory_iterator(store::SnapshotFolder())) {
            if (entry.path().extension() == ".kvd") {
                snapshot = entry.path().string();
                ++copies;
            }
        }
        EXPECT_EQ(copies, 2u);
        first = StatOf(snapshot);
    }
    EXPECT_TRUE(fixtures::ReadFile(file) == before) << "the library was written";

    { // unchanged: the same copy, not made again
        store::Library library;
        library.Open(file);
        EXPECT_EQ(library.Database().DatabaseName(), file);
        const struct stat again = StatOf(snapshot);
        EXPECT_EQ(again.st_ino, first.st_ino);
        EXPECT_EQ(again.st_mtim.tv_nsec, first.st_mtim.tv_nsec);
    }

    // The library is replaced by a new version: the next session reads the new one.
    std::filesystem::remove(file);
    fixtures::BuildBigBlobDatabase(file, 7, "new version");
    {
        store::Library library;
        library.Open(file);
        EXPECT_EQ(store::ReadDocumentContent(library.Query(), 7), "new version");
    }

    // The copy of a library that is gone goes away when another is copied or opened again.
    const std::string other = folder_.File("other.kvd");
    fixtures::BuildTinyRegister(other);
    store::Library().Open(other);
    std::filesystem::remove(other);
    std::filesystem::remove(file);
    fixtures::BuildBigBlobDatabase(file, 8, "third version");
    store::Library().Open(file);
    std::size_t copies = 0;
    for (const auto& entry : std::filesystem::directory_iterator(store::SnapshotFolder())) {
        copies += entry.path().extension() == ".kvd";
    }
    EXPECT_EQ(copies, 1u);
}

TEST_F(LibraryFile, CacheThatCannotHoldTheCopyIsNamed) {
    const std::string file = folder_.File("library.kvd");
    fixtures::BuildTinyRegister(file);
    const std::string notAFolder = cache_.File("plain-file");
    fixtures::WriteFile(notAFolder, "x"); // nothing can be made below it, not even by root
    setenv("XDG_CACHE_HOME", notAFolder.c_str(), 1);
    store::Library library;
    try {
        library.Open(file);
        FAIL() << "opened without its copy";
    } catch (const db::EIBClientError& error) {
        EXPECT_NE(error.Message().find("Cannot make the private copy of the library in " +
                                       notAFolder + "/orvelle/libraries"),
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
        EXPECT_EQ(store::TakeSnapshot(name), nullptr) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(store::SnapshotFolder()));
}

} // namespace
#endif
