#pragma once

#include <string>

namespace orvelle::store {

// An advisory lock on a small file of its own (flock), held while the object lives. Locks of
// two objects conflict also inside one process, so threads and processes are alike to it; a
// process that ends, however, lets its locks go. POSIX only; on Windows every lock is granted.
class FileLock {
public:
    enum class Kind { Shared, Exclusive };

    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens (making it, 0600, when missing) and locks `path`, waiting for others when `wait`;
    // an unlocked object when it is held otherwise and `wait` is false. Raises EIBClientError
    // naming the file when it cannot be made.
    static FileLock Take(const std::string& path, Kind kind, bool wait);

    bool Held() const { return fd_ >= 0; }
    // Changes a held lock to the other kind, waiting for others.
    void Convert(Kind kind);
    void Release();

private:
    int fd_ = -1;
};

} // namespace orvelle::store
