#include "CorpusLibrary.h"

#include "RussianCorpus.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"

#include <algorithm>

namespace orvelle::bench {

void GenerateCorpusLibrary(const std::string& path, int documents, std::size_t documentBytes,
                           const std::function<std::uint32_t(std::uint32_t)>& textOf) {
    const RussianCorpus corpus;
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    constexpr int kPerFolder = 500;
    const int folders = (documents + kPerFolder - 1) / kPerFolder;
    std::int32_t nextId = 1;
    for (int f = 0; f < folders; ++f) {
        const std::int32_t folderId = nextId++;
        const int inFolder = std::min(kPerFolder, documents - f * kPerFolder);
        kvdbuild::AddRegisterRow(
            builder, {0, folderId, inFolder, corpus.Name(1000000 + f), f, folderId, 1, 1});
        kvdbuild::AddContent(builder, folderId, corpus.Document(1000000 + f, 600));
        for (int d = 0; d < inFolder; ++d) {
            const std::int32_t id = nextId++;
            const auto n = static_cast<std::uint32_t>(f * kPerFolder + d);
            kvdbuild::AddRegisterRow(builder, {folderId, id, 0, corpus.Name(n), d, id, 0, 1});
            kvdbuild::AddContent(builder, id,
                                 corpus.Document(textOf ? textOf(n) : n, documentBytes));
        }
        builder.Commit();
    }
    builder.Close();
}

} // namespace orvelle::bench
