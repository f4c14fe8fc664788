#pragma once

#include <QString>

#include <exception>

namespace orvelle::app {

// The text of the "Application Error" box for a failure while the program's singletons
// are created: "Exception <kind> in module <module> at <address>." CR LF, the message with
// a "." unless it is empty or already ends in one, CR LF.
QString StartupFailureText(const std::exception_ptr& error, const QString& moduleName);

// Shows that box (no owner window, error icon, OK).
void ShowStartupFailure(const std::exception_ptr& error);

} // namespace orvelle::app
