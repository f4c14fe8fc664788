#include "CacheUpkeep.h"

#include "CacheLayout.h"
#include "FileIdentity.h"
#include "FileLock.h"
#include "db/UserCache.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvelle::store {

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string SettingsFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/Orvelle/Orvelle.ini";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.config/Orvelle/Orvelle.ini";
    }
    return {};
}

} // namespace

CacheLimits ReadCacheLimits() {
    CacheLimits limits;
    const std::string path = SettingsFile();
    if (path.empty()) {
        return limits;
    }
    std::ifstream file(path);
    std::string line;
    bool inCache = false;
    while (std::getline(file, line)) {
        line = Trimmed(line);
        if (!line.empty() && line.front() == '[') {
            inCache = line == "[Cache]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inCache || equals == std::string::npos) {
            continue;
        }
        const std::string key = Trimmed(line.substr(0, equals));
        const std::string value = Trimmed(line.substr(equals + 1));
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        if (value.empty() || end != value.c_str() + value.size() || !(number > 0)) {
            continue;
        }
        if (key == "MaxLibraries" && number >= 1 && number < 1e6) {
            limits.libraries = static_cast<int>(number);
        } else if (key == "MaxSizeGB" && number < 1e9) {
            limits.bytes = static_cast<std::uint64_t>(number * double(std::uint64_t(1) << 30));
        }
    }
    return limits;
}

std::uint64_t BytesBelow(const std::string& folder) {
    std::uint64_t total = 0;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError)) {
            total += it->file_size(sizeError);
        }
    }
    return total;
}

#ifdef _WIN32

void TidyCache(const TidyRequest&, const CacheLimits&) {}

#else

