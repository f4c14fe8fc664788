// The pieces make-demo-library is made of: the code page conversion, the manifest reader and
// the generated catalogue.

#include "Catalogue.h"
#include "Cp1251.h"
#include "Manifest.h"

#include <gtest/gtest.h>

namespace {

using namespace orvelle::demolibrary;

TEST(DemoCp1251Encoder, HtmlKeepsCharactersTheCodePageLacksAsReferences) {
    Cp1251Encoder encoder;
    EXPECT_EQ(encoder.EncodeHtml("Цена 100 ₽, № 5 «А» €"),
              "\xD6\xE5\xED\xE0 100 &#8381;, \xB9 5 \xAB\xC0\xBB \x88");
    // A character outside the BMP becomes one reference, not two halves.
    EXPECT_EQ(encoder.EncodeHtml(QString::fromUtf8("a\xF0\x9F\x98\x80"
                                                   "b")),
              "a&#128512;b");
    EXPECT_EQ(encoder.EncodeHtml("м³ Ø"), "\xEC&#179; &#216;");
    EXPECT_EQ(encoder.EncodeHtml(""), "");
    EXPECT_EQ(encoder.EncodeHtml("Ёё"), "\xA8\xB8");
}

TEST(DemoCp1251Encoder, NamesMustFitTheCodePage) {
    Cp1251Encoder encoder;
    EXPECT_EQ(encoder.EncodeStrict("Прайс-листы"), "\xCF\xF0\xE0\xE9\xF1-\xEB\xE8\xF1\xF2\xFB");
    try {
        encoder.EncodeStrict("Цены в ₽");
        FAIL() << "the rouble sign has no Windows-1251 byte";
    } catch (const EncodingError& e) {
        EXPECT_NE(std::string(e.what()).find("U+20BD"), std::string::npos) << e.what();
    }
}

std::string ManifestFailure(const char* text) {
    try {
        ParseManifest(QString::fromUtf8(text), "library.txt");
    } catch (const ManifestError& e) {
        return e.what();
    }
    return "";
}

TEST(DemoManifest, ReadsEntries) {
    const auto entries = ParseManifest("# comment\n"
                                       "\n"
                                       "1 | 0 | 10 | folder | 1 | - | Папка\n"
                                       "2 | 1 | 20 | doc | null | a/b.html | Имя | с чертой\n"
                                       "3 | 1 | 10 | doc | 0 | @catalogue | Каталог\n",
                                       "library.txt");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].folder);
    EXPECT_EQ(entries[0].source, ContentSource::None);
    EXPECT_EQ(entries[0].needShow, 1);
    EXPECT_FALSE(entries[1].needShow.has_value());
    EXPECT_EQ(entries[1].file, "a/b.html");
    EXPECT_EQ(entries[1].name, "Имя | с чертой");
    EXPECT_EQ(entries[1].line, 4);
    EXPECT_EQ(entries[2].source, ContentSource::Catalogue);
    EXPECT_EQ(entries[2].needShow, 0);
}

TEST(DemoManifest, RejectsBrokenHierarchies) {
    EXPECT_NE(ManifestFailure("1 | 0 | 10 | doc | 1 | - | A\n1 | 0 | 20 | doc | 1 | - | B\n")
                  .find("library.txt:2: id 1 is used twice"),
              std::string::npos);
    EXPECT_NE(ManifestFailure("1 | 7 | 10 | doc | 1 | - | A\n").find("parent 7 is not listed"),
              std::string::npos);
    EXPECT_NE(ManifestFailure("1 | 0 | 10 | doc | 1 | - | A\n2 | 1 | 10 | doc | 1 | - | B\n")
                  .find("parent 1 is not a folder"),
              std::string::npos);
    EXPECT_NE(ManifestFailure("1 | 2 | 10 | folder | 1 | - | A\n2 | 1 | 10 | folder | 1 | - | B\n")
                  .find("its own ancestor"),
              std::string::npos);
    EXPECT_NE(
        ManifestFailure("x | 0 | 10 | doc | 1 | - | A\n").find("library.txt:1: id is not a number"),
        std::string::npos);
    EXPECT_NE(ManifestFailure("1 | 0 | 10 | file | 1 | - | A\n").find("kind"), std::string::npos);
    EXPECT_NE(ManifestFailure("1 | 0 | 10 | doc | 1 | -\n").find("7 fields"), std::string::npos);
    EXPECT_NE(ManifestFailure("# nothing\n").find("no entries"), std::string::npos);
}

TEST(DemoCatalogue, SameSeedSameTextLargeWithContents) {
    const QString first = GenerateCatalogue(7);
    EXPECT_EQ(first, GenerateCatalogue(7));
    EXPECT_NE(first, GenerateCatalogue(8));
    Cp1251Encoder encoder;
    const std::string bytes = encoder.EncodeHtml(GenerateCatalogue());
    EXPECT_GT(bytes.size(), 3'000'000u);
    EXPECT_LT(bytes.size(), 5'500'000u);
    // Every group in the contents list has its anchor.
    for (int group = 1; group <= 15; ++group) {
        const QString anchor = QStringLiteral("grp%1").arg(group, 2, 10, QChar(u'0'));
        EXPECT_TRUE(first.contains("href=\"#" + anchor + "\"")) << anchor.toStdString();
        EXPECT_TRUE(first.contains("name=\"" + anchor + "\"") ||
                    first.contains("id=\"" + anchor + "\""))
            << anchor.toStdString();
    }
}

} // namespace
