#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace orvelle::platform {

// The database keeps its names and contents as single-byte Windows-1251 text. This is the
// program's one conversion between those bytes and QString, through Qt's own codec.
//
// Byte 0x98 is the one byte Windows-1251 leaves undefined: it becomes U+FFFD. Every other
// byte becomes its own character, and ToAnsi gives the same byte back.
// A character with no Windows-1251 byte (U+FFFD and U+0098 among them, a character beyond
// the Basic Multilingual Plane, a lone surrogate) becomes one '?' in ToAnsi; callers that
// may not lose a character ask FirstUnencodable first.
//
// Throws std::runtime_error when the Qt in use has no Windows-1251 codec (a Qt built
// without ICU).
QString FromAnsi(std::string_view bytes);
std::string ToAnsi(QStringView text);

// The same reading as FromAnsi, straight to UTF-8 and a byte at a time (for long texts where a
// QString on the way would cost more than the conversion).
std::string AnsiToUtf8(std::string_view bytes);

// The index in text of the first character ToAnsi would turn into '?', or -1 when every
// character has a byte of its own.
qsizetype FirstUnencodable(QStringView text);

} // namespace orvelle::platform
