#ifdef _WIN32

#include "platform/WindowsRegistry.h"

#include "platform/RegistryError.h"

#include <windows.h>

#include <vector>

namespace orvelle::platform {

namespace {

class KeyHandle {
public:
    KeyHandle() = default;
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    ~KeyHandle() {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::string utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr,
                            nullptr);
    return bytes;
}

[[noreturn]] void invalidType(const std::wstring& valueName) {
    throw RegistryError(InvalidDataTypeMessageUtf8(utf8(valueName)));
}

} // namespace

std::wstring ReadMachineString(const std::wstring& key, const std::wstring& valueName) {
    // Read access is all we need; asking for more would fail for every user without
    // administrator rights.
    KeyHandle handle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_32KEY,
                      handle.out()) != ERROR_SUCCESS)
        return {};

    const wchar_t* name = valueName.c_str();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(handle.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    if (size == 0)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        invalidType(valueName);

    // The value may change between the two calls; ask again while it grows.
    std::vector<wchar_t> buffer;
    LONG status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        buffer.assign(size / sizeof(wchar_t) + 2, L'\0');
        size = DWORD(buffer.size() * sizeof(wchar_t));
        status = RegQueryValueExW(handle.get(), name, nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    if (status != ERROR_SUCCESS || size == 0)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        invalidType(valueName);

    const std::size_t units = size / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && buffer[length] != L'\0')
        ++length;
    return std::wstring(buffer.data(), length);
}

} // namespace orvelle::platform

#endif
