// orvelle-export: the viewer's view of a library, for scripts and for machines without a display.
// The usage text below lists the commands.
#include "DiffCommand.h"
#include "ExitCodes.h"
#include "IndexWorker.h"
#include "OutputEscaping.h"
#include "PdfCommand.h"
#include "PreparationProgress.h"
#include "RegisterListing.h"
#include "SearchCommands.h"
#include "db/Database.h"
#include "db/Errors.h"
#include "platform/AnsiText.h"
#include "platform/NativeFileName.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <QCoreApplication>

#include <charconv>
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

using namespace orvelle;

namespace {

using namespace orvelle::exporter;

constexpr const char* kUsage =
    "usage: orvelle-export tree FILE\n"
    "       orvelle-export doc FILE ID [--utf8]\n"
    "       orvelle-export index FILE\n"
    "       orvelle-export search FILE QUERY [--limit N]\n"
    "       orvelle-export diff OLD NEW [--entry ID]\n"
    "       orvelle-export pdf FILE ID OUT.pdf [--time-limit SECONDS]\n"
    "       orvelle-export index-worker FILE INDEX-FOLDER [--memory-mb N]\n"
    "       orvelle-export --help\n"
    "\n"
    "tree    the tree as the viewer shows it: indent, F or D, id, name (one line per entry)\n"
    "doc     the stored bytes of entry ID's document (--utf8: converted to UTF-8)\n"
    "index   builds or refreshes the full-text index in the user's cache folder\n"
    "search  refreshes the index, then id TAB score TAB name TAB snippet per hit\n"
    "diff    what changed from the edition OLD to NEW, one line per change (exit 0: nothing,\n"
    "        1: something, 2: a library could not be read); --entry ID: that entry's lines\n"
    "pdf     entry ID and every entry under it as one PDF with an outline as the tree\n"
    "index-worker  the index builder as the viewer runs it (orders on stdin, progress on stdout)\n"
    "\n"
    "Names and snippets stay on their line: control characters are written as \\n, \\t,\n"
    "\\x1b..., a backslash as \\\\.\n"
    "Exit codes: 0 done, 1 the library could not be read, 2 no such entry, 3 the search index\n"
    "could not be built or read, 4 the output could not be written, 64 wrong arguments.\n";

int Usage() {
    std::cerr << kUsage;
    return kExitUsage;
}

void PrintError(const std::exception& error) {
    const auto* dbError = dynamic_cast<const db::Exception*>(&error);
    std::cerr << (dbError ? platform::FromClientMessage(dbError->Message()).toStdString()
                          : error.what())
              << '\n';
}

int Tree(const std::string& file) {
    exporter::RegisterListing listing;
    try {
        store::Library library;
        library.Open(file, exporter::PreparationProgress());
        store::WalkRegister(library.Query(), 0, nullptr, listing);
    } catch (const std::exception& error) {
        listing.Print(std::cout);
        std::cout.flush();
        PrintError(error);
        return kExitLibraryUnreadable;
    }
    listing.Print(std::cout);
    std::cout.flush();
    return std::cout ? kExitDone : kExitOutputFailed;
}

struct OutputFailed {};

int Document(const std::string& file, std::string_view idText, bool utf8) {
    std::int32_t id = 0;
    const auto [end, failure] = std::from_chars(idText.data(), idText.data() + idText.size(), id);
    if (failure != std::errc() || end != idText.data() + idText.size()) {
        std::cerr << "not a register id: " << EscapeForLine(idText) << '\n';
        return kExitNoSuchEntry;
    }
    try {
        store::Library library;
        library.Open(file, exporter::PreparationProgress());
        exporter::RegisterListing listing;
        store::WalkRegister(library.Query(), 0, nullptr, listing);
        const store::TUzel* entry = listing.Find(id);
        if (!entry) {
            std::cerr << "no register entry with id " << id << " in the tree\n";
            return kExitNoSuchEntry;
        }
        // Streamed: a document of any length goes out without being held whole. Windows-1251
        // is one byte per character, so each piece converts on its own.
        store::StreamDocumentContent(
            library.Query(), entry->idCONTENTS, [utf8](const char* bytes, std::size_t size) {
                if (utf8) {
                    std::cout << platform::FromAnsi(std::string(bytes, size)).toStdString();
                } else {
                    std::cout.write(bytes, static_cast<std::streamsize>(size));
                }
                if (!std::cout) {
                    throw OutputFailed{};
                }
            });
        std::cout.flush();
        if (!std::cout) {
            std::cerr << "cannot write the document to the standard output\n";
            return kExitOutputFailed;
        }
        return kExitDone;
    } catch (const OutputFailed&) {
        std::cerr << "cannot write the document to the standard output\n";
        return kExitOutputFailed;
    } catch (const std::exception& error) {
        PrintError(error);
        return kExitLibraryUnreadable;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    QCoreApplication application(argc, argv); // the index builder runs as a process of its own
    platform::UseSystemCharacterSet(); // file names reach the client as the system spells them
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // documents go out byte for byte
#endif
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << kUsage;
        std::cout.flush();
        return std::cout ? kExitDone : kExitOutputFailed;
    }
    if (argc == 3 && std::string_view(argv[1]) == "tree") {
        return Tree(argv[2]);
    }
    if ((argc == 4 || argc == 5) && std::string_view(argv[1]) == "doc") {
        const bool utf8 = argc == 5 && std::string_view(argv[4]) == "--utf8";
        if (argc == 5 && !utf8) {
            return Usage();
        }
        return Document(argv[2], argv[3], utf8);
    }
    if (argc == 3 && std::string_view(argv[1]) == "index") {
        return exporter::IndexCommand(argv[2]);
    }
    if ((argc == 4 || argc == 6) && std::string_view(argv[1]) == "index-worker") {
        unsigned long long megabytes = 2048;
        if (argc == 6) {
            const std::string_view option(argv[4]), value(argv[5]);
            const auto [end, failure] =
                std::from_chars(value.data(), value.data() + value.size(), megabytes);
            if (option != "--memory-mb" || failure != std::errc() ||
                end != value.data() + value.size()) {
                return Usage();
            }
        }
        return exporter::IndexWorkerCommand(argv[2], argv[3], megabytes);
    }
    if ((argc == 4 || argc == 6) && std::string_view(argv[1]) == "search") {
        int limit = 20;
        if (argc == 6) {
            const std::string_view option(argv[4]), value(argv[5]);
            const auto [end, failure] =
                std::from_chars(value.data(), value.data() + value.size(), limit);
            if (option != "--limit" || failure != std::errc() ||
                end != value.data() + value.size() || limit < 1) {
                return Usage();
            }
        }
        return exporter::SearchCommand(argv[2], argv[3], limit);
    }
    if (argc >= 2 && std::string_view(argv[1]) == "diff") {
        return exporter::DiffCommand(std::vector<std::string_view>(argv + 2, argv + argc));
    }
    if ((argc == 5 || argc == 7) && std::string_view(argv[1]) == "pdf") {
        return exporter::PdfCommand(argc, argv);
    }
    return Usage();
}
