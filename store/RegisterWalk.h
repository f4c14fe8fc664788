#pragma once

#include "TUzel.h"

#include <cstdint>
#include <memory>

namespace orvelle::db {
class Query;
}

namespace orvelle::store {

// Where the walk puts what it reads: the tree view of the main window, or the text
// listing of the command-line exporter. Items are opaque to the walk.
class RegisterSink {
public:
    using Item = void*;
    virtual ~RegisterSink() = default;
    // Adds the entry as the last child of `parent` (nullptr: the top level) and returns
    // the new item; the sink owns the entry from now on.
    virtual Item AddItem(Item parent, std::unique_ptr<TUzel> entry) = 0;
};

// Loads the register below `parentId` depth first, one level at a time: a level is read
// whole and the shared query closed before the walk descends into that level's entries
// with a positive childcount, in display order. An entry that is its own ancestor is
// shown but not descended into again. Works without recursion, so any depth loads.
// Failures leave at once; what was added stays added.
void WalkRegister(db::Query& query, std::int32_t parentId, RegisterSink::Item parentItem,
                  RegisterSink& sink);

} // namespace orvelle::store
