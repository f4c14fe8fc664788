// orvelle-export: the viewer's view of a library, for scripts and for machines without a display.
//
//   orvelle-export tree FILE           the tree as the viewer loads it
//   orvelle-export doc FILE ID [--utf8] the content a click on register entry ID shows
//   orvelle-export index FILE          builds or refreshes the library's full-text index
//   orvelle-export search FILE QUERY [--limit N]   ranked hits with snippets
#include "RegisterListing.h"
#include "SearchCommands.h"
#include "db/Database.h"
#include "db/Errors.h"
#include "db/Query.h"
#include "db/Transaction.h"
#include "platform/AnsiText.h"
#include "store/RegisterQueries.h"

#include <charconv>
#include <cstdio>
#include <iostream>
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
                 "       orvelle-export search FILE QUERY [--limit N]\n";
    return ExitFailure;
}

// The components connected exactly as the viewer connects them.
struct Library {
    db::Database database;
    db::Transaction transaction{&database};
    db::Query query{"IBQuery1", &database, &transaction};

    explicit Library(const std::string& file) {
        database.SetDefaultTransaction(&transaction);
        database.SetDatabaseName(file);
        database.Params().Add("user_name=SYSDBA");
        database.Params().Add("password=cobaltine");
        database.Open();
        transaction.SetActive(true);
    }
};

void PrintError(const std::exception& error) {
    const auto* dbError = dynamic_cast<const db::Exception*>(&error);
    std::cerr << (dbError ? platform::FromAnsi(dbError->Message()).toStdString() : error.what())
              << '\n';
}

int Tree(const std::string& file) {
    exporter::RegisterListing listing;
    try {
        Library library(file);
        store::WalkRegister(library.query, 0, nullptr, listing);
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
        Library library(file);
        exporter::RegisterListing listing;
        store::WalkRegister(library.query, 0, nullptr, listing);
        const store::TUzel* entry = listing.Find(id);
        if (!entry) {
            std::cerr << "no register entry with id " << id << " in the tree\n";
            return ExitUnknownId;
        }
        const std::string content = store::ReadDocumentContent(library.query, entry->idCONTENTS);
        if (utf8)
            std::cout << platform::FromAnsi(content).toStdString();
        else
            std::cout.write(content.data(), static_cast<std::streamsize>(content.size()));
        std::cout.flush();
        return std::cout ? 0 : ExitFailure;
    } catch (const std::exception& error) {
        PrintError(error);
        return ExitFailure;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // documents go out byte for byte
#endif
    if (argc == 3 && std::string_view(argv[1]) == "tree")
        return Tree(argv[2]);
    if ((argc == 4 || argc == 5) && std::string_view(argv[1]) == "doc") {
        const bool utf8 = argc == 5 && std::string_view(argv[4]) == "--utf8";
        if (argc == 5 && !utf8)
            return Usage();
        return Document(argv[2], argv[3], utf8);
    }
    if (argc == 3 && std::string_view(argv[1]) == "index")
        return exporter::IndexCommand(argv[2]);
    if ((argc == 4 || argc == 6) && std::string_view(argv[1]) == "search") {
        int limit = 20;
        if (argc == 6) {
            const std::string_view option(argv[4]), value(argv[5]);
            const auto [end, failure] =
                std::from_chars(value.data(), value.data() + value.size(), limit);
            if (option != "--limit" || failure != std::errc() ||
                end != value.data() + value.size() || limit < 1)
                return Usage();
        }
        return exporter::SearchCommand(argv[2], argv[3], limit);
    }
    return Usage();
}
