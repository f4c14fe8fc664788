#include "TextFolding.h"

namespace orvelle::search {

QString FoldYo(QString text) {
    text.replace(QChar(0x0451), QChar(0x0435)); // ё → е
    text.replace(QChar(0x0401), QChar(0x0415)); // Ё → Е
    return text;
}

void FoldYo(std::string& utf8) {
    // ё is D1 91, е D0 B5; Ё is D0 81, Е D0 95.
    for (std::size_t at = utf8.find_first_of("\xD0\xD1");
         at != std::string::npos && at + 1 < utf8.size();
         at = utf8.find_first_of("\xD0\xD1", at + 1)) {
        const char next = utf8[at + 1];
        if (utf8[at] == '\xD1' && next == '\x91') {
            utf8[at] = '\xD0';
            utf8[at + 1] = '\xB5';
        } else if (utf8[at] == '\xD0' && next == '\x81') {
            utf8[at + 1] = '\x95';
        }
    }
}

} // namespace orvelle::search
