#pragma once

#include <string>
#include <vector>

namespace orvelle::db {

// A thin portable wrapper over dlopen/LoadLibrary.
class SharedLibrary {
public:
    // Returns nullptr when the library cannot be loaded; LastError() then tells why.
    static void* Open(const std::string& fileName);
    // Unloads a library that Open returned; nullptr is ignored.
    static void Close(void* library);
    // Returns nullptr when the symbol is missing; LastError() then tells why, naming it.
    static void* Symbol(void* library, const char* name);
    // The system's text for the last failed Open or Symbol.
    static std::string LastError();
    // True when the last failed Open found the file but it is built for another kind of
    // machine, such as a 32-bit DLL for a 64-bit program (ERROR_BAD_EXE_FORMAT). Windows
    // only; elsewhere always false.
    static bool LastOpenFoundWrongKind();

    // Where the system's library search finds fileName (the name itself when it holds a
    // folder); empty when it finds nothing. Windows only; elsewhere always empty.
    static std::string Locate(const std::string& fileName);
    // The folders the system searches for fileName, in order: the name's own folder when it
    // holds one, otherwise the program's folder, the system folders, the current folder and
    // the folders of PATH. Windows only; elsewhere empty.
    static std::vector<std::string> SearchFolders(const std::string& fileName);

    // What a library file is built for, in words ("32-bit", "64-bit", "ARM64"), read from its
    // header; empty for any other file. Windows only; elsewhere empty.
    static std::string MachineOf(const std::string& path);
};

} // namespace orvelle::db
