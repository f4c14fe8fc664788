#pragma once

#include <cstddef>
#include <string_view>

namespace orvelle::search {

// A character reference decoded: the character and how many bytes after the "&" it took.
struct DecodedReference {
    char32_t character = 0;
    std::size_t length = 0; // 0: no reference here, the "&" stands for itself
};

// The character reference that `afterAmpersand` begins with, read as a browser reads one in
// text: "#123;", "#x1F;" (the ";" may be missing; 0, surrogates and values beyond Unicode give
// U+FFFD, 0x80–0x9F the Windows-1252 characters), or a named reference of HTML 4 ("nbsp;",
// "laquo;", and the Latin-1 ones also without ";": "&copy2024").
DecodedReference DecodeCharacterReference(std::string_view afterAmpersand);

} // namespace orvelle::search
