#include "LibraryConnection.h"

namespace orvelle::search {

std::unique_ptr<LibraryConnection> OpenLibrary(const std::string& databaseName) {
    auto library = std::make_unique<LibraryConnection>();
    library->database.SetDefaultTransaction(&library->transaction);
    library->database.SetDatabaseName(databaseName);
    library->database.Params().Add("user_name=SYSDBA");
    library->database.Params().Add("password=cobaltine");
    library->database.Open();
    library->transaction.SetActive(true);
    return library;
}

} // namespace orvelle::search
