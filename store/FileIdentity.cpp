#include "FileIdentity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace orvelle::store {

std::string FileIdentity::Text() const {
    return std::to_string(device) + " " + std::to_string(file) + " " + std::to_string(size) + " " +
           std::to_string(modified) + " " + std::to_string(changed);
}

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& text) {
    // File names reach us in the ANSI code page on Windows.
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::int64_t Nanoseconds(LARGE_INTEGER time) {
    return time.QuadPart * 100; // units of 100 ns since 1601; only compared
}

} // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    const bool known = GetFileInformationByHandle(file, &info) &&
                       GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(file);
    if (!known) {
        return std::nullopt;
    }
    FileIdentity identity;
    identity.device = info.dwVolumeSerialNumber;
    identity.file = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity.modified = Nanoseconds(times.LastWriteTime);
    identity.changed = Nanoseconds(times.ChangeTime);
    return identity;
}

#else

namespace {

std::optional<FileIdentity> FromStat(const struct stat& info) {
    if (!S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.file = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::uint64_t>(info.st_size);
    identity.modified = std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.changed = std::int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return identity;
}

} // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FromStat(info);
}

std::optional<FileIdentity> IdentityOf(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    return FromStat(info);
}

#endif

} // namespace orvelle::store
