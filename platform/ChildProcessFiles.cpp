#include "ChildProcessFiles.h"

#include <QProcess>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif
#endif

namespace orvelle::platform {

#ifdef _WIN32

void InheritStandardFilesOnly(QProcess&) {}

#else

void InheritStandardFilesOnly(QProcess& process) {
    // Runs in the child between fork and exec: system calls only. Marked close-on-exec rather
    // than closed, so QProcess's own pipe still tells the parent whether exec succeeded.
    process.setChildProcessModifier([] {
#ifdef SYS_close_range
        if (syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) == 0) {
            return;
        }
#endif
        rlimit files{};
        const int last = getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 65536
                             ? static_cast<int>(files.rlim_cur)
                             : 65536;
        for (int fd = 3; fd < last; ++fd) {
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    });
}

#endif

} // namespace orvelle::platform
