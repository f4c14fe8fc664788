#pragma once

#include <cstdint>
#include <functional>

namespace orvelle::store {

// Told how many bytes are copied so far, a few times a second at most and at the end; returns
// false to stop the copy.
using CopyProgress = std::function<bool(std::uint64_t copied)>;

// Copies `size` bytes from the start of file descriptor `from` into the empty file `to`:
// a reflink (shared blocks) where the file system has it, else a copy inside the kernel,
// else through a buffer, in pieces of a few megabytes so that `progress` can follow and stop
// it. Returns false when `progress` stopped it (the target then holds a part). Throws
// std::system_error on failure. POSIX only.
bool CopyFileContents(int from, int to, std::uint64_t size, const CopyProgress& progress = {});

} // namespace orvelle::store
