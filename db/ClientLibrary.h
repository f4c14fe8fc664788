#pragma once

#include <ibase.h>

#include <string>
#include <vector>

namespace orvelle::db {

// The entry points of the Firebird/InterBase client library that the components call.
struct ClientApi {
    decltype(&::isc_attach_database) isc_attach_database;
    decltype(&::isc_detach_database) isc_detach_database;
    decltype(&::isc_database_info) isc_database_info;
    decltype(&::isc_start_multiple) isc_start_multiple;
    decltype(&::isc_commit_transaction) isc_commit_transaction;
    decltype(&::isc_rollback_transaction) isc_rollback_transaction;
    decltype(&::isc_dsql_alloc_statement2) isc_dsql_alloc_statement2;
    decltype(&::isc_dsql_prepare) isc_dsql_prepare;
    decltype(&::isc_dsql_sql_info) isc_dsql_sql_info;
    decltype(&::isc_dsql_describe_bind) isc_dsql_describe_bind;
    decltype(&::isc_dsql_describe) isc_dsql_describe;
    decltype(&::isc_dsql_execute2) isc_dsql_execute2;
    decltype(&::isc_dsql_set_cursor_name) isc_dsql_set_cursor_name;
    decltype(&::isc_dsql_fetch) isc_dsql_fetch;
    decltype(&::isc_dsql_free_statement) isc_dsql_free_statement;
    decltype(&::isc_open_blob2) isc_open_blob2;
    decltype(&::isc_blob_info) isc_blob_info;
    decltype(&::isc_get_segment) isc_get_segment;
    decltype(&::isc_close_blob) isc_close_blob;
    // Spelled out: naming the deprecated declaration would warn in every includer.
    ISC_LONG(ISC_EXPORT* isc_interprete)(ISC_SCHAR*, ISC_STATUS**);
    decltype(&::isc_sqlcode) isc_sqlcode;
    decltype(&::isc_vax_integer) isc_vax_integer;
    // Optional: null where the library lacks them (InterBase's gds32.dll, old clients).
    decltype(&::isc_get_client_major_version) isc_get_client_major_version;
    decltype(&::isc_get_client_minor_version) isc_get_client_minor_version;
};

// Whether the client takes the database parameter block's UTF-8 file-name flag
// (isc_dpb_utf8_filename): Firebird 2.5 and later.
bool AcceptsUtf8FileNames(const ClientApi& api);

// The client library, loaded at run time by file name through the system's ordinary
// library search and kept for the life of the process. A failed load is tried again on the
// next call.
class ClientLibrary {
public:
    // Loads the library on first use and resolves every entry point of ClientApi; the embedded
    // engine's settings are made first (EmbeddedEngine.h). The file names are tried in order
    // and the first that loads is used. Throws EIBClientError
    // "InterBase library <first name> not found in the path. Please install InterBase to use
    // this functionality" when none is found; EIBClientError naming the file, its kind and
    // where the search looked when one was found but built for another kind of machine
    // (a 32-bit gds32.dll for this 64-bit program); EOSError with the system's message,
    // naming the entry point, when an entry point is missing.
    static const ClientApi& Load();

    // gds32.dll then fbclient.dll (a 64-bit Firebird's own client) on Windows,
    // libfbclient.so.2 elsewhere.
    static std::vector<std::string> DefaultFileNames();
    // The first of DefaultFileNames().
    static std::string DefaultFileName();
    // The first name Load() tries.
    static const std::string& FileName();
    // Tests point these at stand-ins. A change unloads the library loaded so far, so that
    // its file can be removed; no object made before may be used afterwards.
    static void SetFileName(std::string fileName);
    static void SetFileNames(std::vector<std::string> fileNames);
};

} // namespace orvelle::db
