#include "CodeTerms.h"

#include "IndexSchema.h"

#include <QChar>
#include <QString>

namespace orvelle::search {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The character that starts at `at` (UTF-8), and its length; a malformed byte reads as U+FFFD.
char32_t CharacterAt(std::string_view text, std::size_t at, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (lead < 0x80) {
        return lead;
    }
    if (lead < 0xC0 || at + length > text.size()) {
        length = 1;
        return 0xFFFD;
    }
    char32_t c = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return c;
}

// The start of the character that ends just before `at`.
std::size_t PreviousStart(std::string_view text, std::size_t at) {
    std::size_t start = at - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80 &&
           at - start < 4) {
        --start;
    }
    return start;
}

bool IsLetter(char32_t c) {
    return QChar::isLetter(c);
}

bool IsWordCharacter(char32_t c) {
    return c == '_' || QChar::isLetterOrNumber(c);
}

bool WordCharacterBefore(std::string_view text, std::size_t at) {
    if (at == 0) {
        return false;
    }
    std::size_t length = 0;
    return IsWordCharacter(CharacterAt(text, PreviousStart(text, at), length));
}

// Where a letter prefix of one to eight letters starts that ends at `end` and begins a word;
// npos when there is none.
std::size_t PrefixStart(std::string_view text, std::size_t end) {
    std::size_t start = end;
    for (int letters = 0; start > 0; ++letters) {
        const std::size_t previous = PreviousStart(text, start);
        std::size_t length = 0;
        if (!IsLetter(CharacterAt(text, previous, length))) {
            break;
        }
        if (letters == 8) {
            return std::string_view::npos; // nine letters or more
        }
        start = previous;
    }
    if (start == end || WordCharacterBefore(text, start)) {
        return std::string_view::npos;
    }
    return start;
}

} // namespace

std::vector<Code> FindCodes(std::string_view text) {
    std::vector<Code> codes;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && !IsDigit(text[at])) {
            ++at;
        }
        if (at == text.size()) {
            break;
        }
        const std::size_t digitsStart = at;
        // Digit groups: each group's end, the first one's included.
        std::vector<std::size_t> groupEnds;
        std::size_t end = at;
        while (end < text.size() && IsDigit(text[end])) {
            ++end;
        }
        groupEnds.push_back(end);
        while (end + 1 < text.size() && (text[end] == '-' || text[end] == '.') &&
               IsDigit(text[end + 1])) {
            end += 1;
            while (end < text.size() && IsDigit(text[end])) {
                ++end;
            }
            groupEnds.push_back(end);
        }
        // A letter or digit right after: the last group cannot end the code.
        if (end < text.size()) {
            std::size_t length = 0;
            if (IsWordCharacter(CharacterAt(text, end, length))) {
                groupEnds.pop_back();
            }
        }
        // Where the code starts: a letter prefix, with or without a blank before the digits,
        // or the digits themselves when nothing of a word stands before them.
        std::size_t start = std::string_view::npos;
        std::size_t prefixEnd = digitsStart;
        if (digitsStart > 0 && text[digitsStart - 1] == ' ') {
            prefixEnd = digitsStart - 1;
        }
        if (prefixEnd > 0) {
            start = PrefixStart(text, prefixEnd);
        }
        if (start == std::string_view::npos && !WordCharacterBefore(text, digitsStart)) {
            start = digitsStart;
            prefixEnd = digitsStart;
        }
        if (groupEnds.size() < 2 || start == std::string_view::npos) {
            at = groupEnds.front(); // a later digit run may still start a code
            continue;
        }
        const std::size_t codeEnd = groupEnds.back();
        Code code;
        code.text = std::string(text.substr(start, codeEnd - start));
        code.digits = std::string(text.substr(digitsStart, codeEnd - digitsStart));
        const std::string_view prefix = text.substr(start, prefixEnd - start);
        code.whole = QString::fromUtf8(prefix.data(), static_cast<qsizetype>(prefix.size()))
                         .toLower()
                         .toStdString() +
                     code.digits;
        codes.push_back(std::move(code));
        at = codeEnd;
    }
    return codes;
}

std::string CodeTerm(const std::string& normalised) {
    return kCodePrefix + normalised;
}

} // namespace orvelle::search
