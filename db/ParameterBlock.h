#pragma once

#include <string>
#include <vector>

namespace orvelle::db {

// The database parameter block for the "name=value" lines of a connection; with
// utf8FileName, the flag that tells the client the file name is UTF-8 comes last.
std::string BuildDatabaseParameterBlock(const std::vector<std::string>& lines,
                                        bool utf8FileName = false);

} // namespace orvelle::db
