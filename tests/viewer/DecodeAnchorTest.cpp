#include "viewer/DecodeAnchor.h"

#include <gtest/gtest.h>

#include <random>

using orvelle::viewer::DecodeAnchor;

TEST(DecodeAnchor, KeepsTheExamplesOfTheOriginalRule) {
    EXPECT_EQ(DecodeAnchor("about:blank#sec%201"), "sec 1");
    EXPECT_EQ(DecodeAnchor("x#y#z"), "y#z");
    EXPECT_EQ(DecodeAnchor("about:blank#"), "");
    EXPECT_EQ(DecodeAnchor("#"), "");
    EXPECT_EQ(DecodeAnchor("http://example.com/a b"), "http://example.com/a b");
    EXPECT_EQ(DecodeAnchor("http://example.com/a%20b"), "http://example.com/a b");
    EXPECT_EQ(DecodeAnchor("about:blank#a+b"), "a+b");
    EXPECT_EQ(DecodeAnchor(""), "");
}

TEST(DecodeAnchor, DecodesEscapesAsBytes) {
    // "/" decodes to itself now, not to a space.
    EXPECT_EQ(DecodeAnchor("about:blank#a%2Fb"), "a/b");
    EXPECT_EQ(DecodeAnchor("about:blank#a%2fb%3F"), "a/b?");
    EXPECT_EQ(DecodeAnchor("about:blank#%23x"), "#x");
    EXPECT_EQ(DecodeAnchor("about:blank#100%25"), "100%");
    // A decoded "%" is not decoded again.
    EXPECT_EQ(DecodeAnchor("about:blank#%2541"), "%41");
}

TEST(DecodeAnchor, ReadsCyrillicAnchors) {
    // What the engine hands over for <a href="#Раздел 1">: UTF-8, percent-encoded.
    EXPECT_EQ(DecodeAnchor("about:blank#%D0%A0%D0%B0%D0%B7%D0%B4%D0%B5%D0%BB%201"),
              QString::fromUtf8("Раздел 1"));
    // The same anchor written plainly, as QUrl::toString() shows it.
    EXPECT_EQ(DecodeAnchor(QString::fromUtf8("about:blank#Раздел 1")),
              QString::fromUtf8("Раздел 1"));
    // Escapes mixed with plain Cyrillic.
    EXPECT_EQ(DecodeAnchor(QString::fromUtf8("about:blank#Глава%202")),
              QString::fromUtf8("Глава 2"));
    // Single bytes of the Windows code page: "Раздел" in Windows-1251.
    EXPECT_EQ(DecodeAnchor("about:blank#%D0%E0%E7%E4%E5%EB%201"), QString::fromUtf8("Раздел 1"));
    EXPECT_EQ(DecodeAnchor("about:blank#%A8%B8%B9"), QString::fromUtf8("Ёё№"));
    // Not UTF-8 as a whole: the plain characters stay as written.
    EXPECT_EQ(DecodeAnchor(QString::fromUtf8("about:blank#Ж%C6")), QString::fromUtf8("ЖЖ"));
}

TEST(DecodeAnchor, LeavesBrokenEscapesAlone) {
    EXPECT_EQ(DecodeAnchor("about:blank#%"), "%");
    EXPECT_EQ(DecodeAnchor("about:blank#%4"), "%4");
    EXPECT_EQ(DecodeAnchor("about:blank#ab%"), "ab%");
    EXPECT_EQ(DecodeAnchor("about:blank#ab%4"), "ab%4");
    EXPECT_EQ(DecodeAnchor("about:blank#%zz%20"), "%zz ");
    EXPECT_EQ(DecodeAnchor("about:blank#%%41"), "%A");
    EXPECT_EQ(DecodeAnchor("about:blank#%4G"), "%4G");
    EXPECT_EQ(DecodeAnchor("%"), "%");
}

TEST(DecodeAnchor, SurvivesRandomInput) {
    std::mt19937 random(20240611);
    const char16_t alphabet[] = u"%#%#%0123456789abcdefABCDEFgz+ .ЖЁё\U0001F600";
    const int letters = int(std::size(alphabet)) - 1;
    for (int round = 0; round < 20000; ++round) {
        QString url;
        const int length = int(random() % 24);
        for (int i = 0; i < length; ++i) {
            const char16_t c = alphabet[random() % letters];
            url.append(QChar(c)); // may be half a surrogate pair: that must not hurt either
        }
        const QString anchor = DecodeAnchor(url);
        // Decoding only ever shortens: an escape of three characters gives at most one.
        ASSERT_LE(anchor.size(), url.size()) << url.toStdString();
        if (!url.contains(u'%')) {
            const qsizetype hash = url.indexOf(u'#');
            ASSERT_EQ(anchor, hash < 0 ? url : url.mid(hash + 1));
        }
    }
}
