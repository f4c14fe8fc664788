#include "RegisterListing.h"

#include "OutputEscaping.h"
#include "platform/AnsiText.h"

#include <ostream>
#include <utility>

namespace orvelle::exporter {

RegisterListing::Item RegisterListing::AddItem(Item parent, std::unique_ptr<store::TUzel> entry) {
    Node& node = nodes_.emplace_back(Node{std::move(entry), {}});
    (parent ? static_cast<Node*>(parent)->children : topLevel_).push_back(&node);
    return &node;
}

void RegisterListing::Walk(const std::vector<const Node*>& roots,
                           const std::function<void(const Node&, std::size_t)>& visit) {
    // Depth first without recursion: the register may be very deep.
    std::vector<std::pair<const Node*, std::size_t>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) {
        stack.emplace_back(*it, 0);
    }
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        visit(*node, depth);
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            stack.emplace_back(*it, depth + 1);
        }
    }
}

void RegisterListing::Print(std::ostream& out) const {
    std::string line;
    Walk({topLevel_.begin(), topLevel_.end()}, [&](const Node& node, std::size_t depth) {
        const store::TUzel& entry = *node.entry;
        line.assign(depth * 2, ' ');
        line += entry.IsFolder() ? 'F' : 'D';
        line += ' ';
        line += std::to_string(entry.id);
        line += ' ';
        line += EscapeForLine(platform::FromAnsi(entry.name).toStdString());
        line += '\n';
        out << line;
    });
}

std::vector<RegisterListing::SectionEntry> RegisterListing::Section(std::int32_t id) const {
    std::vector<SectionEntry> section;
    for (const Node& node : nodes_) {
        if (node.entry->id == id) {
            Walk({&node}, [&](const Node& below, std::size_t depth) {
                section.push_back({below.entry.get(), static_cast<int>(depth)});
            });
            break;
        }
    }
    return section;
}

const store::TUzel* RegisterListing::Find(std::int32_t id) const {
    for (const Node& node : nodes_) {
        if (node.entry->id == id) {
            return node.entry.get();
        }
    }
    return nullptr;
}

} // namespace orvelle::exporter
