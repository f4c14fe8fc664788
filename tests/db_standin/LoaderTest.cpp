#include "StandIn.h"

#include "db/Errors.h"

#include <filesystem>

using namespace orvelle::db;
namespace fs = std::filesystem;

namespace {

class ClientLibraryLoad : public ::testing::Test {
protected:
    void TearDown() override { ClientLibrary::SetFileName(ORVELLE_FAKECLIENT_PATH); }
};

TEST_F(ClientLibraryLoad, MissingLibraryNamesTheFileTriedAndIsRetriedOnTheNextCreation) {
    const fs::path folder = fs::temp_directory_path() / "orvelle-loader-test";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path copy = folder / "libstandin.so.2";
    ClientLibrary::SetFileName(copy.string());

    try {
        Database database;
        FAIL() << "a database was created without a client library";
    } catch (const EIBClientError& error) {
        EXPECT_EQ(error.Message(), "InterBase library " + copy.string() +
                                       " not found in the path. Please install InterBase to use "
                                       "this functionality");
    }
    EXPECT_THROW(Transaction transaction(nullptr), EIBClientError);

    // The same name, now present: the next creation loads it.
    fs::copy_file(ORVELLE_FAKECLIENT_PATH, copy);
    EXPECT_NO_THROW(Database database);

    // Another name unloads the copy, so that its folder can go (Windows keeps a loaded
    // library's file).
    ClientLibrary::SetFileName(ORVELLE_FAKECLIENT_PATH);
    std::error_code ec;
    fs::remove_all(folder, ec);
    EXPECT_FALSE(ec) << ec.message();
}

TEST_F(ClientLibraryLoad, MissingEntryPointRaisesTheSystemMessageNamingIt) {
    ClientLibrary::SetFileName(ORVELLE_FAKECLIENT_INCOMPLETE_PATH);
    try {
        ClientLibrary::Load();
        FAIL() << "a library without isc_dsql_set_cursor_name was accepted";
    } catch (const EOSError& error) {
        EXPECT_NE(error.Message().find("isc_dsql_set_cursor_name"), std::string::npos)
            << error.Message();
    }
    // Not remembered as loaded: the next attempt fails the same way.
    EXPECT_THROW(Database database, EOSError);

    ClientLibrary::SetFileName(ORVELLE_FAKECLIENT_PATH);
    const ClientApi& api = ClientLibrary::Load();
    EXPECT_NE(api.isc_dsql_set_cursor_name, nullptr);
    EXPECT_EQ(&api, &ClientLibrary::Load()); // loaded once
}

TEST(ClientLibraryName, DefaultIsThePlatformsClientLibrary) {
#ifdef _WIN32
    EXPECT_EQ(ClientLibrary::DefaultFileName(), "gds32.dll");
#else
    EXPECT_EQ(ClientLibrary::DefaultFileName(), "libfbclient.so.2");
#endif
}

} // namespace
