#pragma once

#include <string_view>
#include <vector>

namespace orvelle::exporter {

// orvelle-export diff OLD NEW [--entry ID [--words]] [--tree] [--progress]: what changed from
// one edition of a library to the next. `arguments` are those after "diff". Exit codes as diff
// has them: 0 no difference, 1 differences, 2 trouble (a library that cannot be read, a bad
// command line), with a message on stderr.
int DiffCommand(const std::vector<std::string_view>& arguments);

} // namespace orvelle::exporter
