#include "FileCopy.h"

#ifndef _WIN32

#include <algorithm>
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

// Small enough that a cancel is heard within a fraction of a second on a slow disk.
constexpr std::uint64_t kPiece = std::uint64_t(8) << 20;

bool Report(const CopyProgress& progress, std::uint64_t copied) {
    return !progress || progress(copied);
}

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

enum class Outcome { Done, Stopped, Unsupported };

// The kernel-side copy; Unsupported when this pair of files cannot use it and nothing was
// copied.
Outcome KernelCopy(int from, int to, std::uint64_t size, const CopyProgress& progress) {
#ifdef __linux__
    loff_t in = 0;
    loff_t out = 0;
    std::uint64_t left = size;
    while (left > 0) {
        const auto chunk = static_cast<std::size_t>(std::min(left, kPiece));
        const ssize_t copied = copy_file_range(from, &in, to, &out, chunk, 0);
        if (copied < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (left == size && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                                 errno == EOPNOTSUPP || errno == EBADF)) {
                return Outcome::Unsupported;
            }
            Fail("copy_file_range");
        }
        if (copied == 0) {
            errno = EIO;
            Fail("the library became shorter while it was copied");
        }
        left -= static_cast<std::uint64_t>(copied);
        if (!Report(progress, size - left)) {
            return Outcome::Stopped;
        }
    }
    return Outcome::Done;
#else
    (void)from;
    (void)to;
    (void)size;
    (void)progress;
    return Outcome::Unsupported;
#endif
}

bool BufferCopy(int from, int to, std::uint64_t size, const CopyProgress& progress) {
    std::vector<char> buffer(std::size_t(1) << 20);
    std::uint64_t done = 0;
    std::uint64_t nextReport = kPiece;
    while (done < size) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done));
        const ssize_t got = pread(from, buffer.data(), want, static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
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
                if (errno == EINTR) {
                    continue;
                }
                Fail("write");
            }
            written += static_cast<std::size_t>(put);
        }
        done += static_cast<std::uint64_t>(got);
        if (done >= nextReport && done < size) {
            nextReport = done + kPiece;
            if (!Report(progress, done)) {
                return false;
            }
        }
    }
    return Report(progress, size);
}

} // namespace

bool CopyFileContents(int from, int to, std::uint64_t size, const CopyProgress& progress) {
    if (size == 0 || Reflink(from, to)) {
        return Report(progress, size);
    }
    switch (KernelCopy(from, to, size, progress)) {
    case Outcome::Done:
        return true;
    case Outcome::Stopped:
        return false;
    case Outcome::Unsupported:
        break;
    }
    return BufferCopy(from, to, size, progress);
}

} // namespace orvelle::store

#endif
