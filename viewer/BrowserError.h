#pragma once

#include <QString>

#include <stdexcept>

namespace orvelle::viewer {

// A failed browser operation. The message is UTF-8, ready for the error display.
class BrowserError : public std::runtime_error {
public:
    explicit BrowserError(const QString& message)
        : std::runtime_error(message.toUtf8().toStdString()) {}
};

} // namespace orvelle::viewer
