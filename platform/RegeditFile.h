#pragma once

#include <QByteArrayView>
#include <QString>

#include <map>
#include <optional>

namespace orvelle::platform {

// The registry keys and values held in a Windows regedit export (a ".reg" file), as importing
// it into an empty registry would leave them. It stands in for the machine-wide registry where
// there is none.
//
// Accepted: a first line "Windows Registry Editor Version 5.00" or "REGEDIT4"; UTF-8 with or
// without a byte-order mark, or UTF-16LE with one; sections "[HIVE\key\path]" ("HKLM" is read as
// "HKEY_LOCAL_MACHINE"), "[-HIVE\key\path]" deleting a key and everything below it; value lines
// "name"=... or @=... (the default value), "name"=- deleting a value; lines starting with ';'
// are comments. Data: "text" (escapes \\ and \") is a string; hex(1):.. and hex(2):.. are a
// string and an expandable string as UTF-16LE bytes, continued over lines ending in a
// backslash; any other data is a value of another type.
//
// Key paths and value names compare without regard to case. Text ends at its first NUL.
// Lines that cannot be read are skipped; a file without the header holds no keys.
class RegeditFile {
public:
    enum class Kind {
        String, // REG_SZ or REG_EXPAND_SZ
        Other,  // any other type
    };
    struct Value {
        Kind kind = Kind::Other;
        QString text; // for String: the text up to its first NUL
    };

    // Files larger than this are taken as unreadable.
    static constexpr qsizetype MaxFileSize = qsizetype{16} * 1024 * 1024;

    static RegeditFile Parse(QByteArrayView bytes);
    // A missing, unreadable or oversized file gives an empty registry.
    static RegeditFile Load(const QString& fileName);

    // keyPath: the full path including the hive, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\Brevanta".
    bool HasKey(const QString& keyPath) const;
    std::optional<Value> FindValue(const QString& keyPath, const QString& valueName) const;

private:
    using Values = std::map<QString, Value>; // by folded value name
    std::map<QString, Values> keys_;         // by normalised key path
};

} // namespace orvelle::platform
