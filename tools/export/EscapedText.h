#pragma once

#include <string>
#include <string_view>

namespace orvelle::exporter {

// One field of a tab-separated line: a backslash, a tab, a line break and every other control
// character are written as escapes (\\, \t, \n, \r, \xHH), so that a field never holds a tab
// or a line break whatever the library's names and texts hold. UTF-8 in, UTF-8 out.
std::string EscapeControlCharacters(std::string_view text);

} // namespace orvelle::exporter
