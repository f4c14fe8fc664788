#pragma once

#include <string>
#include <string_view>

namespace orvelle::exporter {

// Text from a library written so that it stays on its line and cannot steer a terminal: a
// backslash as "\\", line breaks and tabs as "\n", "\r", "\t", every other control character
// (NUL, ESC, BEL, DEL, the C1 controls and the Unicode line and paragraph separators) as
// "\x1b" or "\u0085", and bytes that are no UTF-8 as "\xff". Everything else, Cyrillic
// included, goes out as it is. Every command that prints names uses it.
std::string EscapeForLine(std::string_view utf8);

} // namespace orvelle::exporter
