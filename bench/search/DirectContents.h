#pragma once

#include "common/DirectContext.h"

#include <cstddef>

namespace orvelle::bench {

struct ContentsRead {
    std::size_t documents = 0;
    std::size_t bytes = 0;
};

// Every document's stored bytes in one pass over B_DOC_CONTENTS, straight through the client
// API: the floor under any index build.
ContentsRead ReadAllContents(const DirectContext& context);

} // namespace orvelle::bench
