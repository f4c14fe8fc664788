#include "ClientLibrary.h"

#include "EmbeddedEngine.h"
#include "Errors.h"
#include "SharedLibrary.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace orvelle::db {

namespace {

struct LibraryState {
    std::vector<std::string> fileNames = ClientLibrary::DefaultFileNames();
    void* library = nullptr;
    bool loaded = false;
    ClientApi api{};
};

LibraryState& State() {
    static LibraryState instance;
    return instance;
}

// Connections may be created on worker threads too; the first load must happen once.
std::mutex& StateMutex() {
    static std::mutex mutex;
    return mutex;
}

// Unloads a library on the way out of a failed Load().
class LibraryGuard {
public:
    explicit LibraryGuard(void* library) : library_(library) {}
    LibraryGuard(const LibraryGuard&) = delete;
    LibraryGuard& operator=(const LibraryGuard&) = delete;
    ~LibraryGuard() { SharedLibrary::Close(library_); }
    void* Release() { return std::exchange(library_, nullptr); }

private:
    void* library_;
};

template <typename Function> void Resolve(void* library, const char* name, Function& target) {
    void* address = SharedLibrary::Symbol(library, name);
    if (address == nullptr) {
        throw EOSError(SharedLibrary::LastError());
    }
    target = reinterpret_cast<Function>(address);
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : separator) + item;
    }
    return text;
}

// A library was found for another kind of machine: say which, what is needed, and where the
// search looked.
std::string WrongKindMessage(const std::vector<std::string>& found,
                             const std::vector<std::string>& fileNames) {
    const std::string bits = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    std::vector<std::string> kinds;
    for (const std::string& path : found) {
        const std::string machine = SharedLibrary::MachineOf(path);
        const std::string kind =
            machine.empty() ? " cannot be loaded by this program" : " is a " + machine + " library";
        kinds.push_back(path + kind);
    }
    std::vector<std::string> folders;
    for (const std::string& name : fileNames) {
        for (const std::string& folder : SharedLibrary::SearchFolders(name)) {
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
                folders.push_back(folder);
            }
        }
    }
    return "The Firebird client library found does not fit this " + bits +
           " program: " + Joined(kinds, "; ") + ". A " + bits +
           " Firebird client library is needed" +
           (bits == "64-bit" ? " (fbclient.dll of a 64-bit Firebird installation)" : "") +
           ". Looked for " + Joined(fileNames, ", ") + " in: " + Joined(folders, "; ");
}

void* OpenFirstFound(const std::vector<std::string>& fileNames) {
    std::vector<std::string> wrongKind;
    for (const std::string& name : fileNames) {
        if (void* library = SharedLibrary::Open(name)) {
            return library;
        }
        if (SharedLibrary::LastOpenFoundWrongKind()) {
            const std::string path = SharedLibrary::Locate(name);
            wrongKind.push_back(path.empty() ? name : path);
        }
    }
    if (!wrongKind.empty()) {
        throw EIBClientError(WrongKindMessage(wrongKind, fileNames));
    }
    throw EIBClientError("InterBase library " + fileNames.front() +
                         " not found in the path. Please install InterBase to use this "
                         "functionality");
}

template <typename Function>
void ResolveOptional(void* library, const char* name, Function& target) {
    target = reinterpret_cast<Function>(SharedLibrary::Symbol(library, name));
}

// The client shuts its engine down on a termination signal, from a thread of its own, while
// this program's threads may still be inside it: the program then crashed on its way out now
// and then. It is asked first, and says no: the program handles those signals itself and ends
// normally, and the engine shuts down when the program exits.
int RefuseShutdownOnSignal(const int reason, const int, void*) {
    return reason == fb_shutrsn_signal ? 1 : 0;
}

void AskBeforeShutdown(void* library) {
    decltype(&::fb_shutdown_callback) onShutdown = nullptr;
    ResolveOptional(library, "fb_shutdown_callback", onShutdown);
    if (onShutdown != nullptr) { // not in InterBase's client
        ISC_STATUS_ARRAY status = {};
        onShutdown(status, RefuseShutdownOnSignal, fb_shut_confirmation, nullptr);
    }
}

} // namespace

