#include "platform/NativeFileName.h"

#include "platform/AnsiText.h"

#include <QFile>
#include <QStringDecoder>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <clocale>
#include <cstring>
#include <langinfo.h>
#endif

namespace orvelle::platform {

#ifdef _WIN32

namespace {

// The name in the ANSI code page; lossy tells whether a character had no byte there.
std::string ToAnsiCodePage(const std::wstring& wide, bool& lossy) {
    lossy = false;
    if (wide.empty())
        return {};
    const int length = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr,
                                         0, nullptr, &usedDefault);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, bytes.data(), size,
                            nullptr, &usedDefault);
    lossy = usedDefault != FALSE;
    return bytes;
}

std::wstring ShortName(const std::wstring& wide) {
    const DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return {};
    std::vector<wchar_t> buffer(size);
    const DWORD written = GetShortPathNameW(wide.c_str(), buffer.data(), size);
    if (written == 0 || written >= size)
        return {};
    return std::wstring(buffer.data(), written);
}

} // namespace

std::string NativeFileName(const QString& fileName) {
    const std::wstring wide = fileName.toStdWString();
    bool lossy = false;
    std::string bytes = ToAnsiCodePage(wide, lossy);
    if (!lossy)
        return bytes;
    const std::wstring shortName = ShortName(wide);
    if (shortName.empty())
        return bytes;
    bool shortLossy = false;
    std::string shortBytes = ToAnsiCodePage(shortName, shortLossy);
    return shortLossy ? bytes : shortBytes;
}

QString FromNativeFileName(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size())); // the ANSI code page
}

void UseSystemCharacterSet() {} // file names go through the ANSI code page

QString FromClientMessage(std::string_view bytes) {
    return FromAnsi(bytes);
}

#else

std::string NativeFileName(const QString& fileName) {
    const QByteArray bytes = QFile::encodeName(fileName);
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

QString FromNativeFileName(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

QString FromClientMessage(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return utf8.hasError() ? FromAnsi(bytes) : text;
}

void UseSystemCharacterSet() {
    const char* locale = std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    const bool plain = !locale || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
                       std::strcmp(codeset, "US-ASCII") == 0;
    if (plain)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

#endif

} // namespace orvelle::platform
