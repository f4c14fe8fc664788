#include "Cp1251.h"

#include "platform/AnsiText.h"

namespace orvelle::demolibrary {

Cp1251Encoder::Cp1251Encoder() {
    // The characters the code page has are exactly those its 256 bytes decode to.
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const QString decoded = platform::FromAnsi(std::string_view(&c, 1));
        representable_[decoded[0].unicode()] = true;
    }
}

std::string Cp1251Encoder::EncodeStrict(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!Representable(text[i].unicode())) {
            const char32_t code = text[i].isHighSurrogate() && i + 1 < text.size()
                                      ? QChar::surrogateToUcs4(text[i], text[i + 1])
                                      : text[i].unicode();
            throw EncodingError(
                "\"" + text.toStdString() + "\": character U+" +
                QString::number(code, 16).toUpper().rightJustified(4, '0').toStdString() +
                " has no Windows-1251 byte");
        }
    }
    return platform::ToAnsi(text);
}

std::string Cp1251Encoder::EncodeHtml(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (Representable(text[i].unicode()))
            continue;
        out += platform::ToAnsi(text.sliced(runStart, i - runStart));
        char32_t code = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out += "&#" + std::to_string(static_cast<unsigned long>(code)) + ";";
        runStart = i + 1;
    }
    out += platform::ToAnsi(text.sliced(runStart));
    return out;
}

} // namespace orvelle::demolibrary
