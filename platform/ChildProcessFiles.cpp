#include "ChildProcessFiles.h"

#include <QProcess>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/close_range.h>
#include <sys/syscall.h>
#endif
#endif

namespace orvelle::platform {

void KeepOpenFilesFromChild(QProcess& process) {
#ifdef Q_OS_WIN
    (void)process;
#else
    // Runs in the child between fork and exec: only calls that are safe there. Every descriptor
    // above the standard three is marked close-on-exec rather than closed, so QProcess's own
    // pipe (which relies on close-on-exec to learn that the program started) works as before.
    process.setChildProcessModifier([] {
#if defined(__linux__) && defined(SYS_close_range) && defined(CLOSE_RANGE_CLOEXEC)
        if (syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) == 0) {
            return;
        }
#endif
        const long limit = sysconf(_SC_OPEN_MAX);
        for (long fd = 3; fd < (limit > 0 ? limit : 1024); ++fd) {
            const int flags = fcntl(static_cast<int>(fd), F_GETFD);
            if (flags >= 0) {
                fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
            }
        }
    });
#endif
}

} // namespace orvelle::platform
