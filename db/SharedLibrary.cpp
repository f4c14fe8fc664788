#include "SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace orvelle::db {

namespace {
std::string& lastError() {
    static std::string text;
    return text;
}

#ifdef _WIN32
std::string systemMessage(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) {
        text.assign(buffer, length);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
    } else {
        text = "System Error.  Code: " + std::to_string(code) + ".";
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    return text;
}
#endif
} // namespace

void* SharedLibrary::Open(const std::string& fileName) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(fileName.c_str());
    if (module == nullptr) {
        lastError() = systemMessage(GetLastError());
    }
    return reinterpret_cast<void*>(module);
#else
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        lastError() = text != nullptr ? text : "cannot load " + fileName;
    }
    return handle;
#endif
}

void* SharedLibrary::Symbol(void* library, const char* name) {
#ifdef _WIN32
    FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(library), name);
    if (address == nullptr) {
        lastError() = systemMessage(GetLastError());
    }
    return reinterpret_cast<void*>(address);
#else
    dlerror();
    void* address = dlsym(library, name);
    if (address == nullptr) {
        const char* text = dlerror();
        lastError() = text != nullptr ? text : std::string("undefined symbol: ") + name;
    }
    return address;
#endif
}

std::string SharedLibrary::LastError() {
    return lastError();
}

} // namespace orvelle::db
