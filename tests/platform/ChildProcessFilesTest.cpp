// A file the program holds open (as the database engine holds its copies, without
// close-on-exec) does not reach a child started with KeepOpenFilesFromChild.
#include "platform/ChildProcessFiles.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(ChildProcessFiles, TheChildHoldsNoneOfTheProgramsFiles) {
    const int held = open("/dev/null", O_RDONLY); // inheritable, as the engine opens its files
    ASSERT_GE(held, 3);
    for (const bool kept : {false, true}) {
        QProcess child;
        if (kept) {
            orvelle::platform::KeepOpenFilesFromChild(child);
        }
        // Exits 0 when the descriptor reached the shell.
        child.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("[ -e /proc/self/fd/%1 ]").arg(held)});
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitCode(), kept ? 1 : 0) << (kept ? "kept from the child" : "inherited");
    }
    close(held);
}

} // namespace
