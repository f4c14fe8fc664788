#include "platform/MachineRegistry.h"
#include "platform/RegeditFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvelle::platform;

namespace {

class RegistryFileTest : public ::testing::Test {
protected:
    QString Write(const QByteArray& bytes) {
        QString name = dir_.filePath(QStringLiteral("machine%1.reg").arg(++count_));
        QFile file(name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return name;
    }

    // The DataBasePath value as the program reads it from a stand-in holding these bytes.
    QString ReadPath(const QByteArray& bytes) {
        return MachineRegistry(Write(bytes)).ReadString(KelvadomKey, DataBasePathValue);
    }

    static QByteArray Utf16LeWithBom(const QString& text) {
        QByteArray bytes("\xFF\xFE");
        for (QChar c : text) {
            bytes.append(char(c.unicode() & 0xFF));
            bytes.append(char(c.unicode() >> 8));
        }
        return bytes;
    }

    // The message thrown for the file, or "" when nothing is thrown.
    std::string ErrorFor(const QByteArray& bytes, const QString& valueName = DataBasePathValue) {
        try {
            MachineRegistry(Write(bytes)).ReadString(KelvadomKey, valueName);
        } catch (const RegistryError& error) {
            return error.what();
        }
        return {};
    }

    QTemporaryDir dir_;
    int count_ = 0;
};

const QByteArray kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";
const QByteArray kSection = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom]\r\n";

} // namespace

// --- headers and encodings ---------------------------------------------------------------

TEST_F(RegistryFileTest, ReadsBothHeadersAndBothHiveNames) {
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=\"C:\\\\Data\\\\base.kvd\"\r\n"),
              QStringLiteral("C:\\Data\\base.kvd"));
    EXPECT_EQ(ReadPath("REGEDIT4\n\n[HKLM\\SOFTWARE\\Brevanta\\Kelvadom]\n"
                       "\"DataBasePath\"=\"/srv/base.kvd\"\n"),
              QStringLiteral("/srv/base.kvd"));
}

TEST_F(RegistryFileTest, WithoutHeaderThereIsNoKey) {
    EXPECT_EQ(ReadPath(kSection + "\"DataBasePath\"=\"x\"\r\n"), QString());
    EXPECT_EQ(ReadPath("Windows Registry Editor Version 4.00\r\n" + kSection +
                       "\"DataBasePath\"=\"x\"\r\n"),
              QString());
}

TEST_F(RegistryFileTest, ReadsUtf16LeAndUtf8WithBom) {
    const QString path = QStringLiteral("D:\\Сметы\\База №1.kvd");
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom]\r\n"
                                        "\"DataBasePath\"=\"D:\\\\Сметы\\\\База №1.kvd\"\r\n");
    EXPECT_EQ(ReadPath(Utf16LeWithBom(text)), path);
    EXPECT_EQ(ReadPath("\xEF\xBB\xBF" + text.toUtf8()), path);
    EXPECT_EQ(ReadPath(text.toUtf8()), path);
}

// --- keys and value names ----------------------------------------------------------------

TEST_F(RegistryFileTest, KeysAndValueNamesIgnoreCase) {
    EXPECT_EQ(ReadPath(kV5 + "[hkey_local_machine\\software\\BREVANTA\\kelvadom]\r\n"
                             "\"databasepath\"=\"x.kvd\"\r\n"),
              QStringLiteral("x.kvd"));
    EXPECT_EQ(ReadPath(kV5 + "[hklm\\Software\\Brevanta\\Kelvadom]\r\n"
                             "\"DATABASEPATH\"=\"y.kvd\"\r\n"),
              QStringLiteral("y.kvd"));
}

TEST_F(RegistryFileTest, OnlyTheExactKeyCounts) {
    EXPECT_EQ(ReadPath(kV5 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom\\Sub]\r\n"
                             "\"DataBasePath\"=\"sub\"\r\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Brevanta\\Kelvadom]\r\n"
                             "\"DataBasePath\"=\"user\"\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta]\r\n"
                             "\"DataBasePath\"=\"parent\"\r\n"),
              QString());
}

TEST_F(RegistryFileTest, LaterLinesWinAndDeletionsApply) {
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=\"first\"\r\n" +
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n" + kSection +
                       "\"DataBasePath\"=\"second\"\r\n"),
              QStringLiteral("second"));
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=\"x\"\r\n\"DataBasePath\"=-\r\n"),
              QString());
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=\"x\"\r\n" +
                       "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta]\r\n"),
              QString());
}

TEST_F(RegistryFileTest, DefaultValueIsTheEmptyName) {
    MachineRegistry registry(Write(kV5 + kSection + "@=\"default\"\r\n"));
    EXPECT_EQ(registry.ReadString(KelvadomKey, QString()), QStringLiteral("default"));
    EXPECT_EQ(registry.ReadString(KelvadomKey, DataBasePathValue), QString());
}

// --- string data -------------------------------------------------------------------------

TEST_F(RegistryFileTest, StringEscapesAndBlanksAreKept) {
    EXPECT_EQ(
        ReadPath(kV5 + kSection + "\"DataBasePath\"=\"  C:\\\\a \\\"b\\\" %TEMP%\\\\  \"   \r\n"),
        QStringLiteral("  C:\\a \"b\" %TEMP%\\  "));
    EXPECT_EQ(ReadPath(kV5 + kSection +
                       "\"Data\\\"Base\\\\Path\"=\"odd\"\r\n"
                       "\"DataBasePath\"=\"plain\"\r\n"),
              QStringLiteral("plain"));
}

