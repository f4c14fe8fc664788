#include "Cp1251.h"

#include "platform/AnsiText.h"

namespace orvelle::demolibrary {

namespace {

// The code point starting at text[i], and how many UTF-16 units it takes.
std::pair<char32_t, qsizetype> CodePointAt(QStringView text, qsizetype i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(text[i], text[i + 1]), 2};
    return {text[i].unicode(), 1};
}

} // namespace

std::string Cp1251Encoder::EncodeStrict(const QString& text) {
    const qsizetype bad = platform::FirstUnencodable(text);
    if (bad >= 0) {
        const char32_t code = CodePointAt(text, bad).first;
        throw EncodingError(
            "\"" + text.toStdString() + "\": character U+" +
            QString::number(code, 16).toUpper().rightJustified(4, '0').toStdString() +
            " has no Windows-1251 byte");
    }
    return platform::ToAnsi(text);
}

std::string Cp1251Encoder::EncodeHtml(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    QStringView rest(text);
    for (;;) {
        const qsizetype bad = platform::FirstUnencodable(rest);
        if (bad < 0)
            break;
        out += platform::ToAnsi(rest.first(bad));
        const auto [code, length] = CodePointAt(rest, bad);
        out += "&#" + std::to_string(static_cast<unsigned long>(code)) + ";";
        rest = rest.sliced(bad + length);
    }
    out += platform::ToAnsi(rest);
    return out;
}

} // namespace orvelle::demolibrary
