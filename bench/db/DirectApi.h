#pragma once

// The benchmark's baseline: the same work as the query object, written directly on the client
// API with nothing but what the work needs.

#include "common/DirectContext.h"

#include <cstdint>
#include <string>

namespace orvelle::bench {

// Allocates and prepares `sql` (one integer parameter), executes it with `parameter`, fetches
// every row and reads the columns idparent, id, childcount, name, orderview, idCONTENTS and
// ISPAPKA of each, then drops the statement. Returns a checksum of what was read. With
// `queryCalls` it also makes the calls the query object makes on top of that work: asks for
// the statement type, names the cursor, and closes the cursor before dropping the statement.
std::uint64_t DirectChildrenCycle(const DirectContext& context, const std::string& sql,
                                  std::int32_t parameter, bool queryCalls = false);

// Runs `sql` (one integer parameter, one blob column) and reads the first row's blob whole
// with isc_get_segment, 16384 bytes at a time.
std::string DirectBlobRead(const DirectContext& context, const std::string& sql,
                           std::int32_t parameter);

} // namespace orvelle::bench
