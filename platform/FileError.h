#pragma once

#include <stdexcept>

namespace orvelle::platform {

// Reading or writing a file failed. The message is the system's own text for the failure,
// UTF-8.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace orvelle::platform
