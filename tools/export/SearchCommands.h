#pragma once

#include <string>
#include <string_view>

namespace orvelle::exporter {

// orvelle-export index FILE: builds or refreshes the library's index in the user's cache
// folder, progress on stderr.
int IndexCommand(const std::string& file);

// orvelle-export search FILE QUERY [--limit N]: refreshes the index, then one line per hit,
// id TAB score TAB name TAB snippet, in UTF-8.
int SearchCommand(const std::string& file, const std::string& query, int limit);

} // namespace orvelle::exporter
