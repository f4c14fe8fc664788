#include "RegisterWalk.h"

#include "RegisterQueries.h"
#include "db/Query.h"

#include <vector>

namespace orvelle::store {

namespace {

// One item added at a level, with what the walk needs to descend into it.
struct LevelCell {
    RegisterSink::Item item;
    std::int32_t id;
    std::int32_t childcount;
};

// A level whose items are being descended into, one after another.
struct Level {
    std::int32_t parentId;
    std::vector<LevelCell> cells;
    std::size_t next = 0;
};

Level ReadLevel(db::Query& query, std::int32_t parentId, RegisterSink::Item parentItem,
                RegisterSink& sink) {
    Level level{parentId, {}};
    OpenChildrenQuery(query, parentId);
    while (!query.Eof()) {
        std::unique_ptr<TUzel> entry = ReadRegisterEntry(query);
        const std::int32_t id = entry->id;
        const std::int32_t childcount = entry->childcount;
        level.cells.push_back({sink.AddItem(parentItem, std::move(entry)), id, childcount});
        query.Next();
    }
    query.Close();
    return level;
}

bool IsOnPath(const std::vector<Level>& path, std::int32_t id) {
    for (const Level& level : path) {
        if (level.parentId == id) {
            return true;
        }
    }
    return false;
}

} // namespace

void WalkRegister(db::Query& query, std::int32_t parentId, RegisterSink::Item parentItem,
                  RegisterSink& sink) {
    std::vector<Level> path;
    path.push_back(ReadLevel(query, parentId, parentItem, sink));
    while (!path.empty()) {
        Level& level = path.back();
        if (level.next == level.cells.size()) {
            path.pop_back();
            continue;
        }
        const LevelCell cell = level.cells[level.next++];
        if (cell.childcount > 0 && !IsOnPath(path, cell.id)) {
            path.push_back(ReadLevel(query, cell.id, cell.item, sink));
        }
    }
}

} // namespace orvelle::store
