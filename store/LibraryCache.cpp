#include "LibraryCache.h"

#include "CacheLayout.h"
#include "CacheUpkeep.h"
#include "FileCopy.h"
#include "Library.h"
#include "LibraryHeader.h"
#include "db/Database.h"
#include "db/EmbeddedEngine.h"
#include "db/Errors.h"
#include "db/UserCache.h"

#include <chrono>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#endif

namespace orvelle::store {

LibraryLease::LibraryLease(std::string databaseName, Route route, std::string attachName)
    : databaseName_(std::move(databaseName)), route_(route), attachName_(std::move(attachName)) {}

bool LibraryLease::Current() const {
    return !identity_ || IdentityOf(databaseName_) == identity_;
}

#ifdef _WIN32

// On Windows the estimating application's server shares its libraries; names go unchanged.
LibraryLease::~LibraryLease() = default;

class LeaseMaker {
public:
    static std::shared_ptr<const LibraryLease> Make(const std::string& databaseName) {
        auto lease = std::make_shared<LibraryLease>(databaseName, LibraryLease::Route::Unchanged,
                                                    databaseName);
        if (!IsServerName(databaseName)) {
            lease->identity_ = IdentityOf(databaseName);
        }
        return lease;
    }
};

std::shared_ptr<const LibraryLease> PrepareLibrary(const std::string& databaseName,
                                                   const PrepareOptions&) {
    return LeaseMaker::Make(databaseName);
}

#else

LibraryLease::~LibraryLease() {
    if (!record_.empty()) {
        utimensat(AT_FDCWD, record_.c_str(), nullptr, 0);
    }
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCopyAttempts = 3;
constexpr auto kReportEvery = std::chrono::milliseconds(100);

[[noreturn]] void CannotCopy(const std::string& folder, const std::string& what, int error) {
    throw db::EIBClientError("Cannot make the private copy of the library in " + folder + " (" +
                             what + ": " + std::strerror(error) + ")");
}

// The files of one copy: <key>-<state>.kvd and the rest beside it.
struct CopyFiles {
    std::string base;
    std::string Copy() const { return base + ".kvd"; }
    std::string Part() const { return base + ".part"; }
    std::string Stamp() const { return base + ".stamp"; }
    std::string Lock() const { return base + ".lock"; }
};

// What a copy's stamp says: the library it was made from and that file's identity then.
std::string StampText(const std::string& canonical, const FileIdentity& identity) {
    return canonical + "\n" + identity.Text() + "\n";
}

// A copy of exactly this state is there, whole.
bool CopyReady(const CopyFiles& files, const std::string& stamp, std::uint64_t size) {
    struct stat info;
    return stat(files.Copy().c_str(), &info) == 0 &&
           static_cast<std::uint64_t>(info.st_size) == size &&
           db::ReadSmallFile(files.Stamp()) == stamp;
}

std::uint64_t SizeOf(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// File systems whose files live on another machine: their libraries are copied, since their
// engine locks reach no further than this machine and every page would cross the network.
bool OnLocalDisk(const std::string& path) {
    struct statfs info;
    if (statfs(path.c_str(), &info) != 0) {
        return false;
    }
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE (sshfs and the like)
    case 0x01021997UL: // 9P
    case 0x5346414FUL: // AFS
    case 0x73757245UL: // Coda
    case 0x00C36400UL: // Ceph
    case 0x0BD00BD0UL: // Lustre
    case 0x01161970UL: // GFS2
    case 0x7461636FUL: // OCFS2
        return false;
    default:
        return true;
    }
}

// Whether the engine attaches the file itself: another program's engine may hold it alone.
bool AttachesInPlace(const std::string& path) {
    try {
        db::Database probe;
        probe.Params().Add(kUserNameLine);
        probe.Params().Add(kPasswordLine);
        probe.SetDatabaseName(path);
        probe.Open();
        probe.Close();
        return true;
    } catch (const std::exception&) {
        return false; // the copy will tell what is wrong, if anything
    }
}

// The engine reads a database marked read-only without ever writing to it.
void MarkReadOnly(int fd, const std::string& folder) {
    unsigned char flags[2];
    if (pread(fd, flags, 2, kHeaderFlagsOffset) != 2) {
        CannotCopy(folder, "header", errno ? errno : EIO);
    }
    flags[0] = static_cast<unsigned char>(flags[0] | kHeaderReadOnlyFlag);
    if (pwrite(fd, flags, 2, kHeaderFlagsOffset) != 2) {
        CannotCopy(folder, "header", errno ? errno : EIO);
    }
}

// Reports progress at most every kReportEvery, and always the end; raises when cancelled.
class ProgressGate {
public:
    explicit ProgressGate(const PrepareOptions& options) : options_(options) {}

    void Cancelled() const {
        if (options_.cancel != nullptr && options_.cancel->load()) {
            throw PreparationCancelled();
        }
    }
    bool Stopped() const { return options_.cancel != nullptr && options_.cancel->load(); }
    void Report(std::uint64_t done, std::uint64_t total) {
        const auto now = Clock::now();
        if (options_.progress && (done == total || now - last_ >= kReportEvery)) {
            last_ = now;
            options_.progress(done, total);
        }
    }

private:
    const PrepareOptions& options_;
    Clock::time_point last_ = Clock::now() - kReportEvery;
};

// Copies the library into files.Part(); false when the library changed while it was read.
// Whatever goes wrong, no part is left behind.
bool CopyLibrary(const std::string& library, const FileIdentity& expected, const CopyFiles& files,
                 const std::string& folder, ProgressGate& gate) {
    const int from = open(library.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        CannotCopy(folder, library, errno);
    }
    const int to = open(files.Part().c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (to < 0) {
        const int error = errno;
        close(from);
        CannotCopy(folder, files.Part(), error);
    }
    const auto cleanUp = [&] {
        close(from);
        close(to);
        unlink(files.Part().c_str());
    };
    try {
        if (IdentityOf(from) != expected) {
            cleanUp();
            return false;
        }
        const bool whole = CopyFileContents(from, to, expected.size, [&](std::uint64_t copied) {
            gate.Report(copied, expected.size);
            return !gate.Stopped();
        });
        gate.Cancelled();
        if (!whole) {
            throw PreparationCancelled();
        }
        MarkReadOnly(to, folder);
        if (fdatasync(to) != 0) {
            CannotCopy(folder, files.Part(), errno);
        }
    } catch (const std::system_error& error) {
        cleanUp();
        CannotCopy(folder, files.Part(), error.code().value());
    } catch (...) {
        cleanUp();
        throw;
    }
    close(to);
    const bool unchanged = IdentityOf(from) == expected && IdentityOf(library) == expected;
    close(from);
    if (!unchanged) {
        unlink(files.Part().c_str());
    }
    return unchanged;
}

std::string StateName(const FileIdentity& identity) {
    return HashName(identity.Text());
}

} // namespace

// Builds leases; a friend of LibraryLease.
class LeaseMaker {
public:
    LeaseMaker(const std::string& databaseName, const PrepareOptions& options)
        : name_(databaseName), gate_(options) {}

    std::shared_ptr<const LibraryLease> Make() {
        auto unchanged = [this] {
            return std::make_shared<LibraryLease>(name_, LibraryLease::Route::Unchanged, name_);
        };
        if (name_.empty()) {
            return unchanged();
        }
        const bool server = IsServerName(name_);
        std::optional<FileIdentity> identity;
        std::optional<LibraryHeader> header;
        if (!server) {
            identity = IdentityOf(name_);
            header = identity ? ReadLibraryHeader(name_) : std::nullopt;
            if (!header || !header->database) {
                return unchanged(); // no such file, or no database: the engine says which
            }
            CheckOnDiskStructure(*header);
        }
        canonical_ = CanonicalName(name_);
        key_ = LibraryKey(name_);
        try {
            folder_ = PrepareCacheFolders();
        } catch (const db::Exception&) {
            if (server) {
                return unchanged(); // a server's library needs no cache
            }
            throw;
        }
        auto lease = std::make_shared<LibraryLease>(name_, LibraryLease::Route::Unchanged, name_);
        Register(*lease, server);
        if (server) {
            return lease;
        }
        db::EnsureEmbeddedEngineFolders();
        const bool inPlace = header->readOnly && OnLocalDisk(name_) && AttachesInPlace(name_);
        TidyCache({.librariesFolder = folder_,
                   .indexesFolder = IndexesFolder(),
                   .keepKey = key_,
                   .keepState = inPlace ? std::string() : StateName(*identity),
                   .incoming = inPlace ? 0 : identity->size},
                  ReadCacheLimits());
        if (inPlace) {
            lease->route_ = LibraryLease::Route::InPlace;
            lease->identity_ = identity;
            return lease;
        }
        return Copy(lease);
    }

private:
    // The cache's folders, for this user only.
    static std::string PrepareCacheFolders() {
        const std::string cache = db::UserCacheFolder();
        db::MakePrivateFolder(cache);
        db::MakePrivateFolder(LibrariesFolder());
        db::MakePrivateFolder(IndexesFolder());
        return LibrariesFolder();
    }

    // Records the library as in use by this lease: its name and the time of use.
    void Register(LibraryLease& lease, bool server) {
        const FileLock book = Bookkeeping();
        // Nobody holds it exclusively outside the bookkeeping, which is ours now.
        lease.libraryLock_ =
            FileLock::Take(folder_ + "/" + key_ + ".lock", FileLock::Kind::Shared, true);
        lease.record_ = folder_ + "/" + key_ + ".library";
        const std::string record = canonical_ + "\n" + (server ? "server" : "file") + "\n";
        if (db::ReadSmallFile(lease.record_) != record) {
            db::WriteSmallFile(lease.record_, record);
        }
        utimensat(AT_FDCWD, lease.record_.c_str(), nullptr, 0);
    }

    FileLock Bookkeeping() const {
        return FileLock::Take(folder_ + "/.lock", FileLock::Kind::Exclusive, true);
    }

    // The copy of the library's current state: found, waited for, or made here.
    std::shared_ptr<const LibraryLease> Copy(const std::shared_ptr<LibraryLease>& lease) {
        int changes = 0;
        for (;;) {
            gate_.Cancelled();
            const std::optional<FileIdentity> identity = IdentityOf(name_);
            if (!identity) {
                CannotCopy(folder_, name_, ENOENT);
            }
            const CopyFiles files{folder_ + "/" + key_ + "-" + StateName(*identity)};
            const std::string stamp = StampText(canonical_, *identity);
            FileLock copyLock;
            {
                const FileLock book = Bookkeeping();
                if (CopyReady(files, stamp, identity->size)) {
                    copyLock = FileLock::Take(files.Lock(), FileLock::Kind::Shared, false);
                    if (copyLock.Held()) {
                        return Leased(lease, files, *identity, std::move(copyLock));
                    }
                } else {
                    copyLock = FileLock::Take(files.Lock(), FileLock::Kind::Exclusive, false);
                }
            }
            if (!copyLock.Held()) {
                // Another connection is making this copy: follow it, then look again.
                gate_.Report(std::min(SizeOf(files.Part()), identity->size), identity->size);
                std::this_thread::sleep_for(kReportEvery);
                continue;
            }
            if (!CopyLibrary(name_, *identity, files, folder_, gate_)) {
                if (++changes == kCopyAttempts) {
                    throw db::EIBClientError("The library " + name_ +
                                             " kept changing while it was being read; try again "
                                             "when the program that writes it is done");
                }
                continue;
            }
            const FileLock book = Bookkeeping();
            if (rename(files.Part().c_str(), files.Copy().c_str()) != 0 ||
                !db::WriteSmallFile(files.Stamp(), stamp)) {
                const int error = errno;
                unlink(files.Part().c_str());
                CannotCopy(folder_, files.Copy(), error);
            }
            copyLock.Convert(FileLock::Kind::Shared);
            return Leased(lease, files, *identity, std::move(copyLock));
        }
    }

    std::shared_ptr<const LibraryLease> Leased(const std::shared_ptr<LibraryLease>& lease,
                                               const CopyFiles& files, const FileIdentity& identity,
                                               FileLock copyLock) {
        gate_.Report(identity.size, identity.size);
        lease->route_ = LibraryLease::Route::Copy;
        lease->attachName_ = files.Copy();
        lease->identity_ = identity;
        lease->copyLock_ = std::move(copyLock);
        return lease;
    }

    std::string name_;
    ProgressGate gate_;
    std::string canonical_;
    std::string key_;
    std::string folder_;
};

std::shared_ptr<const LibraryLease> PrepareLibrary(const std::string& databaseName,
                                                   const PrepareOptions& options) {
    return LeaseMaker(databaseName, options).Make();
}

#endif

} // namespace orvelle::store
