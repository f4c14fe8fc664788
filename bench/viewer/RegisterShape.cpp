#include "RegisterShape.h"

#include "kvdbuild/Cp1251.h"

#include <array>
#include <stdexcept>
#include <string>
#include <utility>

namespace orvelle::bench {

namespace {

constexpr std::int32_t kContentBase = 1000000;

struct Node {
    std::int32_t id;
    bool folder;
    std::vector<std::size_t> children; // indexes into the node list
};

} // namespace

BenchRegister MakeBenchRegister(int entries) {
    if (entries < 100) {
        throw std::invalid_argument("a bench register needs at least 100 entries");
    }
    const int folders = entries / 10;
    const int documents = entries - folders;
    const std::array<int, 4> share = {1, 9, 30, 60}; // per cent of the folders on each level
    std::array<int, 4> perLevel{};
    int assigned = 0;
    for (std::size_t level = 0; level < perLevel.size(); ++level) {
        perLevel[level] = std::max(1, folders * share[level] / 100);
        assigned += perLevel[level];
    }
    perLevel.back() += folders - assigned; // rounding goes to the deepest level

    // Node 0 is the root; folders are made level by level, each level spread round-robin
    // over the one above, then the documents round-robin over all folders.
    std::vector<Node> nodes{{0, true, {}}};
    std::int32_t nextId = 1;
    std::vector<std::size_t> above{0};
    std::vector<std::size_t> allFolders;
    for (const int count : perLevel) {
        std::vector<std::size_t> level;
        for (int k = 0; k < count; ++k) {
            nodes.push_back({nextId++, true, {}});
            const std::size_t index = nodes.size() - 1;
            nodes[above[static_cast<std::size_t>(k) % above.size()]].children.push_back(index);
            level.push_back(index);
            allFolders.push_back(index);
        }
        above = std::move(level);
    }
    BenchRegister result;
    for (int k = 0; k < documents; ++k) {
        nodes.push_back({nextId++, false, {}});
        nodes[allFolders[static_cast<std::size_t>(k) % allFolders.size()]].children.push_back(
            nodes.size() - 1);
        result.documentIds.push_back(nodes.back().id);
    }

    const std::string folderWord = kvdbuild::Cp1251(u8"Раздел ");
    const std::string folderTail = kvdbuild::Cp1251(u8". Сметные нормы на работы");
    const std::string documentWord = kvdbuild::Cp1251(u8"Документ № ");
    const std::string documentTail = kvdbuild::Cp1251(u8" «Расценки на кладку»");
    result.rows.reserve(static_cast<std::size_t>(entries));
    std::vector<std::size_t> parents{0};
    for (std::size_t at = 0; at < parents.size(); ++at) {
        const Node& parent = nodes[parents[at]];
        if (!parent.children.empty()) {
            ++result.parentsWithChildren;
        }
        // Folders first, then documents, as a library is usually arranged; inserted last
        // to first so that nothing may rely on insertion order.
        for (std::size_t k = parent.children.size(); k-- > 0;) {
            const Node& node = nodes[parent.children[k]];
            kvdbuild::RegisterRow row;
            row.idparent = parent.id;
            row.id = node.id;
            row.childcount = static_cast<std::int32_t>(node.children.size());
            row.orderview = static_cast<std::int32_t>(k + 1);
            row.needshow = 1;
            if (node.folder) {
                std::string name = folderWord;
                row.name = std::move(name.append(std::to_string(node.id)).append(folderTail));
                row.ispapka = 1;
                row.idcontents = 0;
                parents.push_back(parent.children[k]);
            } else {
                std::string name = documentWord;
                row.name = std::move(name.append(std::to_string(node.id)).append(documentTail));
                row.ispapka = 0;
                row.idcontents = kContentBase + node.id;
            }
            result.rows.push_back(std::move(row));
        }
    }
    result.folders = folders;
    result.documents = documents;
    return result;
}

std::string BenchDocumentHtml(const std::string& title, std::size_t size, std::uint32_t seed) {
    static const std::string words[] = {
        kvdbuild::Cp1251(u8"смета"),    kvdbuild::Cp1251(u8"расценка"),
        kvdbuild::Cp1251(u8"норматив"), kvdbuild::Cp1251(u8"работы"),
        kvdbuild::Cp1251(u8"материал"), kvdbuild::Cp1251(u8"объём"),
        kvdbuild::Cp1251(u8"Ёмкость"),  kvdbuild::Cp1251(u8"кладка"),
        kvdbuild::Cp1251(u8"№ 12"),     kvdbuild::Cp1251(u8"«бетон»"),
        kvdbuild::Cp1251(u8"сечение"),  kvdbuild::Cp1251(u8"щит"),
    };
    static const std::string header =
        kvdbuild::Cp1251(u8"<tr><th>Шифр</th><th>Наименование</th><th>Ед. изм.</th>"
                         u8"<th>Расход</th></tr>\r\n");
    const std::string unit = kvdbuild::Cp1251(u8"м3");
    std::string html = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                       "charset=windows-1251\"><title>" +
                       title + "</title></head><body>\r\n<h1>" + title + "</h1>\r\n";
    std::uint32_t state = seed * 2654435761u + 1;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    int paragraph = 0;
    while (html.size() + 32 < size) {
        if (++paragraph % 6 == 0) {
            html += "<table border=\"1\" cellpadding=\"2\">\r\n" + header;
            for (int row = 0; row < 8; ++row) {
                html += "<tr><td>" + std::to_string(paragraph) + "-" + std::to_string(row) +
                        "</td><td>" + words[next() % std::size(words)] + " " +
                        words[next() % std::size(words)] + "</td><td>" + unit + "</td><td>" +
                        std::to_string(next() % 1000) + "," + std::to_string(next() % 100) +
                        "</td></tr>\r\n";
            }
            html += "</table>\r\n";
            continue;
        }
        html += "<p>";
        for (int word = 0; word < 60; ++word) {
            html += words[next() % std::size(words)];
            html += (next() % 11 == 0) ? ". " : " ";
        }
        html += "</p>\r\n";
    }
    return html + "</body></html>\r\n";
}

} // namespace orvelle::bench
