#pragma once

#include <string>

namespace orvelle::db {

// The embedded engine of each of our processes runs in SuperClassic mode, with a lock folder
// of the user's own that every process of the user shares. So several processes (two viewers,
// orvelle-export, the index builder) can attach one file at the same time, and another user's
// /tmp/firebird is never touched. The mode is a setting of the engine's configuration root,
// not of a connection: the root is a private folder in the user's cache holding a
// firebird.conf that sets it (and then takes in the system's own file) and links to the
// system's engine files. FIREBIRD and FIREBIRD_LOCK point at the two folders; both must be set
// before the client library is loaded, which is why the loaders call Prepare first.
//
// On Windows nothing is done: gds32.dll there is the client of a server.
struct EmbeddedEngineFolders {
    std::string root; // empty when the engine runs with the system's settings
    std::string lock;
};

// Sets up the folders and the environment once per process; later calls do nothing. When the
// system's engine files are not found or the folders cannot be made, the environment is left
// as it was (a copy is then refused later with its own message).
void PrepareEmbeddedEngine();

// What Prepare set up; empty folders before it ran or when it could not.
EmbeddedEngineFolders EmbeddedEngine();

// Makes the folders again when something removed them since (the cache may be emptied at any
// time): called before each attach of a local file.
void EnsureEmbeddedEngineFolders();

} // namespace orvelle::db
