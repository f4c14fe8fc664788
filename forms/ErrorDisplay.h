#pragma once

#include <QString>

#include <exception>

namespace orvelle::forms {

// The program file's name without folder, cut at its first ".", every character after
// the first in lower case: "Orvelle" for Orvelle.exe.
QString ApplicationTitle(const QString& programFile);
QString ApplicationTitle();

// A full stop is appended when the last character sorts after "." ("!", " " and "."
// endings get none); an empty message stays empty.
QString WithFullStop(const QString& message);

// The message an exception carries, converted for display.
QString MessageOf(const std::exception_ptr& error);

// Shows an escaped failure: error icon, OK, the application title as caption.
void ShowErrorDisplay(const std::exception_ptr& error);

// Runs an event handler; a failure that escapes it goes to the error display and the
// program carries on.
template <typename Handler> void Guarded(Handler&& handler) {
    try {
        handler();
    } catch (...) {
        ShowErrorDisplay(std::current_exception());
    }
}

} // namespace orvelle::forms
