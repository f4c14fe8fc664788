#include "LibraryComparison.h"

#include "Library.h"
#include "NormalizedText.h"
#include "RegisterQueries.h"
#include "RegisterWalk.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace orvelle::store {

namespace {

// Keeps what the walk adds, with each item's place, so the tree can be listed in its order
// (the walk reads a whole level before it descends). Names go into one block of text.
class CollectingSink final : public RegisterSink {
public:
    struct Node {
        ComparedEntry entry;
        int parent; // node index; -1 at the top
    };

    Item AddItem(Item parent, std::unique_ptr<TUzel> entry) override {
        const int index = static_cast<int>(nodes_.size());
        ComparedEntry compared;
        compared.id = entry->id;
        compared.contentId = entry->idCONTENTS;
        compared.folder = entry->IsFolder();
        compared.nameAt = static_cast<std::uint32_t>(names_.size());
        compared.nameLength = static_cast<std::uint16_t>(
            std::min<std::size_t>(entry->name.size(), std::numeric_limits<std::uint16_t>::max()));
        names_.append(entry->name, 0, compared.nameLength);
        nodes_.push_back(
            {compared,
             parent ? static_cast<int>(reinterpret_cast<std::intptr_t>(parent)) - 1 : -1});
        // The walk's handle is opaque: it carries the node's index.
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        return reinterpret_cast<Item>(static_cast<std::intptr_t>(index) + 1);
    }

    // Depth first, as the tree shows it, without recursion (registers can be deep). An id met
    // again (a register that loops or repeats ids) is left out with what is below it.
    void InTreeOrder(std::vector<ComparedEntry>& entries, std::string& names) {
        // Each node's children, in the order they were added, as one array cut into runs; slot
        // 0 holds the top level.
        const std::size_t count = nodes_.size();
        std::vector<int> childStart(count + 2, 0);
        for (const Node& node : nodes_) {
            ++childStart[static_cast<std::size_t>(node.parent) + 2];
        }
        for (std::size_t i = 1; i < childStart.size(); ++i) {
            childStart[i] += childStart[i - 1];
        }
        std::vector<int> children(count);
        std::vector<int> filled(childStart.begin(), childStart.end() - 1);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t slot = static_cast<std::size_t>(nodes_[i].parent) + 1;
            children[static_cast<std::size_t>(filled[slot]++)] = static_cast<int>(i);
        }
        entries.clear();
        entries.reserve(count);
        std::unordered_set<std::int32_t> seen;
        seen.reserve(count);
        std::vector<std::pair<int, int>> stack; // node, index of its folder in `entries`
        const auto pushChildren = [&](int node, int placed) {
            const std::size_t slot = static_cast<std::size_t>(node) + 1;
            for (int c = childStart[slot + 1]; c-- > childStart[slot];) {
                stack.emplace_back(children[static_cast<std::size_t>(c)], placed);
            }
        };
        pushChildren(-1, -1);
        while (!stack.empty()) {
            const auto [node, parent] = stack.back();
            stack.pop_back();
            ComparedEntry entry = nodes_[static_cast<std::size_t>(node)].entry;
            if (!seen.insert(entry.id).second) {
                continue;
            }
            entry.parentIndex = parent;
            entry.parentId = parent >= 0 ? entries[static_cast<std::size_t>(parent)].id : 0;
            entries.push_back(entry);
            pushChildren(node, static_cast<int>(entries.size()) - 1);
        }
        names = std::move(names_);
    }

private:
    std::vector<Node> nodes_;
    std::string names_;
};

// Whether the text a reader sees differs between the two editions of one entry.
class TextComparer {
public:
    TextComparer(Library& oldLibrary, Library& newLibrary, const ComparisonHooks& hooks)
        : oldReader_(oldLibrary.Query()), newReader_(newLibrary.Query()), hooks_(hooks) {}

