#include "platform/AnsiText.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace orvelle::platform {

namespace {

constexpr const char* kCodePage = "windows-1251";
constexpr char16_t kUndefinedByteChar = 0x0098; // what the codec makes of byte 0x98
constexpr char kSubstitute = '?';

[[noreturn]] void NoCodec() {
    throw std::runtime_error("This Qt has no Windows-1251 codec (it was built without ICU)");
}

// One converter of each kind per thread: the register is read on worker threads too.
QStringDecoder& Decoder() {
    thread_local QStringDecoder decoder(kCodePage, QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) {
        NoCodec();
    }
    decoder.resetState();
    return decoder;
}

// The codec's bytes for text. The codec puts its substitute byte, SUB, where a character has
// no byte (Qt 6.4 does not reliably report that through hasError()).
QByteArray Encode(QStringView text) {
    thread_local QStringEncoder encoder(kCodePage, QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) {
        NoCodec();
    }
    return encoder.encode(text);
}

constexpr char kCodecSubstitute = '\x1A';

// Whether unit, encoded as byte, has a byte of its own there.
bool OwnByte(QChar unit, char byte) {
    return !unit.isSurrogate() && unit.unicode() != kUndefinedByteChar &&
           (byte != kCodecSubstitute || unit.unicode() == 0x1A);
}

// The length of the character starting at i: 2 for a surrogate pair, else 1.
qsizetype CharLength(QStringView text, qsizetype i) {
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

// The codec's own byte for one character, if it has one.
std::optional<char> ByteOf(QStringView character) {
    if (character.size() != 1) {
        return std::nullopt;
    }
    const QByteArray byte = Encode(character);
    if (byte.size() != 1 || !OwnByte(character[0], byte[0])) {
        return std::nullopt;
    }
    return byte[0];
}

// Text is encoded a stretch at a time; a stretch the codec cannot encode whole is then gone
// through character by character.
constexpr qsizetype kStretch = 4096;

qsizetype StretchEnd(QStringView text, qsizetype from) {
    qsizetype end = std::min(text.size(), from + kStretch);
    if (end < text.size() && text[end - 1].isHighSurrogate()) {
        ++end; // keep a surrogate pair together
    }
    return end;
}

// The stretch's bytes when every character in it has one of its own.
std::optional<QByteArray> WholeBytes(QStringView stretch) {
    QByteArray bytes = Encode(stretch);
    if (bytes.size() != stretch.size()) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (!OwnByte(stretch[i], bytes[i])) {
            return std::nullopt;
        }
    }
    return bytes;
}

} // namespace

QString FromAnsi(std::string_view bytes) {
    QString text = Decoder().decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    text.replace(QChar(kUndefinedByteChar), QChar(QChar::ReplacementCharacter));
    return text;
}

std::string AnsiToUtf8(std::string_view bytes) {
    // Each byte's character as the codec reads it, in UTF-8, made once.
    struct Table {
        char utf8[256][4]; // 1 to 3 bytes, then NULs
        unsigned char length[256];
    };
    static const Table table = [] {
        Table made{};
        for (int byte = 0; byte < 256; ++byte) {
            const char c = static_cast<char>(byte);
            const QByteArray utf8 = FromAnsi(std::string_view(&c, 1)).toUtf8();
            made.length[byte] = static_cast<unsigned char>(utf8.size());
            std::copy(utf8.begin(), utf8.end(), made.utf8[byte]);
        }
        return made;
    }();
    std::string text;
    text.resize(bytes.size() * 3);
    char* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            *out++ = c;
        } else {
            const unsigned length = table.length[byte];
            for (unsigned i = 0; i < length; ++i) {
                *out++ = table.utf8[byte][i];
            }
        }
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

std::string ToAnsi(QStringView text) {
    // The codec marks what it cannot encode with a byte of its own choosing, which could be
    // taken for text: such characters get '?' instead.
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype end = StretchEnd(text, from);
        if (const auto whole = WholeBytes(text.sliced(from, end - from))) {
            bytes.append(whole->constData(), std::size_t(whole->size()));
            from = end;
            continue;
        }
        while (from < end) {
            const qsizetype length = CharLength(text, from);
            bytes += ByteOf(text.sliced(from, length)).value_or(kSubstitute);
            from += length;
        }
    }
    return bytes;
}

qsizetype FirstUnencodable(QStringView text) {
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype end = StretchEnd(text, from);
        if (WholeBytes(text.sliced(from, end - from))) {
            from = end;
            continue;
        }
        while (from < end) {
            const qsizetype length = CharLength(text, from);
            if (!ByteOf(text.sliced(from, length))) {
                return from;
            }
            from += length;
        }
    }
    return -1;
}

} // namespace orvelle::platform
