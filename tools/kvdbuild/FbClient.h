#pragma once

#include <ibase.h>

#include <string>

namespace orvelle::kvdbuild {

// The client library entry points the builder calls. Loaded once, by file name, and kept
// for the life of the process.
struct FbClient {
    decltype(&::isc_attach_database) isc_attach_database;
    decltype(&::isc_detach_database) isc_detach_database;
    decltype(&::isc_dsql_execute_immediate) isc_dsql_execute_immediate;
    decltype(&::isc_start_multiple) isc_start_multiple;
    decltype(&::isc_commit_transaction) isc_commit_transaction;
    decltype(&::isc_rollback_transaction) isc_rollback_transaction;
    decltype(&::isc_dsql_alloc_statement2) isc_dsql_alloc_statement2;
    decltype(&::isc_dsql_prepare) isc_dsql_prepare;
    decltype(&::isc_dsql_describe_bind) isc_dsql_describe_bind;
    decltype(&::isc_dsql_execute) isc_dsql_execute;
    decltype(&::isc_dsql_free_statement) isc_dsql_free_statement;
    decltype(&::isc_create_blob2) isc_create_blob2;
    decltype(&::isc_put_segment) isc_put_segment;
    decltype(&::isc_close_blob) isc_close_blob;
    decltype(&::fb_interpret) fb_interpret;

    // Throws BuildError when the library or one of its entry points is missing.
    static const FbClient& Get();
    // fbclient.dll on Windows, libfbclient.so.2 elsewhere.
    static std::string FileName();
    // The server's text for a failed call: the status vector's messages, one per line.
    std::string Message(const ISC_STATUS* status) const;
};

} // namespace orvelle::kvdbuild
