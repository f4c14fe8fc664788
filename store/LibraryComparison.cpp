#include "LibraryComparison.h"

#include "Library.h"
#include "NormalizedText.h"
#include "RegisterQueries.h"
#include "RegisterWalk.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace orvelle::store {

namespace {

// Keeps what the walk adds, with each item's place, so the tree can be listed in its order
// (the walk reads a whole level before it descends).
class CollectingSink final : public RegisterSink {
public:
    struct Node {
        std::unique_ptr<TUzel> entry;
        std::vector<int> children;
    };

    Item AddItem(Item parent, std::unique_ptr<TUzel> entry) override {
        const int index = static_cast<int>(nodes_.size());
        nodes_.push_back({std::move(entry), {}});
        if (parent) {
            nodes_[static_cast<std::size_t>(reinterpret_cast<std::intptr_t>(parent) - 1)]
                .children.push_back(index);
        } else {
            topLevel_.push_back(index);
        }
        return reinterpret_cast<Item>(static_cast<std::intptr_t>(index) + 1);
    }

    // Depth first, as the tree shows it, without recursion (registers can be deep). An id met
    // again (a register that loops or repeats ids) is left out with what is below it.
    std::vector<ComparedEntry> InTreeOrder() {
        std::vector<ComparedEntry> entries;
        entries.reserve(nodes_.size());
        std::unordered_set<std::int32_t> seen;
        seen.reserve(nodes_.size());
        std::vector<std::pair<int, int>> stack; // node, index of its folder in `entries`
        for (auto it = topLevel_.rbegin(); it != topLevel_.rend(); ++it) {
            stack.emplace_back(*it, -1);
        }
        while (!stack.empty()) {
            const auto [node, parent] = stack.back();
            stack.pop_back();
            TUzel& entry = *nodes_[static_cast<std::size_t>(node)].entry;
            if (!seen.insert(entry.id).second) {
                continue;
            }
            entries.push_back({entry.id, entry.idCONTENTS,
                               parent >= 0 ? entries[static_cast<std::size_t>(parent)].id : 0,
                               parent, entry.IsFolder(), std::move(entry.name)});
            const int placed = static_cast<int>(entries.size()) - 1;
            const std::vector<int>& children = nodes_[static_cast<std::size_t>(node)].children;
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                stack.emplace_back(*it, placed);
            }
        }
        return entries;
    }

private:
    std::vector<Node> nodes_;
    std::vector<int> topLevel_;
};

std::unordered_map<std::int32_t, int> IndexById(const std::vector<ComparedEntry>& entries) {
    std::unordered_map<std::int32_t, int> byId;
    byId.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        byId.emplace(entries[i].id, static_cast<int>(i));
    }
    return byId;
}

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

std::string JoinPath(const std::vector<ComparedEntry>& entries, int index, bool withOwnName) {
    std::vector<const std::string*> names;
    for (int at = withOwnName ? index : entries[static_cast<std::size_t>(index)].parentIndex;
         at >= 0; at = entries[static_cast<std::size_t>(at)].parentIndex) {
        names.push_back(&entries[static_cast<std::size_t>(at)].name);
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!path.empty()) {
            path += " / ";
        }
        path += **it;
    }
    return path;
}

} // namespace

std::vector<ComparedEntry> ReadComparedEntries(Library& library) {
    CollectingSink sink;
    WalkRegister(library.Query(), 0, nullptr, sink);
    return sink.InTreeOrder();
}

std::size_t LibraryComparison::Count(EntryChange change) const {
    return static_cast<std::size_t>(
        std::count_if(differences.begin(), differences.end(),
                      [change](const EntryDifference& d) { return (d.changes & change) != 0; }));
}

std::string EntryPath(const std::vector<ComparedEntry>& entries, int index) {
    return JoinPath(entries, index, true);
}

std::string FolderPath(const std::vector<ComparedEntry>& entries, int index) {
    return JoinPath(entries, index, false);
}

LibraryComparison CompareLibraries(Library& oldLibrary, Library& newLibrary,
                                   const ComparisonHooks& hooks) {
    LibraryComparison comparison;
    comparison.oldEntries = ReadComparedEntries(oldLibrary);
    comparison.newEntries = ReadComparedEntries(newLibrary);
    const std::vector<ComparedEntry>& before = comparison.oldEntries;
    const std::vector<ComparedEntry>& after = comparison.newEntries;
    const std::unordered_map<std::int32_t, int> oldById = IndexById(before);

    std::size_t total = 0;
    for (const ComparedEntry& entry : after) {
        total += oldById.count(entry.id);
    }
    std::vector<char> kept(before.size(), 0);
    TextComparer texts(oldLibrary, newLibrary, hooks);
    std::size_t done = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        const ComparedEntry& entry = after[i];
        const auto found = oldById.find(entry.id);
        if (found == oldById.end()) {
            comparison.differences.push_back({-1, static_cast<int>(i), kAdded});
            continue;
        }
        const ComparedEntry& former = before[static_cast<std::size_t>(found->second)];
        kept[static_cast<std::size_t>(found->second)] = 1;
        unsigned changes = 0;
        if (former.name != entry.name) {
            changes |= kRenamed;
        }
        if (former.parentId != entry.parentId) {
            changes |= kMoved;
        }
        if (texts.Differs(former, entry)) {
            changes |= kChanged;
        }
        if (changes != 0) {
            comparison.differences.push_back({found->second, static_cast<int>(i), changes});
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
    const std::vector<ComparedEntry>& before = comparison.oldEntries;
    const std::vector<ComparedEntry>& after = comparison.newEntries;
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
    const std::unordered_map<std::int32_t, int> newById = IndexById(after);
    const std::unordered_map<std::int32_t, int> oldById = IndexById(before);
    for (std::size_t i = 0; i < after.size(); ++i) {
        const auto found = oldById.find(after[i].id);
        oldOfNode[i] = found == oldById.end() ? -1 : found->second;
    }

    // Children in each tree, in order; -1 stands for the top level (slot 0).
    const auto childrenOf = [](const std::vector<ComparedEntry>& entries) {
        std::vector<std::vector<int>> children(entries.size() + 1);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            children[static_cast<std::size_t>(entries[i].parentIndex + 1)].push_back(
                static_cast<int>(i));
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
            const auto kept = newById.find(before[static_cast<std::size_t>(oldFolder)].id);
            host = kept != newById.end() ? kept->second
                                         : removedNode[static_cast<std::size_t>(oldFolder)];
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
            const auto kept = newById.find(before[static_cast<std::size_t>(sibling)].id);
            if (kept != newById.end() &&
                after[static_cast<std::size_t>(kept->second)].parentIndex == host) {
                anchor = kept->second;
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
            for (const int child : newChildren[static_cast<std::size_t>(host + 1)]) {
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
