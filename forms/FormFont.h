#pragma once

#include <QFont>

namespace orvelle::forms {

// The font of the program's forms: "MS Sans Serif" 8 pt regular where the system has that
// family, otherwise the system's own general font at 8 pt regular.
QFont FormFont();

} // namespace orvelle::forms
