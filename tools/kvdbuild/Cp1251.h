#pragma once

#include <string>
#include <string_view>

namespace orvelle::kvdbuild {

// Windows-1251 bytes for a UTF-8 text made of ASCII, Cyrillic letters (with Ё/ё) and the
// usual typographic signs (« » „ “ ” – — … № §, no-break space). Any other character
// throws BuildError, so test data never holds a silent substitute.
std::string Cp1251(std::u8string_view utf8);
std::string Cp1251(std::string_view utf8);

} // namespace orvelle::kvdbuild
