#include "FileLock.h"

#include "db/Errors.h"

#include <utility>

#ifndef _WIN32
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace orvelle::store {

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

#ifdef _WIN32

FileLock FileLock::Take(const std::string&, Kind, bool) {
    FileLock lock;
    lock.fd_ = 0;
    return lock;
}

void FileLock::Convert(Kind) {}

void FileLock::Release() {
    fd_ = -1;
}

#else

namespace {

int Operation(FileLock::Kind kind) {
    return kind == FileLock::Kind::Shared ? LOCK_SH : LOCK_EX;
}

} // namespace

FileLock FileLock::Take(const std::string& path, Kind kind, bool wait) {
    FileLock lock;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        throw db::EIBClientError("Cannot make the lock file " + path + " (" + std::strerror(errno) +
                                 ")");
    }
    int result;
    while ((result = flock(fd, Operation(kind) | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        close(fd);
        return lock;
    }
    lock.fd_ = fd;
    return lock;
}

void FileLock::Convert(Kind kind) {
    while (fd_ >= 0 && flock(fd_, Operation(kind)) != 0 && errno == EINTR) {
    }
}

void FileLock::Release() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

#endif

} // namespace orvelle::store
