#pragma once

#include <string>

namespace orvelle::db {

// A thin portable wrapper over dlopen/LoadLibrary. The handle is never closed.
class SharedLibrary {
public:
    // Returns nullptr when the library cannot be loaded.
    static void* Open(const std::string& fileName);
    // Returns nullptr when the symbol is missing; error() then tells why.
    static void* Symbol(void* library, const char* name);
    // The system's text for the last failed Open or Symbol.
    static std::string LastError();
};

} // namespace orvelle::db