    bool Differs(const ComparedEntry& before, const ComparedEntry& after) {
        if (hooks_.oldFingerprint && hooks_.newFingerprint) {
            const std::optional<std::uint64_t> known = hooks_.oldFingerprint(before.id);
            if (known) {
                if (const std::optional<std::uint64_t> now = hooks_.newFingerprint(after.id)) {
                    return *known != *now;
                }
            }
        }
        std::string oldBytes = oldReader_.Read(before.contentId);
        const std::string newBytes = newReader_.Read(after.contentId);
        if (oldBytes == newBytes) {
            return false;
        }
        const std::uint64_t oldText = ReaderTextFingerprint(hooks_.readerText(oldBytes));
        std::string().swap(oldBytes);
        return oldText != ReaderTextFingerprint(hooks_.readerText(newBytes));
    }

private:
    DocumentContentReader oldReader_;
    DocumentContentReader newReader_;
    const ComparisonHooks& hooks_;
};

} // namespace

ComparedRegister ReadComparedRegister(Library& library) {
    ComparedRegister reg;
    {
        CollectingSink sink;
        WalkRegister(library.Query(), 0, nullptr, sink);
        sink.InTreeOrder(reg.entries_, reg.names_);
    }
    reg.entries_.shrink_to_fit();
    reg.names_.shrink_to_fit();
    reg.byId_.reserve(reg.entries_.size());
    for (std::size_t i = 0; i < reg.entries_.size(); ++i) {
        reg.byId_.emplace_back(reg.entries_[i].id, static_cast<int>(i));
    }
    std::sort(reg.byId_.begin(), reg.byId_.end());
    return reg;
}

std::string_view ComparedRegister::Name(int index) const {
    const ComparedEntry& entry = (*this)[index];
    return std::string_view(names_).substr(entry.nameAt, entry.nameLength);
}

std::string ComparedRegister::Join(int first) const {
    std::vector<int> chain;
    for (int at = first; at >= 0; at = (*this)[at].parentIndex) {
        chain.push_back(at);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) {
            path += " / ";
        }
        path += Name(*it);
    }
    return path;
}

std::string ComparedRegister::Path(int index) const {
    return Join(index);
}

std::string ComparedRegister::FolderPath(int index) const {
    return Join((*this)[index].parentIndex);
}

int ComparedRegister::Find(std::int32_t id) const {
    const auto found = std::lower_bound(byId_.begin(), byId_.end(), std::pair{id, -1});
    return found != byId_.end() && found->first == id ? found->second : -1;
}

std::size_t LibraryComparison::Count(EntryChange change) const {
    return static_cast<std::size_t>(
        std::count_if(differences.begin(), differences.end(),
                      [change](const EntryDifference& d) { return (d.changes & change) != 0; }));
}

LibraryComparison CompareLibraries(Library& oldLibrary, Library& newLibrary,
                                   const ComparisonHooks& hooks) {
    LibraryComparison comparison;
    comparison.oldEntries = ReadComparedRegister(oldLibrary);
    comparison.newEntries = ReadComparedRegister(newLibrary);
    const ComparedRegister& before = comparison.oldEntries;
    const ComparedRegister& after = comparison.newEntries;
    const int newCount = static_cast<int>(after.size());

    std::size_t total = 0;
    for (int i = 0; i < newCount; ++i) {
        total += before.Find(after[i].id) >= 0;
    }
    std::vector<char> kept(before.size(), 0);
    TextComparer texts(oldLibrary, newLibrary, hooks);
    std::size_t done = 0;
    for (int i = 0; i < newCount; ++i) {
        const ComparedEntry& entry = after[i];
        const int formerIndex = before.Find(entry.id);
        if (formerIndex < 0) {
            comparison.differences.push_back({-1, i, kAdded});
            continue;
        }
        const ComparedEntry& former = before[formerIndex];
        kept[static_cast<std::size_t>(formerIndex)] = 1;
        unsigned changes = 0;
        if (before.Name(formerIndex) != after.Name(i)) {
            changes |= kRenamed;
        }
        if (former.parentId != entry.parentId) {
            changes |= kMoved;
        }
        if (texts.Differs(former, entry)) {
            changes |= kChanged;
        }
        if (changes != 0) {
            comparison.differences.push_back({formerIndex, i, changes});
        }
        if (hooks.progress) {
            hooks.progress(++done, total);
        }
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!kept[i]) {
            comparison.differences.push_back({static_cast<int>(i), -1, kRemoved});
        }
    }
    return comparison;
}

