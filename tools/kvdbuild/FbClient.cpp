#include "FbClient.h"

#include "BuildError.h"

#include "db/EmbeddedEngine.h"
#include "db/SharedLibrary.h"

namespace orvelle::kvdbuild {
namespace {

template <typename F> void Resolve(void* library, const char* name, F& target) {
    void* symbol = db::SharedLibrary::Symbol(library, name);
    if (symbol == nullptr) {
        throw BuildError("Entry point " + std::string(name) + " missing from " +
                         FbClient::FileName() + ": " + db::SharedLibrary::LastError());
    }
    target = reinterpret_cast<F>(symbol);
}

FbClient LoadClient() {
    db::PrepareEmbeddedEngine(); // the same engine settings as the program's
    void* library = db::SharedLibrary::Open(FbClient::FileName());
    if (library == nullptr) {
        throw BuildError("Cannot load " + FbClient::FileName() + ": " +
                         db::SharedLibrary::LastError());
    }
    FbClient api{};
#define ORVELLE_RESOLVE(name) Resolve(library, #name, api.name)
    ORVELLE_RESOLVE(isc_attach_database);
    ORVELLE_RESOLVE(isc_detach_database);
    ORVELLE_RESOLVE(isc_dsql_execute_immediate);
    ORVELLE_RESOLVE(isc_start_multiple);
    ORVELLE_RESOLVE(isc_commit_transaction);
    ORVELLE_RESOLVE(isc_rollback_transaction);
    ORVELLE_RESOLVE(isc_dsql_alloc_statement2);
    ORVELLE_RESOLVE(isc_dsql_prepare);
    ORVELLE_RESOLVE(isc_dsql_describe_bind);
    ORVELLE_RESOLVE(isc_dsql_execute);
    ORVELLE_RESOLVE(isc_dsql_free_statement);
    ORVELLE_RESOLVE(isc_create_blob2);
    ORVELLE_RESOLVE(isc_put_segment);
    ORVELLE_RESOLVE(isc_close_blob);
    ORVELLE_RESOLVE(fb_interpret);
#undef ORVELLE_RESOLVE
    return api;
}

} // namespace

const FbClient& FbClient::Get() {
    // A failed load throws out of the initialiser and is tried again on the next call.
    static const FbClient api = LoadClient();
    return api;
}

std::string FbClient::FileName() {
#ifdef _WIN32
    return "fbclient.dll";
#else
    return "libfbclient.so.2";
#endif
}

std::string FbClient::Message(const ISC_STATUS* status) const {
    std::string message;
    char buffer[1024];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0) {
        if (!message.empty()) {
            message += '\n';
        }
        message += buffer;
    }
    return message.empty() ? "unknown error" : message;
}

} // namespace orvelle::kvdbuild
