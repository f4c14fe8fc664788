#pragma once

#include <cstdint>
#include <string>

namespace orvelle::store {

// How much the cache keeps: the most recently used libraries (their copies and indexes), up to
// whichever limit comes first.
struct CacheLimits {
    int libraries = 3;
    std::uint64_t bytes = std::uint64_t(20) << 30;
};

// The limits the user set in the program's settings file ($XDG_CONFIG_HOME/Orvelle/Orvelle.ini,
// normally ~/.config/Orvelle/Orvelle.ini), section [Cache]: MaxLibraries (a count) and
// MaxSizeGB (gigabytes, fractions allowed); what is missing or not a positive number keeps
// its default.
CacheLimits ReadCacheLimits();

// The bytes of the files below `folder`, at any depth.
std::uint64_t BytesBelow(const std::string& folder);

struct TidyRequest {
    std::string librariesFolder;
    std::string indexesFolder;
    std::string keepKey;        // the library being opened: never removed, counted as just used
    std::string keepState;      // the state of it about to be copied (empty: none)
    std::uint64_t incoming = 0; // that copy's size, counted while it is not there yet
};

// Clears from the cache what no program uses any more and keeps it within `limits`:
// - parts of copies whose maker is gone (killed while copying);
// - copies of a state the library no longer has (it changed since, or is gone);
// - the copies, index and record of a library that is gone, and indexes of no library (an hour
//   after they were last written);
// - least recently used libraries beyond the limits, copies and index together.
// Nothing a connection of any program holds is touched (the locks tell). Folders and files
// left get this user's rights only. Errors are ignored: the cache is only a cache.
void TidyCache(const TidyRequest& request, const CacheLimits& limits);

} // namespace orvelle::store
