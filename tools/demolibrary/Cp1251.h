#pragma once

#include <QString>

#include <stdexcept>
#include <string>

namespace orvelle::demolibrary {

// Raised when a text cannot be stored in the library's code page.
class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Turns Unicode text into the Windows-1251 bytes the library stores, through the same
// conversion the viewer reads them back with.
class Cp1251Encoder {
public:
    // Every character must have a byte; throws EncodingError naming the first one that has
    // none. Used for register names, which are plain text.
    std::string EncodeStrict(const QString& text);

    // HTML text: a character without a byte (₽, emoji, ...) becomes a numeric character
    // reference, so the page still shows it.
    std::string EncodeHtml(const QString& text);
};

} // namespace orvelle::demolibrary
