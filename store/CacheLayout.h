#pragma once

#include <string>

namespace orvelle::store {

// Where the user's cache keeps what our programs derive from libraries, and the naming rule
// that ties the parts of one library together, shared with the search index (which lives in
// the search layer and must not be included from here):
//
//   <cache>/libraries/<key>.library        the library's name; its time is the last use
//   <cache>/libraries/<key>.lock           held (shared) by every connection to the library
//   <cache>/libraries/<key>-<state>.kvd    the private copy of one state of the library
//   <cache>/search/<key>/                  the library's full-text index
//
// <cache> is db::UserCacheFolder(); <key> is LibraryKey of the library's name.

// True for names that reach a server: host:path, host/port:path and URL-like names ("C:" is a
// drive, not a host).
bool IsServerName(const std::string& databaseName);

// The name a library is known by: a local file's full path with links resolved, or the name
// as given (a server's, or a file that does not exist).
std::string CanonicalName(const std::string& databaseName);

// Sixteen hexadecimal digits that stand for `text` (a 64-bit FNV-1a hash).
std::string HashName(const std::string& text);

// Sixteen hexadecimal digits that stand for the library (a hash of its canonical name), so it
// keeps its copies and its index wherever it is opened from.
std::string LibraryKey(const std::string& databaseName);

// <cache>/libraries and <cache>/search; raise EIBClientError when the user has no cache folder.
std::string LibrariesFolder();
std::string IndexesFolder();

} // namespace orvelle::store
