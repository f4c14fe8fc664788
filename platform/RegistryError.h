#pragma once

#include <stdexcept>
#include <string>

namespace orvelle::platform {

// A registry value could not be read as asked, for example a string was asked for and the
// value holds another type. The message is UTF-8.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message of a RegistryError for a value of the wrong type; the name is UTF-8.
inline std::string InvalidDataTypeMessageUtf8(const std::string& valueName) {
    return "Invalid data type for '" + valueName + "'";
}

} // namespace orvelle::platform
