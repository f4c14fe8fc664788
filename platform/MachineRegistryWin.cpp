// The system registry, read with the Windows API.
#ifdef _WIN32

#include "platform/MachineRegistry.h"

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

} // namespace

QString MachineRegistry::ReadSystem(const QString& key, const QString& valueName) const {
    // Read access is all we need; asking for more would fail for every user without
    // administrator rights.
    KeyHandle handle;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(key.utf16()), 0,
                      KEY_READ | KEY_WOW64_32KEY, handle.out()) != ERROR_SUCCESS)
        return {};

    const auto name = reinterpret_cast<LPCWSTR>(valueName.utf16());
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(handle.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    if (size == 0)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw RegistryError(InvalidDataTypeMessage(valueName));

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
        throw RegistryError(InvalidDataTypeMessage(valueName));

    const std::size_t units = size / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && buffer[length] != L'\0')
        ++length;
    return QString::fromWCharArray(buffer.data(), qsizetype(length));
}

} // namespace orvelle::platform

#endif
