#pragma once

#include "platform/UserSettings.h"

namespace orvelle::forms {

// The user's own settings of the viewer (see platform/UserSettings.h).
inline QSettings ReadingSettings() {
    return platform::UserSettings();
}

} // namespace orvelle::forms
