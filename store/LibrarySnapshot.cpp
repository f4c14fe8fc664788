#include "LibrarySnapshot.h"

#include "FileCopy.h"
#include "LibraryHeader.h"
#include "db/Errors.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#ifndef _WIN32
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvelle::store {

#ifdef _WIN32

// On Windows the estimating application's server shares its libraries; names go unchanged.
SnapshotLease::~SnapshotLease() = default;

std::shared_ptr<const SnapshotLease> TakeSnapshot(const std::string&) {
    return nullptr;
}

std::string SnapshotFolder() {
    return std::string();
}

#else

namespace {

constexpr int kSlots = 8;
constexpr int kCopyAttempts = 3;

// What says that a library file is still the one a snapshot was made from.
struct Stamp {
    std::string text;
    std::uint64_t size = 0;
};

Stamp StampOf(const struct stat& info, const std::string& canonical) {
    Stamp stamp;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.text = canonical + "\n" + std::to_string(info.st_dev) + " " +
                 std::to_string(info.st_ino) + " " + std::to_string(info.st_size) + " " +
                 std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) +
                 "\n";
    return stamp;
}

// host:path, host/port:path and URL-like names reach a server; "C:" is a drive.
bool IsServerName(const std::string& name) {
    if (name.find("://") != std::string::npos) {
        return true;
    }
    const std::size_t colon = name.find(':');
    if (colon == std::string::npos || colon < 2) {
        return false;
    }
    const std::size_t slash = name.find_first_of("/\\");
    if (slash == std::string::npos || slash > colon) {
        return true;
    }
    // host/port:path
    return name[0] != '/' && name[0] != '.' &&
           name.find_first_not_of("0123456789", slash + 1) == colon;
}

std::string Hex64(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// FNV-1a of the library's full path: the name of its slots.
std::string KeyOf(const std::string& canonical) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : canonical) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return Hex64(hash);
}

[[noreturn]] void CannotCopy(const std::string& what, int error) {
    throw db::EIBClientError("Cannot make the private copy of the library in " + SnapshotFolder() +
                             " (" + what + ": " + std::strerror(error) + ")");
}

std::string ReadSmallFile(const std::string& path) {
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0 && text.size() < 65536) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return text;
}

void WriteFileReplacing(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        CannotCopy(temporary, errno);
    }
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int error = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        CannotCopy(path, written ? errno : error);
    }
}

void MakeFolder(const std::string& folder) {
    std::size_t at = 0;
    while (at != std::string::npos) {
        at = folder.find('/', at + 1);
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            CannotCopy(part, errno);
        }
    }
}

// Locks slot `slot` for this process; -1 when another holds it.
int LockSlot(const std::string& base, int slot) {
    const std::string path = base + "." + std::to_string(slot) + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        CannotCopy(path, errno);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string CopyPath(const std::string& base, int slot) {
    return base + "." + std::to_string(slot) + ".kvd";
}
std::string StampPath(const std::string& base, int slot) {
    return base + "." + std::to_string(slot) + ".stamp";
}

bool SlotHolds(const std::string& base, int slot, const Stamp& stamp) {
    struct stat info;
    return ReadSmallFile(StampPath(base, slot)) == stamp.text &&
           stat(CopyPath(base, slot).c_str(), &info) == 0 &&
           static_cast<std::uint64_t>(info.st_size) == stamp.size;
}

// The engine reads a database marked read-only without ever writing to it.
void MarkReadOnly(int fd) {
    unsigned char flags[2];
    if (pread(fd, flags, 2, kHeaderFlagsOffset) != 2) {
        CannotCopy("header", errno ? errno : EIO);
    }
    flags[0] = static_cast<unsigned char>(flags[0] | kHeaderReadOnlyFlag);
    if (pwrite(fd, flags, 2, kHeaderFlagsOffset) != 2) {
        CannotCopy("header", errno ? errno : EIO);
    }
}

// Copies the library into the slot; returns the stamp of what was copied.
Stamp Refresh(const std::string& library, const std::string& canonical, const std::string& base,
              int slot) {
    const std::string target = CopyPath(base, slot);
    const std::string temporary = target + ".part";
    unlink(StampPath(base, slot).c_str());
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        const int from = open(library.c_str(), O_RDONLY | O_CLOEXEC);
        if (from < 0) {
            CannotCopy(library, errno);
        }
        struct stat before;
        fstat(from, &before);
        Stamp stamp = StampOf(before, canonical);
        const int to = open(temporary.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (to < 0) {
            const int error = errno;
            close(from);
            CannotCopy(temporary, error);
        }
        try {
            CopyFileContents(from, to, stamp.size);
            MarkReadOnly(to);
            if (fdatasync(to) != 0) {
                CannotCopy(temporary, errno);
            }
        } catch (const std::system_error& error) {
            close(from);
            close(to);
            unlink(temporary.c_str());
            CannotCopy(temporary, error.code().value());
        } catch (...) {
            close(from);
            close(to);
            unlink(temporary.c_str());
            throw;
        }
        close(to);
        struct stat after;
        fstat(from, &after);
        close(from);
        if (StampOf(after, canonical).text != stamp.text) {
            continue; // written to while we copied: copy again
        }
        if (rename(temporary.c_str(), target.c_str()) != 0) {
            CannotCopy(target, errno);
        }
        WriteFileReplacing(StampPath(base, slot), stamp.text);
        return stamp;
    }
    unlink(temporary.c_str());
    throw db::EIBClientError("The library " + library +
                             " kept changing while it was being read; try again when the program "
                             "that writes it is done");
}

// Slots of this library that nobody holds and whose copy is of an older state go away.
void DropStaleSlots(const std::string& base, const Stamp& current, int keep) {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (slot == keep) {
            continue;
        }
        struct stat info;
        if (stat(CopyPath(base, slot).c_str(), &info) != 0) {
            continue;
        }
        const int fd = LockSlot(base, slot);
        if (fd < 0) {
            continue;
        }
        if (ReadSmallFile(StampPath(base, slot)) != current.text) {
            unlink(StampPath(base, slot).c_str());
            unlink(CopyPath(base, slot).c_str());
        }
        close(fd);
    }
}

