#pragma once

#include <xapian.h>

namespace orvelle::search {

// Snowball's Russian stemmer, with the fleeting vowel of «-ок», «-ек», «-ец» taken out of
// longer stems, so that «расценок» meets «расценки» and «образец» meets «образца». The same
// stemmer serves the index, the queries and the snippets. Each stemmer made here keeps a cache
// of its own and belongs to one thread.
Xapian::Stem RussianStemmer();

} // namespace orvelle::search
