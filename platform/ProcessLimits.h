#pragma once

#include <cstdint>
#include <string>

namespace orvelle::platform {

// Limits a process sets on itself before it does untrusted work (the index builder, a process
// of its own): what it may still allocate, and a priority below the window's. Plain C++, no Qt.

// Caps the memory this process may hold at what it holds now plus `bytes`: past the cap an
// allocation fails (std::bad_alloc) instead of the machine running out of memory. On Linux the
// address space (RLIMIT_AS), on Windows the committed memory of a job object the process puts
// itself in. False, with the reason in `problem`, when the cap could not be set.
bool CapMemoryGrowth(std::uint64_t bytes, std::string& problem);

// The memory the cap above counts, as it is now (0 when it cannot be read).
std::uint64_t CountedMemory();

// Below the default priority, so a busy machine serves the window first.
void LowerOwnPriority();

} // namespace orvelle::platform
