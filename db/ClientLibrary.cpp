#include "ClientLibrary.h"

#include "Errors.h"
#include "SharedLibrary.h"

#include <utility>

namespace orvelle::db {

namespace {

struct LibraryState {
    std::string fileName = ClientLibrary::DefaultFileName();
    bool loaded = false;
    ClientApi api{};
};

LibraryState& state() {
    static LibraryState instance;
    return instance;
}

template <typename Function> void resolve(void* library, const char* name, Function& target) {
    void* address = SharedLibrary::Symbol(library, name);
    if (address == nullptr) {
        throw EOSError(SharedLibrary::LastError());
    }
    target = reinterpret_cast<Function>(address);
}

template <typename Function>
void resolveOptional(void* library, const char* name, Function& target) {
    target = reinterpret_cast<Function>(SharedLibrary::Symbol(library, name));
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
    LibraryState& s = state();
    if (s.loaded) {
        return s.api;
    }
    void* library = SharedLibrary::Open(s.fileName);
    if (library == nullptr) {
        throw EIBClientError("InterBase library " + s.fileName +
                             " not found in the path. Please install InterBase to use this "
                             "functionality");
    }
    // Resolve into a scratch copy so that a library lacking an entry point leaves nothing
    // half-filled behind; the next Load() tries again.
    ClientApi api{};
#define ORVELLE_RESOLVE(name) resolve(library, #name, api.name)
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
    resolveOptional(library, "isc_get_client_major_version", api.isc_get_client_major_version);
    resolveOptional(library, "isc_get_client_minor_version", api.isc_get_client_minor_version);
    s.api = api;
    s.loaded = true;
    return s.api;
}

std::string ClientLibrary::DefaultFileName() {
#ifdef _WIN32
    return "gds32.dll";
#else
    return "libfbclient.so.2";
#endif
}

const std::string& ClientLibrary::FileName() {
    return state().fileName;
}

void ClientLibrary::SetFileName(std::string fileName) {
    LibraryState& s = state();
    if (fileName == s.fileName) {
        return;
    }
    // A different name is loaded afresh on the next Load(). Objects created before keep
    // calling through the same table, so this is for tests that switch libraries between
    // cases, with no connection alive.
    s.fileName = std::move(fileName);
    s.loaded = false;
}

} // namespace orvelle::db
