#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvelle::search {

// Codes as estimators write and type them: digit groups joined by hyphens or dots, with an
// optional letter prefix that may or may not be followed by a blank ("01-01-003-02",
// "ФЕР 12.1", "ГЭСН81-02-01-2001", "ТЕР01-01-003-02").
struct Code {
    std::string text;   // as written, UTF-8
    std::string whole;  // prefix and digits, lower case, no blank: "гэсн81-02-01-2001"
    std::string digits; // the digit groups alone: "81-02-01-2001"
};

// Every code in the UTF-8 `text`, in order of appearance: a word of one to eight letters, a
// blank or nothing, then digit groups (at least two) with "-" or "." between them; no letter,
// digit or "_" just before or after. A code followed by a letter or digit loses its last group
// ("1.2.3a" gives "1.2"), and a word of more than eight letters right before the digits (no
// blank) gives no code.
std::vector<Code> FindCodes(std::string_view text);

// The extra terms a code gives a document; a query for a code looks for either.
std::string CodeTerm(const std::string& normalised);

} // namespace orvelle::search
