// A termination signal belongs to the program: the client library, which would shut its engine
// down on one from a thread of its own (while the program may still be using it), is told no,
// and the program goes on reading until it decides to end.

#include "RealServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace orvelle::dbtest {
namespace {

volatile std::sig_atomic_t received = 0;

TEST(TerminationSignal, LeavesTheEngineToTheProgram) {
    // The program's own handler comes first, as the viewer's does; the client then adds its own.
    struct sigaction action {};
    action.sa_handler = [](int) { received = 1; };
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGTERM, &action, nullptr), 0);

    Connection before(SharedDatabases::Tiny());
    ASSERT_EQ(before.Children(0), fixtures::TinyVisibleChildren(0));
    before.database.Close();

    ASSERT_EQ(std::raise(SIGTERM), 0);
    std::this_thread::sleep_for(std::chrono::seconds(1)); // time for a shutdown to happen
    EXPECT_EQ(received, 1);

    Connection after(SharedDatabases::Tiny());
    EXPECT_EQ(after.Children(2), fixtures::TinyVisibleChildren(2));
}

} // namespace
} // namespace orvelle::dbtest
