#include "FileCopy.h"

#ifndef _WIN32

#include <cerrno>
#include <system_error>
#include <vector>

#include <sys/ioctl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

namespace orvelle::store {

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

bool Reflink(int from, int to) {
#ifdef FICLONE
    return ioctl(to, FICLONE, from) == 0;
#else
    (void)from;
    (void)to;
    return false;
#endif
}

// The kernel-side copy; false when this pair of files cannot use it and nothing was copied.
bool KernelCopy(int from, int to, std::uint64_t size) {
#ifdef __linux__
    loff_t in = 0;
    loff_t out = 0;
    std::uint64_t left = size;
    while (left > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, 1u << 30));
        const ssize_t copied = copy_file_range(from, &in, to, &out, chunk, 0);
        if (copied < 0) {
            if (errno == EINTR)
                continue;
            if (left == size && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                                 errno == EOPNOTSUPP || errno == EBADF))
                return false;
            Fail("copy_file_range");
        }
        if (copied == 0) {
            errno = EIO;
            Fail("the library became shorter while it was copied");
        }
        left -= static_cast<std::uint64_t>(copied);
    }
    return true;
#else
    (void)from;
    (void)to;
    (void)size;
    return false;
#endif
}

void BufferCopy(int from, int to, std::uint64_t size) {
    std::vector<char> buffer(std::size_t(1) << 20);
    std::uint64_t done = 0;
    while (done < size) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done));
        const ssize_t got = pread(from, buffer.data(), want, static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            Fail("read");
        }
        if (got == 0) {
            errno = EIO;
            Fail("the library became shorter while it was copied");
        }
        std::size_t written = 0;
        while (written < static_cast<std::size_t>(got)) {
            const ssize_t put =
                pwrite(to, buffer.data() + written, static_cast<std::size_t>(got) - written,
                       static_cast<off_t>(done + written));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                Fail("write");
            }
            written += static_cast<std::size_t>(put);
        }
        done += static_cast<std::uint64_t>(got);
    }
}

} // namespace

void CopyFileContents(int from, int to, std::uint64_t size) {
    if (size == 0 || Reflink(from, to))
        return;
    if (!KernelCopy(from, to, size))
        BufferCopy(from, to, size);
}

} // namespace orvelle::store

#endif
