#include "LargeLibrary.h"

#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"
#include "kvdbuild/Synthetic.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace orvelle::bench {

void BuildLargeLibrary(const std::string& path, int megabytes) {
    if (std::filesystem::exists(path)) {
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder);
    std::string html = kvdbuild::SyntheticHtml("Big", kLargeDocument, 11);
    html.resize(kLargeDocument, ' ');
    const int documents =
        std::max(1, static_cast<int>((std::size_t(megabytes) << 20) / kLargeDocument));
    std::vector<kvdbuild::RegisterRow> rows;
    for (int id = 1; id <= documents; ++id) {
        html[100] = static_cast<char>('A' + id % 26); // no two documents alike
        kvdbuild::AddContent(builder, id, html);
        kvdbuild::RegisterRow row;
        row.idparent = 0;
        row.id = id;
        row.childcount = 0;
        row.name = "Document " + std::to_string(id);
        row.orderview = id;
        row.idcontents = id;
        row.ispapka = 0;
        row.needshow = 1;
        rows.push_back(row);
        if (id % 16 == 0) {
            builder.Commit();
        }
    }
    kvdbuild::AddRegisterRows(builder, rows);
    builder.Close();
    std::printf("built %s: %d documents of 4 MB, %.0f MB, in %.1f s\n", path.c_str(), documents,
                static_cast<double>(std::filesystem::file_size(path)) / (1 << 20),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

} // namespace orvelle::bench
