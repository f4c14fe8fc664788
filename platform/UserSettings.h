#pragma once

#include <QSettings>

namespace orvelle::platform {

// The user's own settings of the viewer (zoom, page setup, favourites, where the reader left
// off), an INI file in the user's configuration folder: ~/.config/Orvelle/Orvelle.ini on Linux,
// %APPDATA%\Orvelle\Orvelle.ini on Windows. A library is never written to; neither is path.ini
// from here.
inline QSettings UserSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orvelle"),
                     QStringLiteral("Orvelle"));
}

} // namespace orvelle::platform
