#include "platform/AnsiText.h"

#include <array>

namespace orvelle::platform {

namespace {

// Windows-1251, bytes 0x80 to 0xBF. Bytes 0xC0 to 0xFF are U+0410 to U+044F in order, and
// bytes below 0x80 are ASCII.
constexpr std::array<char16_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
};

constexpr char16_t kCyrillicA = 0x0410;
constexpr unsigned char kCyrillicAByte = 0xC0;
constexpr int kCyrillicLetters = 64;

char16_t DecodeByte(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= kCyrillicAByte)
        return char16_t(kCyrillicA + (byte - kCyrillicAByte));
    return kUpperHalf[byte - 0x80];
}

char EncodeUnit(char16_t unit) {
    if (unit < 0x80)
        return char(unit);
    if (unit >= kCyrillicA && unit < kCyrillicA + kCyrillicLetters)
        return char(kCyrillicAByte + (unit - kCyrillicA));
    for (std::size_t i = 0; i < kUpperHalf.size(); ++i) {
        if (kUpperHalf[i] == unit)
            return char(0x80 + i);
    }
    return '?';
}

} // namespace

QString FromAnsi(std::string_view bytes) {
    QString text(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = QChar(DecodeByte(static_cast<unsigned char>(bytes[i])));
    return text;
}

std::string ToAnsi(const QString& text) {
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            // One character outside the Basic Multilingual Plane: none is in Windows-1251.
            bytes.push_back('?');
            ++i;
            continue;
        }
        if (c.isSurrogate()) {
            bytes.push_back('?');
            continue;
        }
        bytes.push_back(EncodeUnit(c.unicode()));
    }
    return bytes;
}

} // namespace orvelle::platform
