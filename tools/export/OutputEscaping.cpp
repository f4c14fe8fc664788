#include "OutputEscaping.h"

#include <cstdio>

namespace orvelle::exporter {

namespace {

void AppendHex(std::string& out, const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

// The code point of the two- or three-byte sequence at `at`, when it is one.
unsigned CodePointAt(std::string_view text, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const std::size_t rest = text.size() - at;
    if (byte(0) >= 0xC2 && byte(0) <= 0xDF && rest >= 2 && (byte(1) & 0xC0) == 0x80) {
        length = 2;
        return ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    }
    if (byte(0) >= 0xE0 && byte(0) <= 0xEF && rest >= 3 && (byte(1) & 0xC0) == 0x80 &&
        (byte(2) & 0xC0) == 0x80) {
        length = 3;
        return ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    }
    if (byte(0) >= 0xF0 && byte(0) <= 0xF4 && rest >= 4 && (byte(1) & 0xC0) == 0x80 &&
        (byte(2) & 0xC0) == 0x80 && (byte(3) & 0xC0) == 0x80) {
        length = 4;
        return 0x10000; // beyond the Basic Multilingual Plane: nothing to escape
    }
    length = 0;
    return 0;
}

} // namespace

std::string EscapeForLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\') {
                out += "\\\\";
            } else {
                out += static_cast<char>(c);
            }
            ++i;
        } else if (c < 0x80) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                AppendHex(out, "\\x%02x", c);
            }
            ++i;
        } else {
            std::size_t length = 0;
            const unsigned codePoint = CodePointAt(text, i, length);
            if (length == 0) {
                AppendHex(out, "\\x%02x", c);
                ++i;
            } else if ((codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0x2028 ||
                       codePoint == 0x2029) {
                AppendHex(out, "\\u%04x", codePoint);
                i += length;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
        }
    }
    return out;
}

} // namespace orvelle::exporter
