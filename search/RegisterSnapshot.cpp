#include "RegisterSnapshot.h"

#include "db/Query.h"
#include "platform/AnsiText.h"
#include "store/RegisterWalk.h"

#include <deque>
#include <memory>

namespace orvelle::search {

namespace {

class SnapshotSink final : public store::RegisterSink {
public:
    explicit SnapshotSink(const std::function<void()>& checkpoint) : checkpoint_(checkpoint) {}

    Item AddItem(Item parent, std::unique_ptr<store::TUzel> entry) override {
        if (checkpoint_) {
            checkpoint_();
        }
        const auto* above = static_cast<const Node*>(parent);
        QString path;
        if (above) {
            path = above->path;
            if (!path.isEmpty()) {
                path += QStringLiteral(" / ");
            }
            path += platform::FromAnsi(entries_[above->index].name);
        }
        entries_.push_back(
            {entry->id, entry->idCONTENTS, entry->IsFolder(), std::move(entry->name), path});
        nodes_.push_back({entries_.size() - 1, std::move(path)});
        return &nodes_.back();
    }

    std::vector<SnapshotEntry> Take() { return std::move(entries_); }

private:
    struct Node {
        std::size_t index;
        QString path; // of the entry's own children's parents: the folders above it
    };
    const std::function<void()>& checkpoint_;
    std::vector<SnapshotEntry> entries_;
    std::deque<Node> nodes_; // stable addresses for the walk's items
};

} // namespace

std::vector<SnapshotEntry> ReadRegisterSnapshot(db::Query& query,
                                                const std::function<void()>& checkpoint) {
    SnapshotSink sink(checkpoint);
    store::WalkRegister(query, 0, nullptr, sink);
    return sink.Take();
}

} // namespace orvelle::search
