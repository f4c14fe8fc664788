#include "platform/AnsiText.h"

#include <QSet>
#include <QStringDecoder>

#include <gtest/gtest.h>

using namespace orvelle::platform;

namespace {

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(char(b));
    }
    return bytes;
}

} // namespace

TEST(AnsiText, KnownCharactersHaveTheirWindows1251Bytes) {
    EXPECT_EQ(ToAnsi(QStringLiteral("АЯаяЁё«»№€")),
              std::string("\xC0\xDF\xE0\xFF\xA8\xB8\xAB\xBB\xB9\x88"));
    EXPECT_EQ(FromAnsi("\xCF\xF0\xE8\xEC\xE5\xF0 \xB9 5"), QStringLiteral("Пример № 5"));
    EXPECT_EQ(FromAnsi("\x93\x94\x96\x97\x85\xA0"), QStringLiteral("“”–—…\u00A0"));
}

TEST(AnsiText, CyrillicTextRoundTrips) {
    const QString text = QStringLiteral("«Смета на ремонт» № 12 — цена 100 €, ЁЖИК ёжик ЇїЎўҐґ");
    const std::string bytes = ToAnsi(text);
    EXPECT_EQ(bytes.size(), std::size_t(text.size()));
    EXPECT_EQ(FromAnsi(bytes), text);
}

// Every byte but 0x98 round-trips through a character of its own; 0x98, undefined in
// Windows-1251, is read as U+FFFD and so written back as '?'.
class EveryByte : public testing::TestWithParam<int> {};

TEST_P(EveryByte, RoundTripsOrGetsTheDecidedOutcome) {
    const char byte = char(GetParam());
    const QString text = FromAnsi(std::string_view(&byte, 1));
    ASSERT_EQ(text.size(), 1);
    EXPECT_EQ(AnsiToUtf8(std::string_view(&byte, 1)), text.toStdString());
    if (GetParam() == 0x98) {
        EXPECT_EQ(text[0], QChar(QChar::ReplacementCharacter));
        EXPECT_EQ(ToAnsi(text), "?");
        EXPECT_EQ(FirstUnencodable(text), 0);
        return;
    }
    EXPECT_NE(text[0], QChar(QChar::ReplacementCharacter));
    EXPECT_EQ(ToAnsi(text), std::string(1, byte));
    EXPECT_EQ(FirstUnencodable(text), -1);
}

INSTANTIATE_TEST_SUITE_P(AnsiText, EveryByte, testing::Range(0, 256));

TEST(AnsiText, EveryByteRoundTripsThroughADistinctCharacter) {
    std::string bytes = AllBytes();
    const QString text = FromAnsi(bytes);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(QSet<QChar>(text.begin(), text.end()).size(), 256);
    bytes[0x98] = '?';
    EXPECT_EQ(ToAnsi(text), bytes);
    EXPECT_EQ(text[0], QChar(0));
    // U+0098, which Windows itself gives byte 0x98, is no character of ours either.
    EXPECT_EQ(ToAnsi(QString(QChar(0x98))), "?");
}

TEST(AnsiText, AgreesWithTheSystemsWindows1251Table) {
    QStringDecoder decoder("windows-1251");
    if (!decoder.isValid()) {
        GTEST_SKIP() << "this Qt has no windows-1251 codec";
    }
    const std::string bytes = AllBytes();
    const QString expected = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    const QString actual = FromAnsi(bytes);
    for (int b = 0; b < 256; ++b) {
        if (b != 0x98) {
            EXPECT_EQ(actual[b].unicode(), expected[b].unicode()) << "byte " << b;
        }
    }
}

TEST(AnsiText, CharactersOutsideWindows1251BecomeQuestionMarks) {
    EXPECT_EQ(ToAnsi(QStringLiteral("a中bäc\u0100")), "a?b?c?");
    // One mark per character, also for characters beyond the Basic Multilingual Plane.
    EXPECT_EQ(ToAnsi(QString::fromUtf8("x\xF0\x9F\x98\x80y")), "x?y");
    // Lone surrogates.
    EXPECT_EQ(ToAnsi(QString(QChar(0xD800)) + QChar(u'z') + QChar(0xDC00)), "?z?");
    // The first such character is found also far into a long text, after a pair.
    const QString longText =
        QString(9000, u'я') + QString::fromUtf8("\xF0\x9F\x98\x80") + u'€' + QChar(0x4E2D);
    EXPECT_EQ(FirstUnencodable(longText), 9000);
    EXPECT_EQ(FirstUnencodable(QStringView(longText).sliced(9002)), 1);
    EXPECT_EQ(ToAnsi(longText), std::string(9000, '\xFF') + "?\x88?");
}

TEST(AnsiText, EmptyAndNulArePreserved) {
    EXPECT_EQ(ToAnsi(QString()), "");
    EXPECT_TRUE(FromAnsi({}).isEmpty());
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(FromAnsi(withNul).size(), 3);
    EXPECT_EQ(ToAnsi(FromAnsi(withNul)), withNul);
}
