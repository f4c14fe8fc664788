// orvelle-export: the viewer's view of a library, for scripts and for machines without a display.
//
//   orvelle-export tree FILE           the tree as the viewer loads it
//   orvelle-export doc FILE ID [--utf8] the content a click on register entry ID shows
//   orvelle-export index FILE          builds or refreshes the library's full-text index
//   orvelle-export search FILE QUERY [--limit N]   ranked hits with snippets
//   orvelle-export pdf FILE ID OUT.pdf [--time-limit SECONDS]   a section as one PDF
#include "PdfCommand.h"
#include "RegisterListing.h"
#include "SearchCommands.h"
#include "db/Database.h"
#include "db/Errors.h"
#include "platform/AnsiText.h"
#include "platform/NativeFileName.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

using namespace orvelle;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUnknownId = 2;

int Usage() {
    std::cerr << "usage: orvelle-export tree FILE\n"
                 "       orvelle-export doc FILE ID [--utf8]\n"
                 "       orvelle-export index FILE\n"
                 "       orvelle-export search FILE QUERY [--limit N]\n"
                 "       orvelle-export pdf FILE ID OUT.pdf [--time-limit SECONDS]\n";
    return ExitFailure;
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
        library.Open(file);
        store::WalkRegister(library.Query(), 0, nullptr, listing);
    } catch (const std::exception& error) {
        listing.Print(std::cout);
        std::cout.flush();
        PrintError(error);
        return ExitFailure;
    }
    listing.Print(std::cout);
    return 0;
}

int Document(const std::string& file, std::string_view idText, bool utf8) {
    std::int32_t id = 0;
    const auto [end, failure] = std::from_chars(idText.data(), idText.data() + idText.size(), id);
    if (failure != std::errc() || end != idText.data() + idText.size()) {
        std::cerr << "not a register id: " << idText << '\n';
        return ExitUnknownId;
    }
    try {
        store::Library library;
        library.Open(file);
        exporter::RegisterListing listing;
        store::WalkRegister(library.Query(), 0, nullptr, listing);
        const store::TUzel* entry = listing.Find(id);
        if (!entry) {
            std::cerr << "no register entry with id " << id << " in the tree\n";
            return ExitUnknownId;
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
                    throw std::runtime_error("cannot write the document to the standard output");
                }
            });
        std::cout.flush();
        if (!std::cout) {
            std::cerr << "cannot write the document to the standard output\n";
            return ExitFailure;
        }
        return 0;
    } catch (const std::exception& error) {
        PrintError(error);
        return ExitFailure;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    platform::UseSystemCharacterSet(); // file names reach the client as the system spells them
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // documents go out byte for byte
#endif
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
    if ((argc == 5 || argc == 7) && std::string_view(argv[1]) == "pdf") {
        return exporter::PdfCommand(argc, argv);
    }
    return Usage();
}
