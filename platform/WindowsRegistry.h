#pragma once

// The machine-wide hive of the Windows registry, read with the Windows API alone (no Qt), so
// that it is built and tested wherever the database layer is.
#ifdef _WIN32

#include <string>

namespace orvelle::platform {

// The string value valueName of key, a path below HKEY_LOCAL_MACHINE, read in the registry's
// 32-bit view (where a 32-bit installer writes, also when this program is 64-bit) with read
// access only. Empty when the key or the value is missing or the value is empty; otherwise
// the stored text up to its first NUL, environment references not expanded, blanks not
// trimmed. Throws RegistryError "Invalid data type for '<valueName>'" when the value exists
// but is neither REG_SZ nor REG_EXPAND_SZ.
std::wstring ReadMachineString(const std::wstring& key, const std::wstring& valueName);

} // namespace orvelle::platform

#endif
