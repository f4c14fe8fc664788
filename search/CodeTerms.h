#pragma once

#include <QString>

#include <string>
#include <vector>

namespace orvelle::search {

// Codes as estimators write and type them: digit groups joined by hyphens or dots, with an
// optional letter prefix that may or may not be followed by a blank ("01-01-003-02",
// "ФЕР 12.1", "ГЭСН81-02-01-2001", "ТЕР01-01-003-02").
struct Code {
    QString text;       // as written
    std::string whole;  // prefix and digits, lower case, no blank: "гэсн81-02-01-2001"
    std::string digits; // the digit groups alone: "81-02-01-2001"
};

// Every code in `text`, in order of appearance.
std::vector<Code> FindCodes(const QString& text);

// The extra terms a code gives a document; a query for a code looks for either.
std::string CodeTerm(const std::string& normalised);

} // namespace orvelle::search