std::vector<MergedRow> MergedTree(const LibraryComparison& comparison) {
    const ComparedRegister& before = comparison.oldEntries;
    const ComparedRegister& after = comparison.newEntries;
    const int newCount = static_cast<int>(after.size());

    // Nodes: the new entries by their index, then the removed ones (newCount + k); oldOfNode
    // holds each node's index in the old register.
    std::vector<unsigned> changesOfNew(after.size(), 0);
    std::vector<int> removedNode(before.size(), -1);
    std::vector<int> oldOfNode(after.size(), -1);
    for (const EntryDifference& d : comparison.differences) {
        if (d.newIndex >= 0) {
            changesOfNew[static_cast<std::size_t>(d.newIndex)] = d.changes;
        } else {
            removedNode[static_cast<std::size_t>(d.oldIndex)] = static_cast<int>(oldOfNode.size());
            oldOfNode.push_back(d.oldIndex);
        }
    }
    for (int i = 0; i < newCount; ++i) {
        oldOfNode[static_cast<std::size_t>(i)] = before.Find(after[i].id);
    }

    // Children in each tree, in order; -1 stands for the top level (slot 0).
    const auto childrenOf = [](const ComparedRegister& entries) {
        std::vector<std::vector<int>> children(entries.size() + 1);
        for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
            children[static_cast<std::size_t>(entries[i].parentIndex) + 1].push_back(i);
        }
        return children;
    };
    const std::vector<std::vector<int>> newChildren = childrenOf(after);
    const std::vector<std::vector<int>> oldChildren = childrenOf(before);

    // Where each removed entry goes back: under the node that stands for its former folder,
    // after the nearest former sibling found there (or first: anchor -1).
    const auto key = [](int host, int anchor) {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(host + 1)) << 32) |
               static_cast<std::uint32_t>(anchor + 1);
    };
    std::unordered_map<std::uint64_t, std::vector<int>> followers;
    for (std::size_t slot = 0; slot < oldChildren.size(); ++slot) {
        const int oldFolder = static_cast<int>(slot) - 1;
        int host = -1;
        if (oldFolder >= 0) {
            const int kept = after.Find(before[oldFolder].id);
            host = kept >= 0 ? kept : removedNode[static_cast<std::size_t>(oldFolder)];
            if (host < 0) {
                continue; // the folder is neither kept nor removed: cannot happen
            }
        }
        int anchor = -1;
        for (const int sibling : oldChildren[slot]) {
            const int node = removedNode[static_cast<std::size_t>(sibling)];
            if (node >= 0) {
                followers[key(host, anchor)].push_back(node);
                anchor = node;
                continue;
            }
            const int kept = after.Find(before[sibling].id);
            if (kept >= 0 && after[kept].parentIndex == host) {
                anchor = kept;
            }
        }
    }

    // The rows: depth first through every node's children, each followed by the removed
    // entries that come after it.
    std::vector<MergedRow> rows;
    rows.reserve(oldOfNode.size());
    std::vector<std::pair<int, int>> stack; // node (-1: the top), depth of its children
    std::vector<int> ordered;
    std::vector<int> chain;
    const auto orderedChildren = [&](int host) {
        ordered.clear();
        const auto expand = [&](int start) {
            chain.assign(1, start);
            while (!chain.empty()) {
                const int node = chain.back();
                chain.pop_back();
                if (node >= 0) {
                    ordered.push_back(node);
                }
                const auto found = followers.find(key(host, node));
                if (found != followers.end()) {
                    chain.insert(chain.end(), found->second.rbegin(), found->second.rend());
                }
            }
        };
        expand(-1);
        if (host < newCount) {
            for (const int child : newChildren[static_cast<std::size_t>(host) + 1]) {
                expand(child);
            }
        }
    };
    orderedChildren(-1);
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
        stack.emplace_back(*it, 0);
    }
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        MergedRow row;
        row.depth = depth;
        if (node < newCount) {
            row.newIndex = node;
            row.oldIndex = oldOfNode[static_cast<std::size_t>(node)];
            row.changes = changesOfNew[static_cast<std::size_t>(node)];
        } else {
            row.oldIndex = oldOfNode[static_cast<std::size_t>(node)];
            row.changes = kRemoved;
        }
        rows.push_back(row);
        orderedChildren(node);
        for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
            stack.emplace_back(*it, depth + 1);
        }
    }
    return rows;
}

} // namespace orvelle::store
