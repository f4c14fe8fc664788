#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvelle::store {

class Library;

// One entry of a library's tree as a comparison keeps it: small, since a comparison holds two
// registers of some hundred thousand entries; its name is kept by the register.
struct ComparedEntry {
    std::int32_t id = 0;
    std::int32_t contentId = 0;
    std::int32_t parentId = 0; // the register id of the folder the tree shows it in; 0 at the top
    int parentIndex = -1;      // that folder's index in the same register; -1 at the top
    std::uint32_t nameAt = 0;  // where the register keeps its name
    std::uint16_t nameLength = 0;
    bool folder = false;
};

// A library's tree as the comparison reads it: in the order the tree shows it (a folder, then
// what it holds), every register id once; hidden entries are not there, as in the tree.
class ComparedRegister {
public:
    std::size_t size() const { return entries_.size(); }
    const ComparedEntry& operator[](int index) const {
        return entries_[static_cast<std::size_t>(index)];
    }
    // The entry's name (Windows-1251 bytes).
    std::string_view Name(int index) const;
    // The folder names above the entry and its own name, joined by " / ".
    std::string Path(int index) const;
    // The same without the entry's own name: where it stands.
    std::string FolderPath(int index) const;
    // The index of the entry with register id `id`; -1 when the tree does not show it.
    int Find(std::int32_t id) const;

private:
    friend ComparedRegister ReadComparedRegister(Library& library);
    std::string Join(int first) const;

    std::vector<ComparedEntry> entries_;
    std::string names_;
    std::vector<std::pair<std::int32_t, int>> byId_; // sorted by id
};

ComparedRegister ReadComparedRegister(Library& library);

// What became of one entry between two editions. An entry can be renamed, moved and changed at
// once; added and removed stand alone.
enum EntryChange : unsigned {
    kAdded = 1u << 0,
    kRemoved = 1u << 1,
    kRenamed = 1u << 2, // the same id under another name
    kMoved = 1u << 3,   // the same id in another folder
    kChanged = 1u << 4, // the text a reader sees differs (not merely the markup)
};

struct EntryDifference {
    int oldIndex = -1; // in the old register; -1 for an added entry
    int newIndex = -1; // in the new register; -1 for a removed entry
    unsigned changes = 0;
};

// Two editions of a library side by side.
struct LibraryComparison {
    ComparedRegister oldEntries;
    ComparedRegister newEntries;
    // Every entry that changed in any way: the new tree's entries in its order, then the removed
    // ones in the old tree's order.
    std::vector<EntryDifference> differences;

    bool Same() const { return differences.empty(); }
    // How many differences carry `change`.
    std::size_t Count(EntryChange change) const;
};

// What a comparison needs from above the register.
struct ComparisonHooks {
    // The text a reader sees in a stored document (Windows-1251 HTML bytes), in UTF-8. Required.
    std::function<std::string(const std::string& storedBytes)> readerText;
    // ReaderTextFingerprint of an entry's document when it is already known (from an index of
    // the library made from the library as it is), by register id. Used only where both
    // editions know theirs; may be empty.
    std::function<std::optional<std::uint64_t>(std::int32_t id)> oldFingerprint;
    std::function<std::optional<std::uint64_t>(std::int32_t id)> newFingerprint;
    // Told after each entry present in both editions; may be empty.
    std::function<void(std::size_t done, std::size_t total)> progress;
};

// Compares two open libraries: their registers as the tree shows them, matched by register id,
// and the text of each document present in both. A document is read at most once, and only
// while its counterpart is read: the two stored texts of one entry are all that is held at a
// time. Where the stored bytes are equal the text is not extracted; where both fingerprints are
// known nothing is read. Failures of either library are its exceptions.
LibraryComparison CompareLibraries(Library& oldLibrary, Library& newLibrary,
                                   const ComparisonHooks& hooks);

// One row of the tree that shows a comparison: the new tree with the removed entries put back,
// greyed, where they stood in the old one.
struct MergedRow {
    int depth = 0;
    int oldIndex = -1; // as in EntryDifference; both set for an entry present in both
    int newIndex = -1;
    unsigned changes = 0;
};

// The new tree in its order with every removed entry after the nearest of its former preceding
// siblings that is still under the same folder (first when there is none), under its former
// folder (a removed folder keeps its removed entries). Moved entries show at their new place.
std::vector<MergedRow> MergedTree(const LibraryComparison& comparison);

} // namespace orvelle::store
