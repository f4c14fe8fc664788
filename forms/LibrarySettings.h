#pragma once

#include <QString>

namespace orvelle::forms {

// What the reader keeps for each library (favourites, where reading stopped) lives in the
// user's settings under "Libraries/<identity>" (LibraryIdentity.h).
QString LibraryGroup(const QString& identity);

// Records that the library file (or server name) `databaseName` now holds the library
// `identity`. When it held another one before and nothing is kept for `identity` yet, what was
// kept for the other is copied over: a new edition put in the old one's place keeps the
// reader's favourites even when its top-level folders changed. Nothing is ever removed.
void RecordLibraryPlace(const QString& databaseName, const QString& identity);

} // namespace orvelle::forms
