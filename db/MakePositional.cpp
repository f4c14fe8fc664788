#include "Query.h"

namespace orvelle::db {

namespace {
bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$';
}
} // namespace

std::string MakePositional(const std::string& text, std::vector<std::string>* names) {
    std::string result;
    result.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c == '\'' || c == '"') {
            // A quoted string is copied as it stands; a doubled quote inside it simply
            // closes and reopens it.
            const std::size_t close = text.find(c, i + 1);
            const std::size_t end = close == std::string::npos ? n : close + 1;
            result.append(text, i, end - i);
            i = end;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            const std::size_t close = text.find("*/", i + 2);
            const std::size_t end = close == std::string::npos ? n : close + 2;
            result.append(text, i, end - i);
            i = end;
        } else if (c == ':') {
            result += '?';
            ++i;
            std::string name;
            if (i < n && text[i] == '"') {
                const std::size_t close = text.find('"', i + 1);
                const std::size_t end = close == std::string::npos ? n : close;
                name.assign(text, i + 1, end - i - 1);
                i = close == std::string::npos ? n : close + 1;
            } else {
                const std::size_t start = i;
                while (i < n && IsNameChar(text[i])) {
                    ++i;
                }
                name.assign(text, start, i - start);
            }
            if (names != nullptr) {
                names->push_back(std::move(name));
            }
        } else {
            result += c;
            ++i;
        }
    }
    return result;
}

} // namespace orvelle::db
