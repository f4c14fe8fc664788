#include "Cp1251.h"

#include "BuildError.h"

#include <cstdint>

namespace orvelle::kvdbuild {
namespace {

struct Mapping {
    char32_t code;
    unsigned char byte;
};

constexpr Mapping kSigns[] = {
    {0x00A0, 0xA0}, {0x00A7, 0xA7}, {0x00AB, 0xAB}, {0x00BB, 0xBB}, {0x0401, 0xA8},
    {0x0451, 0xB8}, {0x2013, 0x96}, {0x2014, 0x97}, {0x201C, 0x93}, {0x201D, 0x94},
    {0x201E, 0x84}, {0x2026, 0x85}, {0x2116, 0xB9},
};

unsigned char Encode(char32_t code) {
    if (code < 0x80) {
        return static_cast<unsigned char>(code);
    }
    if (code >= 0x0410 && code <= 0x044F) {
        return static_cast<unsigned char>(0xC0 + (code - 0x0410));
    }
    for (const Mapping& m : kSigns) {
        if (m.code == code) {
            return m.byte;
        }
    }
    throw BuildError("Character U+" + std::to_string(static_cast<std::uint32_t>(code)) +
                     " has no Windows-1251 byte here");
}

} // namespace

std::string Cp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
        } else {
            throw BuildError("Not UTF-8 text or outside the Windows-1251 repertoire");
        }
        if (extra > 0 && i + extra >= utf8.size()) {
            throw BuildError("Truncated UTF-8 text");
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                throw BuildError("Not UTF-8 text");
            }
            code = (code << 6) | (next & 0x3F);
        }
        out += static_cast<char>(Encode(code));
        i += 1 + extra;
    }
    return out;
}

std::string Cp1251(std::u8string_view utf8) {
    return Cp1251(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

} // namespace orvelle::kvdbuild
