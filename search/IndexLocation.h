#pragma once

#include <QString>

#include <memory>
#include <string>

class QTemporaryDir;

namespace orvelle::search {

// The folder that holds the indexes of every library: "search" in the user's cache folder;
// empty when the user has none.
QString DefaultIndexRoot();

// A library's identity: the store's key of it (a hash of its canonical path, or of the server
// name as given), so a library keeps its index wherever it is opened from, two libraries never
// share one, and the cache's upkeep removes it with the library's copies.
QString LibraryIdentity(const std::string& databaseName);

// Where a library's index lives. `problem` is empty when the index has its place in the cache;
// otherwise it tells why not, and `folder` is a temporary folder that goes away with the last
// copy of this object (or is empty when even that could not be made).
struct IndexPlace {
    QString folder;
    QString problem;
    std::shared_ptr<QTemporaryDir> temporary;

    bool Usable() const { return !folder.isEmpty(); }
};

// Chooses the index folder below `root` for the library, making sure it can be written. Never
// writes anything into or beside the library.
IndexPlace ChooseIndexPlace(const QString& root, const std::string& databaseName);

} // namespace orvelle::search
