#pragma once

#include <cstdint>

namespace orvelle::store {

// Copies `size` bytes from the start of file descriptor `from` into the empty file `to`:
// a reflink (shared blocks) where the file system has it, else a copy inside the kernel,
// else through a buffer. Throws std::system_error on failure. POSIX only.
void CopyFileContents(int from, int to, std::uint64_t size);

} // namespace orvelle::store
