#include "Synthetic.h"

#include "Cp1251.h"
#include "Register.h"

#include <string>

namespace orvelle::kvdbuild {
namespace {

struct Level {
    std::int32_t parent;
    int depth;
};

} // namespace

std::string SyntheticHtml(const std::string& title, std::size_t size, std::uint32_t seed) {
    static const std::string words[] = {
        Cp1251(u8"смета"),    Cp1251(u8"расценка"), Cp1251(u8"норматив"), Cp1251(u8"работы"),
        Cp1251(u8"материал"), Cp1251(u8"объём"),    Cp1251(u8"Ёмкость"),  Cp1251(u8"кладка"),
        Cp1251(u8"№ 12"),     Cp1251(u8"«бетон»"),  Cp1251(u8"сечение"),  Cp1251(u8"щит"),
    };
    std::string html = "<html><head><title>" + title + "</title></head><body>\r\n<h1>" + title +
                       "</h1>\r\n<p><a href=\"#part2\">" + Cp1251(u8"Раздел 2") + "</a></p>\r\n<p>";
    std::uint32_t state = seed * 2654435761u + 1;
    const std::size_t half = size / 2;
    bool anchored = false;
    while (html.size() + 32 < size || !anchored) {
        if (!anchored && html.size() >= half) {
            html += "</p>\r\n<h2><a name=\"part2\">" + Cp1251(u8"Раздел 2") + "</a></h2>\r\n<p>";
            anchored = true;
            continue;
        }
        state = state * 1103515245u + 12345u;
        html += words[(state >> 16) % std::size(words)];
        html += ((state >> 8) % 11 == 0) ? ".\r\n" : " ";
    }
    return html + "</p>\r\n</body></html>\r\n";
}

LibrarySummary AddSyntheticLibrary(KvdBuilder& builder, const LibraryShape& shape) {
    CreateRegisterTables(builder, true);
    LibrarySummary summary;
    std::int32_t nextId = 1;
    std::vector<Level> pending{{0, 0}};
    const std::string folderWord = Cp1251(u8"Папка ");
    const std::string documentWord = Cp1251(u8"Документ ");
    for (std::size_t at = 0; at < pending.size(); ++at) {
        const Level level = pending[at];
        summary.parentIds.push_back(level.parent);
        const bool lastLevel = level.depth + 1 >= shape.depth;
        const int folders = lastLevel ? 0 : shape.foldersPerFolder;
        const int children = folders + shape.documentsPerFolder;
        for (int k = children - 1; k >= 0; --k) {
            const std::int32_t id = nextId++;
            RegisterRow row;
            row.idparent = level.parent;
            row.id = id;
            row.orderview = k + 1;
            row.needshow = 1;
            if (k < folders) {
                row.name = folderWord + std::to_string(id);
                row.ispapka = 1;
                row.childcount = (level.depth + 2 >= shape.depth ? 0 : shape.foldersPerFolder) +
                                 shape.documentsPerFolder;
                row.idcontents = 0;
                pending.push_back({id, level.depth + 1});
                ++summary.folders;
            } else {
                row.name = documentWord + std::to_string(id);
                row.ispapka = 0;
                row.childcount = 0;
                row.idcontents = 100000 + id;
                AddContent(builder, 100000 + id, SyntheticHtml(*row.name, shape.contentBytes, id));
                ++summary.documents;
            }
            AddRegisterRow(builder, row);
        }
    }
    builder.Commit();
    return summary;
}

} // namespace orvelle::kvdbuild
