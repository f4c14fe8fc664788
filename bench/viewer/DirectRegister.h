#pragma once

// The floor the viewer's tree load is measured against: the same register reads written
// directly on the client API, with nothing but what the work needs.

#include "common/DirectContext.h"

#include <cstdint>
#include <string>

namespace orvelle::bench {

struct DirectReadResult {
    int rows = 0;
    int statements = 0;
    std::uint64_t checksum = 0; // of the seven columns read
};

// The children statement exactly as the viewer's query sends it, ":paretq" made positional.
std::string ChildrenStatementText();

// What the tree load reads: per parent one statement (allocated, prepared, executed with the
// parent's id, every row fetched and its columns idparent, id, childcount, name, orderview,
// idCONTENTS and ISPAPKA read, then dropped), a level read whole before descending, depth
// first, into the entries with a positive childcount in display order.
DirectReadResult DirectChildrenWalk(const DirectContext& context, std::int32_t rootId);

// The whole visible register in one statement ordered by parent and display order, every row
// fetched and the same seven columns read.
DirectReadResult DirectWholeRegister(const DirectContext& context);

} // namespace orvelle::bench
