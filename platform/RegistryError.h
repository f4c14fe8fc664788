#pragma once

#include <stdexcept>

namespace orvelle::platform {

// A registry value could not be read as asked, for example a string was asked for and the
// value holds another type. The message is UTF-8.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace orvelle::platform
