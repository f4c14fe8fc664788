// Windows: the client library is looked for as gds32.dll, then fbclient.dll, and one built for
// the other bitness is named plainly. The stand-in built for the other bitness plays the
// estimating application's 32-bit gds32.dll.
#ifdef _WIN32

#include "StandIn.h"

#include "db/Errors.h"
#include "fixtures/TempDir.h"

#include <windows.h>

#include <filesystem>

using namespace orvelle::db;
namespace fs = std::filesystem;

namespace {

class ClientBitness : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(ORVELLE_FAKECLIENT_OTHER_BITNESS_PATH).empty()) {
            GTEST_SKIP() << "configure with ORVELLE_FAKECLIENT_OTHER_BITNESS (the stand-in "
                            "built for the other bitness)";
        }
        char previous[MAX_PATH + 1] = {};
        GetCurrentDirectoryA(MAX_PATH, previous);
        previous_ = previous;
        fs::copy_file(ORVELLE_FAKECLIENT_OTHER_BITNESS_PATH, folder_.Path() / "gds32.dll");
        ASSERT_TRUE(SetCurrentDirectoryA(folder_.Path().string().c_str()));
        ClientLibrary::SetFileNames(ClientLibrary::DefaultFileNames());
    }
    void TearDown() override {
        ClientLibrary::SetFileName(ORVELLE_FAKECLIENT_PATH); // unloads what the case loaded
        if (!previous_.empty()) {
            SetCurrentDirectoryA(previous_.c_str());
        }
    }

    orvelle::fixtures::TempDir folder_;
    std::string previous_;
};

TEST_F(ClientBitness, OtherBitnessGds32IsNamedWithWhatIsNeededAndWhereTheSearchLooked) {
    const std::string found = (folder_.Path() / "gds32.dll").string();
    const std::string bits = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    const std::string other = sizeof(void*) == 8 ? "32-bit" : "64-bit";
    for (int attempt = 0; attempt < 2; ++attempt) { // not remembered: the same again
        try {
            Database database;
            FAIL() << "a " << other << " gds32.dll was loaded";
        } catch (const EIBClientError& error) {
            const std::string& message = error.Message();
            EXPECT_NE(message.find(found + " is a " + other + " library"), std::string::npos)
                << message;
            EXPECT_NE(message.find("A " + bits + " Firebird client library is needed"),
                      std::string::npos)
                << message;
            const std::size_t looked = message.find("Looked for gds32.dll, fbclient.dll in: ");
            ASSERT_NE(looked, std::string::npos) << message;
            EXPECT_NE(message.find(folder_.Path().string(), looked), std::string::npos) << message;
        }
    }
}

TEST_F(ClientBitness, FbclientOfTheRightBitnessIsUsedBesideAnOtherBitnessGds32) {
    fs::copy_file(ORVELLE_FAKECLIENT_PATH, folder_.Path() / "fbclient.dll");
    EXPECT_NO_THROW(ClientLibrary::Load());
    EXPECT_NE(GetModuleHandleA((folder_.Path() / "fbclient.dll").string().c_str()), nullptr);
}

} // namespace

#endif
