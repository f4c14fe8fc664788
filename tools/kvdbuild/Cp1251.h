#pragma once

#include <string>
#include <string_view>

namespace orvelle::kvdbuild {

// Windows-1251 bytes for a UTF-8 text, through the program's own conversion. Text that is not
// UTF-8, or that holds a character Windows-1251 has no byte for, throws BuildError, so test
// data never holds a silent substitute.
std::string Cp1251(std::u8string_view utf8);
std::string Cp1251(std::string_view utf8);

} // namespace orvelle::kvdbuild
