#pragma once

#include <string>
#include <vector>

namespace orvelle::db {

// The database parameter block for the "name=value" lines of a connection.
std::string BuildDatabaseParameterBlock(const std::vector<std::string>& lines);

} // namespace orvelle::db