bool AcceptsUtf8FileNames(const ClientApi& api) {
    if (api.isc_get_client_major_version == nullptr ||
        api.isc_get_client_minor_version == nullptr) {
        return false;
    }
    const int major = api.isc_get_client_major_version();
    return major > 2 || (major == 2 && api.isc_get_client_minor_version() >= 5);
}

const ClientApi& ClientLibrary::Load() {
    const std::lock_guard<std::mutex> lock(StateMutex());
    LibraryState& s = State();
    if (s.loaded) {
        return s.api;
    }
    PrepareEmbeddedEngine(); // the engine reads its settings when it loads
    void* library = OpenFirstFound(s.fileNames);
    LibraryGuard guard(library);
    // Resolve into a scratch copy so that a library lacking an entry point leaves nothing
    // half-filled behind; the next Load() tries again.
    ClientApi api{};
#define ORVELLE_RESOLVE(name) Resolve(library, #name, api.name)
    ORVELLE_RESOLVE(isc_attach_database);
    ORVELLE_RESOLVE(isc_detach_database);
    ORVELLE_RESOLVE(isc_database_info);
    ORVELLE_RESOLVE(isc_start_multiple);
    ORVELLE_RESOLVE(isc_commit_transaction);
    ORVELLE_RESOLVE(isc_rollback_transaction);
    ORVELLE_RESOLVE(isc_dsql_alloc_statement2);
    ORVELLE_RESOLVE(isc_dsql_prepare);
    ORVELLE_RESOLVE(isc_dsql_sql_info);
    ORVELLE_RESOLVE(isc_dsql_describe_bind);
    ORVELLE_RESOLVE(isc_dsql_describe);
    ORVELLE_RESOLVE(isc_dsql_execute2);
    ORVELLE_RESOLVE(isc_dsql_set_cursor_name);
    ORVELLE_RESOLVE(isc_dsql_fetch);
    ORVELLE_RESOLVE(isc_dsql_free_statement);
    ORVELLE_RESOLVE(isc_open_blob2);
    ORVELLE_RESOLVE(isc_blob_info);
    ORVELLE_RESOLVE(isc_get_segment);
    ORVELLE_RESOLVE(isc_close_blob);
    ORVELLE_RESOLVE(isc_interprete);
    ORVELLE_RESOLVE(isc_sqlcode);
    ORVELLE_RESOLVE(isc_vax_integer);
#undef ORVELLE_RESOLVE
    s.library = guard.Release();
    ResolveOptional(library, "isc_get_client_major_version", api.isc_get_client_major_version);
    ResolveOptional(library, "isc_get_client_minor_version", api.isc_get_client_minor_version);
    AskBeforeShutdown(library);
    s.api = api;
    s.loaded = true;
    return s.api;
}

std::vector<std::string> ClientLibrary::DefaultFileNames() {
#ifdef _WIN32
    return {"gds32.dll", "fbclient.dll"};
#else
    return {"libfbclient.so.2"};
#endif
}

std::string ClientLibrary::DefaultFileName() {
    return DefaultFileNames().front();
}

const std::string& ClientLibrary::FileName() {
    return State().fileNames.front();
}

void ClientLibrary::SetFileName(std::string fileName) {
    SetFileNames({std::move(fileName)});
}

void ClientLibrary::SetFileNames(std::vector<std::string> fileNames) {
    const std::lock_guard<std::mutex> lock(StateMutex());
    LibraryState& s = State();
    if (fileNames.empty() || fileNames == s.fileNames) {
        return;
    }
    // Different names are loaded afresh on the next Load(). The function table of the old
    // library goes with it, so this is for tests that switch libraries between cases, with
    // no database object alive.
    s.fileNames = std::move(fileNames);
    s.loaded = false;
    s.api = ClientApi{};
    SharedLibrary::Close(std::exchange(s.library, nullptr));
}

} // namespace orvelle::db
