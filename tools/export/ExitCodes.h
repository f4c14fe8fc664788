#pragma once

namespace orvelle::exporter {

// orvelle-export's exit codes, as the README lists them.
inline constexpr int kExitDone = 0;              // also a search that finds nothing
inline constexpr int kExitLibraryUnreadable = 1; // the library could not be read
inline constexpr int kExitNoSuchEntry = 2;       // no entry with that id in the tree
inline constexpr int kExitIndexFailed = 3;       // the search index could not be built or read
inline constexpr int kExitOutputFailed = 4;      // the standard output could not be written
inline constexpr int kExitUsage = 64;            // the command line is not understood

} // namespace orvelle::exporter
