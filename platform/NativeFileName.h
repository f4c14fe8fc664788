#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace orvelle::platform {

// A file name as the operating system spells it in bytes: what the database client library
// takes as a file name, and what path.ini holds.
//
// On Linux and other Unix systems that is UTF-8. On Windows it is the ANSI code page, which
// the client libraries of old estimating installations expect; a name holding characters the
// code page lacks is given as the file's short (8.3) name where the file system keeps one, and
// otherwise with the code page's substitutes, which then name no file.
std::string NativeFileName(const QString& fileName);

// The reverse, for a name a connection holds.
QString FromNativeFileName(std::string_view bytes);

// A message of the database client library: text in Windows-1251 that may quote a file name
// as the system spells it. On Linux and other Unix systems, a message that is valid UTF-8 is
// read as UTF-8 (its file names are); elsewhere, and for any other message, Windows-1251.
QString FromClientMessage(std::string_view bytes);

// For a program without a Qt application object: makes the C library's character type follow
// the user's locale, and UTF-8 where that is the plain "C" locale, as a Qt application does.
// The database client converts file names through it; under the "C" locale a name with
// letters beyond ASCII cannot reach the file.
void UseSystemCharacterSet();

} // namespace orvelle::platform
