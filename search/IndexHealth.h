#pragma once

#include <QString>

#include <xapian.h>

namespace orvelle::search {

// Whether `error` says the index's files are damaged or cannot be read (truncated, random
// bytes, an unknown format), as opposed to an index that is busy (locked, changed under a
// reader), missing or cannot be created.
bool IsDamage(const Xapian::Error& error);

// Moves a damaged index out of the way, to `folder` + ".damaged" (replacing an older one), so
// it can be built anew in its place; when it cannot be moved it is removed. Returns where it
// went, or an empty text when it was removed or there was nothing.
QString SetAsideDamagedIndex(const QString& folder);

} // namespace orvelle::search
