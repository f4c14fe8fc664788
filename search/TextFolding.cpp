#include "TextFolding.h"

namespace orvelle::search {

QString FoldYo(QString text) {
    text.replace(QChar(0x0451), QChar(0x0435)); // ё → е
    text.replace(QChar(0x0401), QChar(0x0415)); // Ё → Е
    return text;
}

} // namespace orvelle::search
