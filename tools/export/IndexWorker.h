#pragma once

#include <cstdint>
#include <string>

namespace orvelle::exporter {

// orvelle-export index-worker FILE FOLDER [--memory-mb N]: the index builder as IndexProcess
// runs it, in a process of its own: orders on standard input, progress lines on standard
// output (search/BuildProtocol.h), its memory capped at N megabytes beyond what it holds once
// started. Returns the process's exit code.
int IndexWorkerCommand(const std::string& file, const std::string& folder,
                       std::uint64_t memoryMegabytes);

} // namespace orvelle::exporter
