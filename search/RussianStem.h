#pragma once

#include <xapian.h>

#include <functional>
#include <string>

namespace orvelle::search {

// Snowball's Russian stemmer, with the fleeting vowel of «-ок», «-ек», «-ец» taken out of
// longer stems, so that «расценок» meets «расценки» and «образец» meets «образца». The same
// stemmer serves the index, the queries and the snippets. Each stemmer made here keeps a cache
// of its own and belongs to one thread.
//
// `newWord`, when given, hears of each word (in lower case, as the term generator passes it)
// that the stemmer's cache did not hold, with its stem: every word form of the text, once or
// a few times.
using NewWord = std::function<void(const std::string& word, const std::string& stem)>;
Xapian::Stem RussianStemmer(NewWord newWord = {});

} // namespace orvelle::search