namespace {

namespace fs = std::filesystem;

bool IsKey(const std::string& text) {
    return text.size() == 16 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

std::string SecondLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    std::getline(file, line);
    return line;
}

std::uint64_t FileBytes(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// The files of one copy, "<key>-<state>.*", or of a slot of earlier versions, "<key>.<n>.*".
struct CopyGroup {
    std::string base; // the folder and the name up to its first dot
    std::string state;
    bool legacy = false;
    std::string Lock() const { return base + ".lock"; }
    std::string Copy() const { return base + ".kvd"; }
    std::string Stamp() const { return base + ".stamp"; }
};

struct LibraryEntry {
    std::string name; // from the record, or from a copy's stamp
    bool recorded = false;
    bool server = false;
    std::int64_t lastUse = 0;
    std::map<std::string, CopyGroup> copies; // by base
    std::uint64_t bytes = 0;
};

void RemoveCopy(const CopyGroup& group) {
    for (const char* extension : {".kvd", ".part", ".stamp", ".kvd.part", ".stamp.part", ".lock"}) {
        unlink((group.base + extension).c_str());
    }
}

class Tidier {
public:
    Tidier(const TidyRequest& request, const CacheLimits& limits)
        : request_(request), limits_(limits) {}

    void Run() {
        const FileLock book =
            FileLock::Take(request_.librariesFolder + "/.lock", FileLock::Kind::Exclusive, true);
        Scan();
        for (auto& [key, entry] : libraries_) {
            ClearCopies(key, entry);
        }
        std::erase_if(libraries_, [this](const auto& item) {
            return IsGone(item.second) && item.first != request_.keepKey &&
                   RemoveLibrary(item.first, item.second);
        });
        RemoveOrphanIndexes();
        KeepWithinLimits();
        db::TightenPrivateTree(request_.librariesFolder);
        db::TightenPrivateTree(request_.indexesFolder);
    }

private:
    void Scan() {
        std::error_code error;
        for (const auto& item : fs::directory_iterator(request_.librariesFolder, error)) {
            const std::string file = item.path().filename().string();
            const std::string path = item.path().string();
            const std::size_t dot = file.find('.');
            const std::string stem = file.substr(0, dot);
            const std::string extension = dot == std::string::npos ? "" : file.substr(dot);
            if (IsKey(stem) && extension == ".library") {
                LibraryEntry& entry = libraries_[stem];
                entry.recorded = true;
                entry.name = FirstLine(path);
                entry.server = SecondLine(path) == "server";
                struct stat info;
                entry.lastUse =
                    stat(path.c_str(), &info) == 0
                        ? std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec
                        : 0;
            } else if (stem.size() == 33 && stem[16] == '-' && IsKey(stem.substr(0, 16)) &&
                       IsKey(stem.substr(17))) {
                CopyGroup& group =
                    libraries_[stem.substr(0, 16)].copies[request_.librariesFolder + "/" + stem];
                group.base = request_.librariesFolder + "/" + stem;
                group.state = stem.substr(17);
            } else if (IsKey(stem) && extension.size() > 2 && extension[1] >= '0' &&
                       extension[1] <= '9' && extension.find('.', 1) != std::string::npos) {
                // "<key>.<n>.kvd" and its companions, from versions that copied per connection.
                const std::string base = path.substr(0, path.size() - extension.size()) +
                                         extension.substr(0, extension.find('.', 1));
                CopyGroup& group = libraries_[stem].copies[base];
                group.base = base;
                group.legacy = true;
            }
        }
    }

    // Copies nobody holds go when half made, or of a state the library no longer has.
    void ClearCopies(const std::string& key, LibraryEntry& entry) {
        for (auto& [base, group] : entry.copies) {
            if (entry.name.empty() && !group.legacy) {
                entry.name = FirstLine(group.Stamp());
            }
        }
        const std::optional<FileIdentity> identity =
            entry.server || entry.name.empty() ? std::nullopt : IdentityOf(entry.name);
        const std::string current = identity ? HashName(identity->Text()) : std::string();
        std::erase_if(entry.copies, [&](const auto& item) {
            const CopyGroup& group = item.second;
            FileLock lock = FileLock::Take(group.Lock(), FileLock::Kind::Exclusive, false);
            if (!lock.Held()) {
                entry.bytes += FileBytes(group.Copy()) + FileBytes(group.base + ".part");
                return false; // read or being made
            }
            unlink((group.base + ".part").c_str());
            const bool wanted =
                !group.legacy && group.state == current && access(group.Copy().c_str(), F_OK) == 0;
            if (wanted || (key == request_.keepKey && group.state == request_.keepState)) {
                entry.bytes += FileBytes(group.Copy());
                return false;
            }
            RemoveCopy(group);
            return true;
        });
    }

    // A library file that no longer exists; a server's is never taken for gone.
    static bool IsGone(const LibraryEntry& entry) {
        return !entry.server && !entry.name.empty() && entry.name[0] == '/' &&
               !IdentityOf(entry.name);
    }

    // Removes everything of a library nobody holds; false when some program holds it.
    bool RemoveLibrary(const std::string& key, const LibraryEntry& entry) {
        const std::string lockPath = request_.librariesFolder + "/" + key + ".lock";
        FileLock lock = FileLock::Take(lockPath, FileLock::Kind::Exclusive, false);
        if (!lock.Held()) {
            return false;
        }
        for (const auto& [base, group] : entry.copies) {
            FileLock copyLock = FileLock::Take(group.Lock(), FileLock::Kind::Exclusive, false);
            if (copyLock.Held()) {
                RemoveCopy(group);
            }
        }
        std::error_code error;
        fs::remove_all(request_.indexesFolder + "/" + key, error);
        unlink((request_.librariesFolder + "/" + key + ".library").c_str());
        unlink(lockPath.c_str());
        return true;
    }

    // Indexes of no library the cache knows: of earlier versions, or whose library's record was
    // removed. Only old ones, since an index folder is made just before its library is opened.
    void RemoveOrphanIndexes() {
        std::error_code error;
        const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
        std::vector<fs::path> orphans;
        for (const auto& item : fs::directory_iterator(request_.indexesFolder, error)) {
            const std::string name = item.path().filename().string();
            const auto library = libraries_.find(name);
            std::error_code timeError;
            if ((library == libraries_.end() || !library->second.recorded) &&
                item.last_write_time(timeError) < old && !timeError) {
                orphans.push_back(item.path());
            }
        }
        for (const fs::path& orphan : orphans) {
            fs::remove_all(orphan, error);
        }
    }

    void KeepWithinLimits() {
        struct Use {
            std::string key;
            std::int64_t lastUse;
            std::uint64_t bytes;
        };
        std::vector<Use> uses;
        for (auto& [key, entry] : libraries_) {
            if (!entry.recorded) {
                continue;
            }
            std::uint64_t bytes = entry.bytes + BytesBelow(request_.indexesFolder + "/" + key);
            std::int64_t lastUse = entry.lastUse;
            if (key == request_.keepKey) {
                lastUse = INT64_MAX;
                const bool there =
                    std::any_of(entry.copies.begin(), entry.copies.end(), [this](const auto& item) {
                        return item.second.state == request_.keepState &&
                               access(item.second.Copy().c_str(), F_OK) == 0;
                    });
                bytes += there ? 0 : request_.incoming;
            }
            uses.push_back({key, lastUse, bytes});
        }
        // The least recently used go first, as long as the cache holds too much; a library some
        // program holds stays, however long ago it was opened.
        std::sort(uses.begin(), uses.end(),
                  [](const Use& a, const Use& b) { return a.lastUse < b.lastUse; });
        auto count = static_cast<int>(uses.size());
        std::uint64_t total = 0;
        for (const Use& use : uses) {
            total += use.bytes;
        }
        for (const Use& use : uses) {
            if (count <= limits_.libraries && total <= limits_.bytes) {
                break;
            }
            if (use.key != request_.keepKey && RemoveLibrary(use.key, libraries_[use.key])) {
                --count;
                total -= use.bytes;
            }
        }
    }

    const TidyRequest& request_;
    const CacheLimits& limits_;
    std::map<std::string, LibraryEntry> libraries_;
};

} // namespace

void TidyCache(const TidyRequest& request, const CacheLimits& limits) {
    try {
        Tidier(request, limits).Run();
    } catch (const std::exception&) {
        // Only a cache: what could not be tidied now is tidied another time.
    }
}

#endif

} // namespace orvelle::store
