#pragma once

#include <string>

namespace orvelle::db {

// The folder where this user's programs keep what they derive from libraries: the embedded
// engine's configuration and lock folder, the private copies of libraries and their search
// indexes. $XDG_CACHE_HOME/orvelle, else $HOME/.cache/orvelle, else (no home, as under some
// service managers) $XDG_RUNTIME_DIR/orvelle-cache; on Windows %LOCALAPPDATA%\cache\orvelle.
// Never a shared name under /tmp. Raises EIBClientError, naming the variables, when none is set.
std::string UserCacheFolder();

// Makes `folder` (and any missing parent) for this user only: 0700, tightened when it exists
// with more. A folder in its place that belongs to another user, or that is no folder, is
// moved aside and made afresh when its parent is ours, else refused. Raises EIBClientError
// naming the folder and the reason. Nothing on Windows, where the profile is private already.
void MakePrivateFolder(const std::string& folder);

// The whole of a small file; empty when it cannot be read.
std::string ReadSmallFile(const std::string& path);

// Puts `text` in the file at `path`, readable and writable by this user only, whole or not at
// all: through a new file renamed into place, so that a reader sees the old text or the new.
bool WriteSmallFile(const std::string& path, const std::string& text);

// Takes the rights of others away from every folder (0700) and file (0600) below `folder`,
// itself included; what cannot be changed is left as it is.
void TightenPrivateTree(const std::string& folder);

} // namespace orvelle::db
