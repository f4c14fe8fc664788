// make-demo-library: builds a sample estimator's reference library (.kvd) for trying the
// viewer out. The file is built under a temporary name beside the output and renamed at the
// end, so a failed run never leaves a half-built library behind.

#include "Cp1251.h"
#include "LibraryWriter.h"
#include "Manifest.h"

#include <kvdbuild/KvdBuilder.h>

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;
using namespace orvelle::demolibrary;

namespace {

const char* const kUsage = "usage: make-demo-library [--content DIR] OUTPUT.kvd\n"
                           "  Builds the demo document library into OUTPUT.kvd, which must not "
                           "exist yet.\n"
                           "  --content DIR  folder holding library.txt and the pages\n"
                           "                 (default: " ORVELLE_DEMO_CONTENT_DIR ")\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "make-demo-library: %s\n", message.c_str());
    return 1;
}

void RemoveQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    std::string contentDir = ORVELLE_DEMO_CONTENT_DIR;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--content") {
            if (i + 1 >= argc) {
                return Fail("--content needs a folder\n" + std::string(kUsage));
            }
            contentDir = argv[++i];
        } else if (arg.rfind("--content=", 0) == 0) {
            contentDir = arg.substr(10);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option " + arg + "\n" + kUsage);
        } else if (output.empty()) {
            output = arg;
        } else {
            return Fail("only one output file, please\n" + std::string(kUsage));
        }
    }
    if (output.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    std::error_code ec;
    const fs::path target = fs::absolute(fs::path(output), ec);
    if (ec) {
        return Fail(output + ": " + ec.message());
    }
    if (fs::exists(fs::symlink_status(target, ec))) {
        return Fail(target.string() + " already exists; remove it or choose another name");
    }
    const fs::path folder = target.parent_path();
    if (!fs::is_directory(folder, ec)) {
        return Fail("cannot write " + target.string() + ": folder " + folder.string() +
                    " does not exist");
    }

    const fs::path partial = folder / (target.filename().string() + ".partial-" +
                                       std::to_string(QCoreApplication::applicationPid()));
    if (fs::exists(fs::symlink_status(partial, ec))) {
        return Fail(partial.string() + " is in the way; remove it and try again");
    }

    LibraryFigures figures;
    try {
        const std::vector<ManifestEntry> entries =
            LoadManifest((fs::path(contentDir) / "library.txt").string());
        Cp1251Encoder encoder;
        // On failure the builder is detached by unwinding before the handler removes the file.
        auto builder = orvelle::kvdbuild::KvdBuilder::Create(partial.string(), 3);
        figures = WriteLibrary(builder, entries, contentDir, encoder);
        builder.Close();
    } catch (const std::exception& e) {
        RemoveQuietly(partial);
        return Fail("cannot build " + target.string() + ": " + e.what());
    }

    // Someone may have created the output meanwhile; never replace it.
    if (fs::exists(fs::symlink_status(target, ec))) {
        RemoveQuietly(partial);
        return Fail(target.string() + " appeared while building; left it untouched");
    }
    fs::rename(partial, target, ec);
    if (ec) {
        RemoveQuietly(partial);
        return Fail("cannot rename " + partial.string() + " to " + target.string() + ": " +
                    ec.message());
    }

    std::printf("%s: %d folders, %d documents, %d pages, %.1f MB of text (largest %.1f MB)\n",
                target.string().c_str(), figures.folders, figures.documents, figures.contents,
                figures.contentBytes / 1048576.0, figures.largestContent / 1048576.0);
    return 0;
}
