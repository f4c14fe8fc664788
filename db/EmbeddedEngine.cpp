#include "EmbeddedEngine.h"

#include "UserCache.h"

#include <mutex>

#ifndef _WIN32
#include <cstdlib>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvelle::db {

#ifdef _WIN32

void PrepareEmbeddedEngine() {}

EmbeddedEngineFolders EmbeddedEngine() {
    return {};
}

void EnsureEmbeddedEngineFolders() {}

#else

namespace {

struct EngineState {
    bool prepared = false;
    EmbeddedEngineFolders folders;
    std::string systemRoot;
};

EngineState& State() {
    static EngineState state;
    return state;
}

std::mutex& StateMutex() {
    static std::mutex mutex;
    return mutex;
}

// What the private root links to in the system's own root.
constexpr const char* kLinked[] = {"plugins", "intl", "lib", "UDF", "firebird.msg", "plugins.conf"};

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The system's engine files: where FIREBIRD pointed before (unless at our own root, as in a
// program we started), else where the distributions put them.
std::string FindSystemRoot(const std::string& ownRoot) {
    std::vector<std::string> candidates;
    if (const char* given = std::getenv("FIREBIRD");
        given != nullptr && given[0] == '/' && given != ownRoot) {
        candidates.emplace_back(given);
    }
#if defined(__x86_64__)
    candidates.emplace_back("/usr/lib/x86_64-linux-gnu/firebird/3.0");
#elif defined(__aarch64__)
    candidates.emplace_back("/usr/lib/aarch64-linux-gnu/firebird/3.0");
#elif defined(__i386__)
    candidates.emplace_back("/usr/lib/i386-linux-gnu/firebird/3.0");
#endif
    for (const char* other :
         {"/usr/lib64/firebird", "/usr/lib/firebird/3.0", "/usr/lib/firebird", "/opt/firebird"}) {
        candidates.emplace_back(other);
    }
    for (const std::string& root : candidates) {
        if (IsFolder(root + "/plugins") && access((root + "/firebird.msg").c_str(), R_OK) == 0) {
            return root;
        }
    }
    return {};
}

// Writes `text` to `path` unless it holds that already.
bool WriteIfDifferent(const std::string& path, const std::string& text) {
    return ReadSmallFile(path) == text || WriteSmallFile(path, text);
}

bool LinkIfDifferent(const std::string& link, const std::string& target) {
    char current[4096];
    const ssize_t length = readlink(link.c_str(), current, sizeof current - 1);
    if (length > 0 && std::string(current, static_cast<std::size_t>(length)) == target) {
        return true;
    }
    const std::string temporary = link + "." + std::to_string(getpid());
    unlink(temporary.c_str());
    return symlink(target.c_str(), temporary.c_str()) == 0 &&
           rename(temporary.c_str(), link.c_str()) == 0;
}

// The configuration: our two settings first, since the engine keeps the first value it reads
// of a setting, then whatever the system's administrator set.
std::string Configuration(const std::string& systemRoot) {
    std::string text = "# Made by Orvelle for the embedded engine of its programs; made again "
                       "when changed.\nServerMode = SuperClassic\nUdfAccess = None\n";
    if (access((systemRoot + "/firebird.conf").c_str(), R_OK) == 0) {
        text += "include " + systemRoot + "/firebird.conf\n";
    }
    return text;
}

// Makes the root and the lock folder; false when something could not be made.
bool MakeFolders(const EngineState& state) {
    try {
        MakePrivateFolder(state.folders.root);
        MakePrivateFolder(state.folders.lock);
    } catch (const std::exception&) {
        return false;
    }
    bool made =
        WriteIfDifferent(state.folders.root + "/firebird.conf", Configuration(state.systemRoot));
    for (const char* name : kLinked) {
        made =
            LinkIfDifferent(state.folders.root + "/" + name, state.systemRoot + "/" + name) && made;
    }
    return made;
}

} // namespace

void PrepareEmbeddedEngine() {
    const std::lock_guard<std::mutex> lock(StateMutex());
    EngineState& state = State();
    if (state.prepared) {
        return;
    }
    state.prepared = true;
    std::string cache;
    try {
        cache = UserCacheFolder();
    } catch (const std::exception&) {
        return;
    }
    EngineState candidate;
    candidate.folders = {cache + "/engine", cache + "/engine-lock"};
    candidate.systemRoot = FindSystemRoot(candidate.folders.root);
    if (candidate.systemRoot.empty()) {
        return;
    }
    if (!MakeFolders(candidate)) {
        return;
    }
    setenv("FIREBIRD", candidate.folders.root.c_str(), 1);
    setenv("FIREBIRD_LOCK", candidate.folders.lock.c_str(), 1);
    state.folders = candidate.folders;
    state.systemRoot = candidate.systemRoot;
}

EmbeddedEngineFolders EmbeddedEngine() {
    const std::lock_guard<std::mutex> lock(StateMutex());
    return State().folders;
}

void EnsureEmbeddedEngineFolders() {
    const std::lock_guard<std::mutex> lock(StateMutex());
    const EngineState& state = State();
    if (!state.folders.root.empty() &&
        (!IsFolder(state.folders.root) || !IsFolder(state.folders.lock))) {
        MakeFolders(state);
    }
}

#endif

} // namespace orvelle::db
