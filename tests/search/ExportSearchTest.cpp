// orvelle-export search and index, run as a separate program with a cache folder of its own.
#include "SearchLibrary.h"
#include "fixtures/Databases.h"
#include "fixtures/ExportRun.h"
#include "fixtures/TempDir.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace orvelle;
using namespace orvelle::searchtest;

fixtures::ExportRun Export(const QStringList& arguments, const std::string& cache) {
    return fixtures::RunExport(QStringLiteral(ORVELLE_EXPORT), arguments, cache);
}

TEST(ExportSearch, LinesExitCodesAndTheIndexInTheCache) {
    fixtures::TempDir folder;
    const QString library = QString::fromStdString(folder.File("library.kvd"));
    BuildSearchLibrary(library.toStdString());
    const std::string cache = folder.File("cache");

    const fixtures::ExportRun index = Export({"index", library}, cache);
    EXPECT_EQ(index.exitCode, 0) << index.err.toStdString();
    EXPECT_TRUE(index.out.isEmpty());
    EXPECT_TRUE(index.err.contains("14/14")) << index.err.toStdString();

    const fixtures::ExportRun found =
        Export({"search", library, "расценкам", "--limit", "1"}, cache);
    EXPECT_EQ(found.exitCode, 0) << found.err.toStdString();
    const QStringList lines = QString::fromUtf8(found.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << found.out.toStdString();
    const QStringList fields = lines[0].split('\t');
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[0], QString::number(kPriceTitle));
    EXPECT_GT(fields[1].toDouble(), 0.0);
    EXPECT_EQ(fields[2], QStringLiteral("Расценки на земляные работы"));
    EXPECT_TRUE(fields[3].contains(QStringLiteral("<mark>"))) << fields[3].toStdString();

    const fixtures::ExportRun nothing = Export({"search", library, "несуществующееслово"}, cache);
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_TRUE(nothing.out.isEmpty());

    // The index went to the cache folder, nothing beside the library.
    EXPECT_TRUE(std::filesystem::exists(cache + "/orvelle/search"));
    int files = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(folder.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 2);
}

// The one index below the cache folder.
std::filesystem::path IndexFolder(const std::string& cache) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(cache) / "orvelle/search")) {
        if (entry.path().extension() != ".damaged") {
            return entry.path();
        }
    }
    return {};
}

TEST(ExportSearch, DamagedIndexIsSetAsideAndBuiltAnew) {
    fixtures::TempDir folder;
    const QString library = QString::fromStdString(folder.File("library.kvd"));
    BuildSearchLibrary(library.toStdString());
    const std::string cache = folder.File("cache");
    ASSERT_EQ(Export({"index", library}, cache).exitCode, 0);
    // Noise the size of what it replaces.
    const auto noise = [](std::size_t size) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        }
        return bytes;
    };
    // The postlist holds what a build reads first; the document data only a search reads.
    for (const auto& [table, truncate] :
         {std::pair{"postlist.glass", true}, {"postlist.glass", false}, {"docdata.glass", false}}) {
        for (const auto& shard : std::filesystem::directory_iterator(IndexFolder(cache))) {
            if (!shard.is_directory()) {
                continue;
            }
            const std::filesystem::path file = shard.path() / table;
            const std::string sound = fixtures::ReadFile(file);
            fixtures::WriteFile(file, truncate ? sound.substr(0, 100) : noise(sound.size()));
        }
        const fixtures::ExportRun found =
            Export({"search", library, "расценкам", "--limit", "1"}, cache);
        EXPECT_EQ(found.exitCode, 0) << table << ' ' << found.err.toStdString();
        EXPECT_TRUE(found.out.startsWith(QByteArray::number(kPriceTitle) + '\t'))
            << table << ' ' << found.out.toStdString();
        EXPECT_TRUE(found.err.contains("damaged")) << table << ' ' << found.err.toStdString();
        EXPECT_TRUE(std::filesystem::exists(IndexFolder(cache).string() + ".damaged"));
    }
}

TEST(ExportSearch, RefusalsAndUnreadableLibraries) {
    fixtures::TempDir folder;
    fixtures::WriteFile(folder.File("broken.kvd"), "not a database");
    const std::string cache = folder.File("cache");
    const QString broken = QString::fromStdString(folder.File("broken.kvd"));
    const struct {
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {{"search", QString::fromStdString(folder.File("missing.kvd")), "слово"}, 1},
        {{"search", broken, "слово"}, 1},
        {{"index", broken}, 1},
        {{"search", broken}, 64},
        {{"search", broken, "слово", "--limit", "x"}, 64},
    };
    for (const auto& c : cases) {
        const fixtures::ExportRun run = Export(c.arguments, cache);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(run.err.isEmpty());
    }
}

} // namespace
