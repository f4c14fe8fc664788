// The connection and the transaction against the embedded server: dialects, attaching by a
// query's Open, reconnecting, closing with an open query, and files that are no database.

#include "RealServer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orvelle::dbtest {
namespace {

using fixtures::TinyVisibleChildren;

TEST(RealConnection, AttachesDialect3DatabaseAndRunsTheChildrenQuery) {
    Connection c(SharedDatabases::Tiny());
    c.database.Open();
    EXPECT_TRUE(c.database.Connected());
    EXPECT_EQ(c.database.SQLDialect(), 3);
    EXPECT_EQ(c.Children(0), TinyVisibleChildren(0));
    EXPECT_EQ(c.Children(2), TinyVisibleChildren(2));
}

TEST(RealConnection, Dialect1DatabaseLowersTheDialectForLaterDatabasesToo) {
    Connection c(SharedDatabases::TinyDialect1());
    c.database.Open();
    EXPECT_EQ(c.database.SQLDialect(), 1);
    EXPECT_EQ(c.Children(2), TinyVisibleChildren(2));
    EXPECT_EQ(c.Content(101), fixtures::TinyContents().at(101));

    c.database.Close();
    c.database.SetDatabaseName(SharedDatabases::Tiny());
    c.database.Open();
    EXPECT_EQ(c.database.SQLDialect(), 1);
    EXPECT_EQ(c.Children(0), TinyVisibleChildren(0));
    EXPECT_EQ(c.Content(122), fixtures::TinyContents().at(122));
}

TEST(RealConnection, QueryOpenAttachesAndStartsTheTransactionByItself) {
    Connection c(SharedDatabases::Tiny());
    ASSERT_FALSE(c.database.Connected());
    ASSERT_FALSE(c.transaction.Active());
    c.OpenChildren(0);
    EXPECT_TRUE(c.database.Connected());
    EXPECT_TRUE(c.transaction.Active());
    EXPECT_TRUE(c.query.Active());
    EXPECT_EQ(c.ReadIds(), TinyVisibleChildren(0));
}

TEST(RealConnection, ReconnectsToAnotherFileWithTheSameParams) {
    Connection c(SharedDatabases::Tiny());
    EXPECT_EQ(c.Children(0), TinyVisibleChildren(0));
    c.database.Close();
    EXPECT_FALSE(c.database.Connected());
    EXPECT_FALSE(c.transaction.Active());

    c.database.SetDatabaseName(SharedDatabases::Wide());
    c.OpenChildren(0);
    EXPECT_TRUE(c.database.Connected());
    EXPECT_TRUE(c.transaction.Active());
    EXPECT_EQ(c.query.FieldByName("name").AsString(), "Entry 1");
    EXPECT_EQ(c.database.Params().Count(), 2);
}

TEST(RealConnection, ClosingWithAnOpenQueryClosesItCommitsAndDetaches) {
    Connection c(SharedDatabases::Wide());
    c.OpenChildren(0);
    c.query.Next();
    ASSERT_TRUE(c.query.Active());
    c.database.Close();
    EXPECT_FALSE(c.query.Active());
    EXPECT_FALSE(c.transaction.Active());
    EXPECT_FALSE(c.database.Connected());
    // The same objects work again afterwards.
    EXPECT_EQ(c.Children(0).size(), static_cast<std::size_t>(SharedDatabases::kWideRows));
}

TEST(RealConnection, CredentialLinesAddedTwiceAttachLikeTwo) {
    Connection c(SharedDatabases::Tiny());
    c.database.Params().Add(fixtures::kUserLine);
    c.database.Params().Add(fixtures::kPasswordLine);
    ASSERT_EQ(c.database.Params().Count(), 4);
    c.database.Open();
    EXPECT_TRUE(c.database.Connected());
    EXPECT_EQ(c.Children(0), TinyVisibleChildren(0));
}

TEST(RealConnection, FilesThatAreNoDatabaseGiveTheServerMessageAndNoHarm) {
    const fixtures::TempDir dir;
    const std::string real = fixtures::ReadFile(SharedDatabases::Tiny());
    ASSERT_GT(real.size(), 32u * 1024);

    struct Bad {
        std::string name;
        std::string path;
    };
    std::vector<Bad> bad;
    auto file = [&](const std::string& name, const std::string& bytes) {
        const std::string path = dir.File(name);
        fixtures::WriteFile(path, bytes);
        bad.push_back({name, path});
    };
    file("empty.kvd", "");
    file("text.kvd", "This is not a database.\r\n\xcd\xe5 \xe1\xe0\xe7\xe0\r\n");
    file("random.kvd", fixtures::BigBlobBytes(std::size_t{64} * 1024));
    file("truncated-3k.kvd", real.substr(0, std::size_t{3} * 1024));
    file("truncated-24k.kvd", real.substr(0, std::size_t{24} * 1024));
    std::filesystem::create_directory(dir.Path() / "folder.kvd");
    bad.push_back({"folder", dir.File("folder.kvd")});
    bad.push_back({"missing", dir.File("no-such-folder/missing.kvd")});

    Connection c;
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        const bool isFile = std::filesystem::is_regular_file(b.path);
        const std::string before = isFile ? fixtures::ReadFile(b.path) : std::string();
        c.database.SetDatabaseName(b.path);
        try {
            c.database.Open();
            ADD_FAILURE() << "attached to " << b.path;
            c.database.Close();
        } catch (const db::EIBInterBaseError& e) {
            EXPECT_STREQ(e.ClassName(), "EIBInterBaseError");
            EXPECT_FALSE(e.Message().empty());
            EXPECT_NE(e.IBErrorCode(), 0);
        }
        EXPECT_FALSE(c.database.Connected());
        EXPECT_EQ(c.database.DatabaseName(), b.path);
        if (isFile) {
            EXPECT_EQ(fixtures::ReadFile(b.path), before) << "a refused attach changed the file";
        }
        // The query's Open attaches the same way and is left closed.
        EXPECT_THROW(c.OpenChildren(0), db::EIBInterBaseError);
        EXPECT_FALSE(c.query.Active());
        EXPECT_FALSE(c.transaction.Active());
    }

    c.database.SetDatabaseName(SharedDatabases::Tiny());
    EXPECT_EQ(c.Children(0), TinyVisibleChildren(0));
}

TEST(RealConnection, MissingFileMessageNamesTheFile) {
    const fixtures::TempDir dir;
    const std::string path = dir.File("gone.kvd");
    Connection c(path);
    try {
        c.database.Open();
        FAIL() << "attached to a missing file";
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
    }
}

TEST(RealConnection, FileNamesAreSaidToBeUtf8WhereTheyAre) {
    Connection c(SharedDatabases::Tiny());
    const std::string block = c.database.BuildParameterBlock();
#ifdef _WIN32
    EXPECT_EQ(block.find(static_cast<char>(isc_dpb_utf8_filename)), std::string::npos);
#else
    // Firebird 3: the flag comes last, with no value.
    ASSERT_GE(block.size(), 2u);
    EXPECT_EQ(block.substr(block.size() - 2), std::string({char(isc_dpb_utf8_filename), '\0'}));
#endif
    c.database.Open();
    EXPECT_TRUE(c.database.Connected());
}

} // namespace
} // namespace orvelle::dbtest
