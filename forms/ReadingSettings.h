#pragma once

#include <QSettings>

namespace orvelle::forms {

// The user's own settings of the viewer (zoom and the like), an INI file in the user's
// configuration folder. The library is never written to; neither is path.ini from here.
inline QSettings ReadingSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orvelle"),
                     QStringLiteral("Orvelle"));
}

} // namespace orvelle::forms
