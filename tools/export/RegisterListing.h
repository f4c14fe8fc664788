#pragma once

#include "store/RegisterWalk.h"

#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <vector>

namespace orvelle::exporter {

// The register as the viewer's tree holds it, kept in memory so it can be listed in
// display order (the walk adds a whole level before it descends).
class RegisterListing final : public store::RegisterSink {
public:
    Item AddItem(Item parent, std::unique_ptr<store::TUzel> entry) override;

    // One line per entry, depth first: two spaces per level, F or D, the register id,
    // the name in UTF-8 (EscapeForLine: always one line).
    void Print(std::ostream& out) const;
    // The entry with this register id, or nullptr.
    const store::TUzel* Find(std::int32_t id) const;

    struct SectionEntry {
        const store::TUzel* entry;
        int depth; // below the section's own entry, which is 0
    };
    // The entry with this register id and everything below it, depth first in display order;
    // empty when there is no such entry. The first entry of that id, as Find.
    std::vector<SectionEntry> Section(std::int32_t id) const;

private:
    struct Node {
        std::unique_ptr<store::TUzel> entry;
        std::vector<Node*> children;
    };
    static void Walk(const std::vector<const Node*>& roots,
                     const std::function<void(const Node&, std::size_t)>& visit);
    std::deque<Node> nodes_;
    std::vector<Node*> topLevel_;
};

} // namespace orvelle::exporter
