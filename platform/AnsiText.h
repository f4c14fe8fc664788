#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace orvelle::platform {

// The database keeps its names and contents as single-byte Windows-1251 text. These two
// functions convert between those bytes and QString.
//
// FromAnsi maps every byte to a character (0x98, unassigned in Windows-1251, becomes U+0098,
// as Windows itself does), so FromAnsi followed by ToAnsi gives back the same bytes.
// ToAnsi turns every character with no Windows-1251 form into '?' (one '?' per character,
// also for characters outside the Basic Multilingual Plane and for lone surrogates).
QString FromAnsi(std::string_view bytes);
std::string ToAnsi(const QString& text);

} // namespace orvelle::platform
