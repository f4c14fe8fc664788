#include "UserCache.h"

#include "Errors.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvelle::db {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool Absolute(const std::string& path) {
#ifdef _WIN32
    return path.size() > 2 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
#else
    return !path.empty() && path[0] == '/';
#endif
}

} // namespace

std::string UserCacheFolder() {
#ifdef _WIN32
    const std::string local = Variable("LOCALAPPDATA");
    if (Absolute(local)) {
        return local + "\\cache\\orvelle";
    }
    throw EIBClientError("No folder for the program's cache: LOCALAPPDATA is not set");
#else
    if (const std::string cache = Variable("XDG_CACHE_HOME"); Absolute(cache)) {
        return cache + "/orvelle";
    }
    if (const std::string home = Variable("HOME"); Absolute(home) && home != "/") {
        return home + "/.cache/orvelle";
    }
    if (const std::string runtime = Variable("XDG_RUNTIME_DIR"); Absolute(runtime)) {
        return runtime + "/orvelle-cache";
    }
    throw EIBClientError("No folder for the program's cache: none of XDG_CACHE_HOME, HOME and "
                         "XDG_RUNTIME_DIR is set; set HOME to your home folder");
#endif
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

#ifdef _WIN32

bool WriteSmallFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    return static_cast<bool>(file.flush());
}

void MakePrivateFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::u8path(folder), error);
    if (error) {
        throw EIBClientError("Cannot make the folder " + folder + " (" + error.message() + ")");
    }
}

void TightenPrivateTree(const std::string&) {}

#else

namespace {

[[noreturn]] void CannotMake(const std::string& folder, const std::string& why) {
    throw EIBClientError("Cannot make the folder " + folder + " (" + why + ")");
}

// Moves what stands at `path` out of the way, to a name of its own beside it.
bool MoveAside(const std::string& path) {
    std::random_device random;
    const std::string aside = path + ".foreign-" + std::to_string(random());
    return rename(path.c_str(), aside.c_str()) == 0;
}

bool OwnedByUs(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && info.st_uid == geteuid();
}

} // namespace

bool WriteSmallFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new" + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void MakePrivateFolder(const std::string& folder) {
    // Parents that are missing are made for us alone too ($HOME/.cache, as the XDG rules say);
    // existing ones are left as they are.
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string parent = folder.substr(0, slash);
        struct stat info;
        if (stat(parent.c_str(), &info) != 0) {
            MakePrivateFolder(parent);
        }
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (mkdir(folder.c_str(), 0700) == 0) {
            return;
        }
        if (errno != EEXIST) {
            CannotMake(folder, std::strerror(errno));
        }
        struct stat info;
        if (lstat(folder.c_str(), &info) != 0) {
            continue; // gone meanwhile
        }
        if (S_ISDIR(info.st_mode) && info.st_uid == geteuid()) {
            if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
                CannotMake(folder, std::string("cannot take away the rights of others: ") +
                                       std::strerror(errno));
            }
            return;
        }
        // Another user's folder, or a file or link, where ours belongs: never used. It can go
        // aside when the folder above is ours (nobody else could have put it there but root).
        const std::string parent = folder.substr(0, folder.find_last_of('/'));
        if (!OwnedByUs(parent) || !MoveAside(folder)) {
            CannotMake(folder, S_ISDIR(info.st_mode) ? "it belongs to another user"
                                                     : "something else has that name");
        }
    }
    CannotMake(folder, "it keeps changing");
}

void TightenPrivateTree(const std::string& folder) {
    std::error_code error;
    const auto tighten = [](const std::filesystem::path& path, bool isFolder) {
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode) && info.st_uid == geteuid() &&
            (info.st_mode & 077) != 0) {
            chmod(path.c_str(), (info.st_mode & 0700) | (isFolder ? 0700 : 0600));
        }
    };
    tighten(folder, true);
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        tighten(it->path(), it->is_directory(error) && !it->is_symlink(error));
    }
}

#endif

} // namespace orvelle::db
