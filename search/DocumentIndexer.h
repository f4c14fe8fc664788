#pragma once

#include "RegisterSnapshot.h"
#include "WordBeginnings.h"

#include <xapian.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::search {

// What an entry was indexed from, as a hash of its name, folder path and stored bytes: an entry
// whose fingerprint is unchanged is not indexed again.
std::string Fingerprint(const SnapshotEntry& entry, const std::string& content);

// Turns entries into index documents: the name and the document's title weigh most, headings
// next, the body least; «ё» is folded to «е», words are stemmed as Russian, codes get terms of
// their own. Keeps the body text for snippets. One per thread; the documents it makes may go
// to another thread.
class DocumentIndexer {
public:
    DocumentIndexer();
    DocumentIndexer(const DocumentIndexer&) = delete;
    DocumentIndexer& operator=(const DocumentIndexer&) = delete;

    Xapian::Document Make(const SnapshotEntry& entry, const std::string& content,
                          const std::string& fingerprint);
    // The word forms met for the first time since the last call, for the index's list of them
    // (AddWordForms).
    std::vector<WordForm> TakeNewWordForms();

private:
    Xapian::TermGenerator generator_;
    std::vector<WordForm> newForms_;
};

} // namespace orvelle::search
