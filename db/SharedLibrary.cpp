#include "SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#else
#include <dlfcn.h>
#endif

namespace orvelle::db {

namespace {
std::string& LastErrorText() {
    static std::string text;
    return text;
}

bool& LastOpenWasWrongKind() {
    static bool wrongKind = false;
    return wrongKind;
}

#ifdef _WIN32
std::string SystemMessage(DWORD code) {
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

bool HoldsFolder(const std::string& fileName) {
    return fileName.find_first_of("\\/:") != std::string::npos;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

template <typename Fill> std::string SystemFolder(Fill fill) {
    char buffer[MAX_PATH + 1] = {};
    const UINT length = fill(buffer, UINT(MAX_PATH));
    return length > 0 && length <= MAX_PATH ? std::string(buffer, length) : std::string();
}
#endif
} // namespace

void* SharedLibrary::Open(const std::string& fileName) {
    LastOpenWasWrongKind() = false;
#ifdef _WIN32
    HMODULE module = LoadLibraryA(fileName.c_str());
    if (module == nullptr) {
        const DWORD code = GetLastError();
        LastErrorText() = SystemMessage(code);
        LastOpenWasWrongKind() = code == ERROR_BAD_EXE_FORMAT;
    }
    return reinterpret_cast<void*>(module);
#else
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        LastErrorText() = text != nullptr ? text : "cannot load " + fileName;
    }
    return handle;
#endif
}

void SharedLibrary::Close(void* library) {
    if (library == nullptr) {
        return;
    }
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

void* SharedLibrary::Symbol(void* library, const char* name) {
#ifdef _WIN32
    FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(library), name);
    if (address == nullptr) {
        // The system's text never says which entry point is missing.
        LastErrorText() = std::string(name) + ": " + SystemMessage(GetLastError());
    }
    return reinterpret_cast<void*>(address);
#else
    dlerror();
    void* address = dlsym(library, name);
    if (address == nullptr) {
        const char* text = dlerror();
        LastErrorText() = text != nullptr ? text : std::string("undefined symbol: ") + name;
    }
    return address;
#endif
}

std::string SharedLibrary::LastError() {
    return LastErrorText();
}

bool SharedLibrary::LastOpenFoundWrongKind() {
    return LastOpenWasWrongKind();
}

std::string SharedLibrary::Locate(const std::string& fileName) {
#ifdef _WIN32
    if (HoldsFolder(fileName)) {
        return GetFileAttributesA(fileName.c_str()) != INVALID_FILE_ATTRIBUTES ? fileName
                                                                               : std::string();
    }
    for (const std::string& folder : SearchFolders(fileName)) {
        const std::string candidate = folder + "\\" + fileName;
        const DWORD attributes = GetFileAttributesA(candidate.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return candidate;
        }
    }
#else
    (void)fileName;
#endif
    return {};
}

std::vector<std::string> SharedLibrary::SearchFolders(const std::string& fileName) {
    std::vector<std::string> folders;
#ifdef _WIN32
    if (HoldsFolder(fileName)) {
        folders.push_back(FolderOf(fileName));
        return folders;
    }
    // The order of LoadLibrary's standard search with safe DLL search mode.
    auto add = [&folders](const std::string& folder) {
        if (folder.empty()) {
            return;
        }
        for (const std::string& known : folders) {
            if (lstrcmpiA(known.c_str(), folder.c_str()) == 0) {
                return;
            }
        }
        folders.push_back(folder);
    };
    char program[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        add(FolderOf(std::string(program, length)));
    }
    add(SystemFolder([](char* b, UINT n) { return GetSystemDirectoryA(b, n); }));
    add(SystemFolder([](char* b, UINT n) { return GetWindowsDirectoryA(b, n); }));
    add(SystemFolder([](char* b, UINT n) { return UINT(GetCurrentDirectoryA(n, b)); }));
    if (const char* path = std::getenv("PATH")) {
        std::string all = path;
        std::size_t start = 0;
        while (start <= all.size()) {
            std::size_t end = all.find(';', start);
            if (end == std::string::npos) {
                end = all.size();
            }
            std::string folder = all.substr(start, end - start);
            while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
                folder.pop_back();
            }
            add(folder);
            start = end + 1;
        }
    }
#else
    (void)fileName;
#endif
    return folders;
}

std::string SharedLibrary::MachineOf(const std::string& path) {
#ifdef _WIN32
    // The PE header: "MZ", the offset of "PE\0\0" at 0x3C, the machine right after it.
    std::ifstream file(path, std::ios::binary);
    unsigned char dos[0x40] = {};
    if (!file.read(reinterpret_cast<char*>(dos), sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
        return {};
    }
    const std::uint32_t offset = std::uint32_t(dos[0x3C]) | std::uint32_t(dos[0x3D]) << 8 |
                                 std::uint32_t(dos[0x3E]) << 16 | std::uint32_t(dos[0x3F]) << 24;
    unsigned char pe[6] = {};
    if (!file.seekg(offset) || !file.read(reinterpret_cast<char*>(pe), sizeof pe) || pe[0] != 'P' ||
        pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
        return {};
    }
    switch (unsigned(pe[4]) | unsigned(pe[5]) << 8) {
    case 0x014C:
        return "32-bit";
    case 0x8664:
        return "64-bit";
    case 0xAA64:
        return "ARM64";
    default:
        return {};
    }
#else
    (void)path;
    return {};
#endif
}

} // namespace orvelle::db
