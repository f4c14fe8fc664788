#pragma once

#include <stdexcept>

namespace orvelle::kvdbuild {

// Any failure while building a database; the message carries the server's text.
class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace orvelle::kvdbuild