// Copies of other libraries that are gone or changed since are of no more use: they go
// away when nobody holds them, so the cache does not keep every version ever read.
void DropCopiesOfChangedLibraries(const std::string& folder, const std::string& keepKey) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        const std::size_t dot = name.find('.');
        const std::string suffix = ".stamp";
        if (dot == std::string::npos || name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0 ||
            name.compare(0, dot, keepKey) == 0) {
            continue;
        }
        const int slot = std::atoi(name.c_str() + dot + 1);
        const std::string base = folder + "/" + name.substr(0, dot);
        const std::string stamp = ReadSmallFile(StampPath(base, slot));
        const std::string source = stamp.substr(0, stamp.find('\n'));
        struct stat info;
        if (stat(source.c_str(), &info) == 0 && StampOf(info, source).text == stamp) {
            continue;
        }
        const int fd = LockSlot(base, slot);
        if (fd < 0) {
            continue;
        }
        unlink(StampPath(base, slot).c_str());
        unlink(CopyPath(base, slot).c_str());
        close(fd);
    }
}

std::mutex& SlotMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

SnapshotLease::~SnapshotLease() {
    if (lock_ >= 0) {
        close(lock_);
    }
}

std::string SnapshotFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string folder;
    if (cache != nullptr && cache[0] == '/') {
        folder = cache;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home != nullptr && home[0] == '/' ? home : "/tmp") + "/.cache";
    }
    return folder + "/orvelle/libraries";
}

std::shared_ptr<const SnapshotLease> TakeSnapshot(const std::string& databaseName) {
    if (databaseName.empty() || IsServerName(databaseName)) {
        return nullptr;
    }
    struct stat info;
    if (stat(databaseName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return nullptr;
    }
    const std::optional<LibraryHeader> header = ReadLibraryHeader(databaseName);
    if (!header || !header->database) {
        return nullptr; // the engine says what is wrong with it
    }
    CheckOnDiskStructure(*header);

    char* resolved = realpath(databaseName.c_str(), nullptr);
    const std::string canonical = resolved != nullptr ? resolved : databaseName;
    std::free(resolved);
    const Stamp stamp = StampOf(info, canonical);
    const std::string key = KeyOf(canonical);

    // Every connection reads a copy of its own, also two of one process: the embedded engine
    // gave a connection on another thread empty results from a copy another connection held.
    // A copy left free by an earlier connection is reused while it holds the same state.
    const std::lock_guard<std::mutex> lock(SlotMutex());
    const std::string folder = SnapshotFolder();
    MakeFolder(folder);
    const std::string base = folder + "/" + key;

    // A free slot that already holds this state of the library, else the first free one.
    int slot = -1;
    int fd = -1;
    for (int candidate = 0; candidate < kSlots && fd < 0; ++candidate) {
        if (access(StampPath(base, candidate).c_str(), F_OK) != 0) {
            continue;
        }
        const int held = LockSlot(base, candidate);
        if (held < 0) {
            continue;
        }
        if (SlotHolds(base, candidate, stamp)) {
            slot = candidate;
            fd = held;
        } else {
            close(held);
        }
    }
    Stamp made = stamp;
    for (int candidate = 0; candidate < kSlots && fd < 0; ++candidate) {
        fd = LockSlot(base, candidate);
        if (fd >= 0) {
            slot = candidate;
            try {
                made = Refresh(databaseName, canonical, base, slot);
            } catch (...) {
                close(fd);
                throw;
            }
        }
    }
    if (fd < 0) {
        throw db::EIBClientError("More than " + std::to_string(kSlots) +
                                 " programs are reading this library at once");
    }
    DropStaleSlots(base, made, slot);
    DropCopiesOfChangedLibraries(folder, key);
    auto lease = std::make_shared<const SnapshotLease>(CopyPath(base, slot), fd);
    return lease;
}

#endif

} // namespace orvelle::store
