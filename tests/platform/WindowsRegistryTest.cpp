// The system registry read, against values written into the real (or Wine's) registry under a
// key of this test's own. Writing below HKEY_LOCAL_MACHINE needs administrator rights on
// Windows; without them the cases are skipped.
#include "platform/WindowsRegistry.h"
#include "platform/RegistryError.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace orvelle::platform;

namespace {

const std::wstring kParent = L"SOFTWARE\\OrvelleRegistryTest";
const std::wstring kValue = L"DataBasePath";

struct Stored {
    DWORD type;
    std::vector<BYTE> bytes;
};

Stored Text(const std::wstring& text, DWORD type = REG_SZ, bool withNul = true) {
    const auto* data = reinterpret_cast<const BYTE*>(text.c_str());
    return {type, std::vector<BYTE>(data, data + (text.size() + (withNul ? 1 : 0)) * 2)};
}

Stored Dword(DWORD value) {
    const auto* data = reinterpret_cast<const BYTE*>(&value);
    return {REG_DWORD, std::vector<BYTE>(data, data + sizeof value)};
}

struct Case {
    const char* name;
    std::optional<Stored> view32; // written in the 32-bit view
    std::optional<Stored> view64; // written in the 64-bit view
    bool createKey;
    std::wstring expected;
    const char* error; // the RegistryError's message, or nullptr
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

// A key of this process's own below HKEY_LOCAL_MACHINE, in both views, removed afterwards.
class OwnKey : public ::testing::Test {
protected:
    void SetUp() override {
        key_ = kParent + L"\\" + std::to_wstring(GetCurrentProcessId());
        HKEY handle = nullptr;
        const LONG status =
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &handle, nullptr);
        if (status == ERROR_ACCESS_DENIED) {
            GTEST_SKIP() << "writing below HKEY_LOCAL_MACHINE needs administrator rights";
        }
        ASSERT_EQ(status, ERROR_SUCCESS);
        RegCloseKey(handle);
        Remove();
    }
    void TearDown() override { Remove(); }

    // Writes the value in one view, creating the key there.
    void Write(REGSAM view, const Stored& stored) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS | view, nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(handle, kValue.c_str(), 0, stored.type, stored.bytes.data(),
                                 DWORD(stored.bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(handle);
    }

    void Remove() {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            HKEY parent = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParent.c_str(), 0, KEY_ALL_ACCESS | view,
                              &parent) == ERROR_SUCCESS) {
                RegDeleteTreeW(parent, std::to_wstring(GetCurrentProcessId()).c_str());
                RegCloseKey(parent);
            }
        }
    }

    std::wstring key_;
};

class WindowsRegistry : public OwnKey, public ::testing::WithParamInterface<Case> {};

TEST_P(WindowsRegistry, ReadsTheStringValueOfThe32BitView) {
    const Case& c = GetParam();
    if (c.createKey) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(handle);
    }
    if (c.view32) {
        Write(KEY_WOW64_32KEY, *c.view32);
    }
    if (c.view64) {
        Write(KEY_WOW64_64KEY, *c.view64);
    }

    try {
        const std::wstring read = ReadMachineString(key_, kValue);
        EXPECT_EQ(c.error, nullptr) << "nothing thrown";
        EXPECT_TRUE(read == c.expected) << "read " << read.size() << " characters";
    } catch (const RegistryError& error) {
        ASSERT_NE(c.error, nullptr) << error.what();
        EXPECT_STREQ(error.what(), c.error);
    }
}

const wchar_t kCyrillic[] = L"C:\\Сметы\\Справочник ёЁ.kvd";

INSTANTIATE_TEST_SUITE_P(
    Values, WindowsRegistry,
    ::testing::Values(
        Case{"Only32", Text(L"C:\\Data\\base.kvd"), {}, false, L"C:\\Data\\base.kvd", nullptr},
        Case{"Only64IsNotSeen", {}, Text(L"C:\\Data\\base.kvd"), false, L"", nullptr},
        Case{"Both32Wins", Text(L"C:\\x86.kvd"), Text(L"C:\\x64.kvd"), false, L"C:\\x86.kvd",
             nullptr},
        Case{"Dword", Dword(7), {}, false, L"", "Invalid data type for 'DataBasePath'"},
        Case{"MultiString",
             Text(std::wstring(L"a\0b\0", 4), REG_MULTI_SZ),
             {},
             false,
             L"",
             "Invalid data type for 'DataBasePath'"},
        Case{"ExpandableNotExpanded",
             Text(L"%SystemRoot%\\base.kvd", REG_EXPAND_SZ),
             {},
             false,
             L"%SystemRoot%\\base.kvd",
             nullptr},
        Case{"Cyrillic", Text(kCyrillic), {}, false, kCyrillic, nullptr},
        Case{"UpToFirstNulBlanksKept",
             Text(std::wstring(L" C:\\a.kvd \0tail", 15)),
             {},
             false,
             L" C:\\a.kvd ",
             nullptr},
        Case{"WithoutTrailingNul",
             Text(L"C:\\a.kvd", REG_SZ, false),
             {},
             false,
             L"C:\\a.kvd",
             nullptr},
        Case{"EmptyWithNul", Text(L""), {}, false, L"", nullptr},
        Case{"EmptyNoBytes", Text(L"", REG_SZ, false), {}, false, L"", nullptr},
        Case{"MissingValue", {}, {}, true, L"", nullptr},
        Case{"MissingKey", {}, {}, false, L"", nullptr}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The value as Windows' own tool writes it into the 32-bit view.
TEST_F(OwnKey, ValueWrittenByRegInThe32BitViewIsRead) {
    const std::wstring command = L"reg add \"HKLM\\" + key_ +
                                 L"\" /v DataBasePath /t REG_SZ /d \"C:\\Data\\reg.kvd\" /reg:32 "
                                 L"/f >NUL 2>&1";
    ASSERT_EQ(_wsystem(command.c_str()), 0);
    EXPECT_TRUE(ReadMachineString(key_, kValue) == L"C:\\Data\\reg.kvd");
}

} // namespace