TEST_F(RegistryFileTest, ExpandableStringOverSeveralLinesIsNotExpanded) {
    // "%ROOT%\b.kvd", NUL, then more bytes that must be cut off.
    const QByteArray value =
        "\"DataBasePath\"=hex(2):25,00,52,00,4f,00,4f,00,54,00,25,00,5c,00,\\\r\n"
        "  62,00,2e,00,6b,00,76,00,64,00,00,00,41,00\r\n";
    EXPECT_EQ(ReadPath(kV5 + kSection + value), QStringLiteral("%ROOT%\\b.kvd"));
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=hex(1):1f,04,30,04\r\n"),
              QStringLiteral("Па"));
}

TEST_F(RegistryFileTest, TextEndsAtItsFirstNul) {
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=hex(2):41,00,00,00,42,00,00,00\r\n"),
              QStringLiteral("A"));
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom]\r\n"
                                        "\"DataBasePath\"=\"ab") +
                         QChar(0) + QStringLiteral("cd\"\r\n");
    EXPECT_EQ(ReadPath(Utf16LeWithBom(text)), QStringLiteral("ab"));
}

TEST_F(RegistryFileTest, MissingOrEmptyGivesEmpty) {
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=\"\"\r\n"), QString());
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=hex(2):\r\n"), QString());
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"Other\"=\"x\"\r\n"), QString());
    EXPECT_EQ(ReadPath(kV5 + kSection), QString());
    EXPECT_EQ(ReadPath(kV5), QString());
    EXPECT_EQ(ReadPath(QByteArray()), QString());
    EXPECT_EQ(MachineRegistry(dir_.filePath("none.reg")).ReadString(KelvadomKey, DataBasePathValue),
              QString());
    EXPECT_EQ(MachineRegistry(dir_.path()).ReadString(KelvadomKey, DataBasePathValue), QString());
    EXPECT_EQ(MachineRegistry(QString()).ReadString(KelvadomKey, DataBasePathValue), QString());
}

// --- other types -------------------------------------------------------------------------

TEST_F(RegistryFileTest, OtherTypesAreInvalidDataType) {
    for (const char* data : {"dword:00000001", "hex:01,02", "hex(7):41,00,00,00,00,00",
                             "hex(b):01,00,00,00,00,00,00,00", "hex(0):00", "qword:1", "bogus"}) {
        SCOPED_TRACE(data);
        EXPECT_EQ(ErrorFor(kV5 + kSection + "\"DataBasePath\"=" + data + "\r\n"),
                  "Invalid data type for 'DataBasePath'");
    }
    EXPECT_EQ(ErrorFor(kV5 + kSection + "\"Путь\"=dword:00000001\r\n", QStringLiteral("путь")),
              "Invalid data type for 'путь'");
    // Another value of the wrong type does not matter.
    EXPECT_EQ(ErrorFor(kV5 + kSection + "\"Other\"=dword:1\r\n\"DataBasePath\"=\"ok\"\r\n"), "");
}

TEST_F(RegistryFileTest, RegistryErrorIsARuntimeError) {
    const QString name = Write(kV5 + kSection + "\"DataBasePath\"=dword:00000001\r\n");
    EXPECT_THROW(MachineRegistry(name).ReadString(KelvadomKey, DataBasePathValue),
                 std::runtime_error);
}

// --- malformed files ---------------------------------------------------------------------

TEST_F(RegistryFileTest, BrokenLinesAreSkipped) {
    const QByteArray broken = kV5 +
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom\r\n"
                              "\"DataBasePath\"=\"no section\"\r\n" +
                              kSection +
                              "\"DataBasePath\"=\"unterminated\r\n"
                              "\"DataBasePath\"=\"trailing\" junk\r\n"
                              "\"DataBasePath\"=hex(2):4g,00\r\n"
                              "\"DataBasePath\" \"no equals\"\r\n"
                              "\"DataBasePath\r\n"
                              "=\"orphan\"\r\n"
                              "; \"DataBasePath\"=\"comment\"\r\n";
    EXPECT_EQ(ReadPath(broken), QString());
    EXPECT_EQ(ReadPath(broken + "\"DataBasePath\"=hex(2):41,00,42\r\n"), QStringLiteral("A"));
    // A continuation at the very end of the file.
    EXPECT_EQ(ReadPath(kV5 + kSection + "\"DataBasePath\"=hex(2):41,00,\\"), QStringLiteral("A"));
}

TEST_F(RegistryFileTest, RandomBytesNeverCrash) {
    QRandomGenerator random(20240601);
    const QByteArray alphabet = "[]\\\"=@:,-;()hexdword0123456789abcdefHKLM\r\n \x00\xff\xfe";
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = round % 2 ? kV5 : QByteArray("\xFF\xFE");
        const int length = random.bounded(400);
        for (int i = 0; i < length; ++i) {
            bytes.append(alphabet[random.bounded(int(alphabet.size()))]);
        }
        const RegeditFile file = RegeditFile::Parse(bytes);
        (void)file.FindValue(QStringLiteral("HKLM\\SOFTWARE\\Brevanta\\Kelvadom"),
                             DataBasePathValue);
    }
}

TEST(RegeditFile, HasKeyForSectionsWithoutValues) {
    const RegeditFile file = RegeditFile::Parse(
        "REGEDIT4\n[HKLM\\SOFTWARE\\Brevanta\\Kelvadom]\n[HKLM\\SOFTWARE\\Gone]\n[-HKLM\\"
        "SOFTWARE\\Gone]\n");
    EXPECT_TRUE(file.HasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\software\\brevanta\\kelvadom")));
    EXPECT_TRUE(file.HasKey(QStringLiteral("\\HKLM\\SOFTWARE\\Brevanta\\Kelvadom\\")));
    EXPECT_FALSE(file.HasKey(QStringLiteral("HKLM\\SOFTWARE\\Gone")));
    EXPECT_FALSE(file.HasKey(QStringLiteral("HKLM\\SOFTWARE\\Brevanta")));
}
