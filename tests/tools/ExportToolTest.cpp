// orvelle-export run as a separate program on real databases.
#include "fixtures/Databases.h"
#include "fixtures/TempDir.h"
#include "forms/BrokenRegister.h"
#include "kvdbuild/Cp1251.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

using namespace orvelle;

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome Export(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(ORVELLE_EXPORT), arguments);
    Outcome run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QString Q(const std::string& path) {
    return QString::fromStdString(path);
}

const QByteArray kTinyListing = QByteArray("D 6 Ёлка «№ 6»\n"
                                           "D 1 Справка\n"
                                           "F 2 Нормативы и расценки\n"
                                           "  D 22 Раздел 2\n"
                                           "  F 23 Подпапка\n"
                                           "    D 231 Глубокий документ\n"
                                           "  D 21 Раздел 1\n"
                                           "F 5 \n");

class ExportTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new fixtures::TempDir();
        fixtures::BuildTinyRegister(folder_->File("tiny.kvd"));
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static std::string Tiny() { return folder_->File("tiny.kvd"); }
    static fixtures::TempDir* folder_;
};

fixtures::TempDir* ExportTool::folder_ = nullptr;

TEST_F(ExportTool, TreeListsTheVisibleRegisterInDisplayOrder) {
    const Outcome run = Export({"tree", Q(Tiny())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QByteArray> lines = run.out.split('\n');
    const QList<QByteArray> expected = kTinyListing.split('\n');
    ASSERT_EQ(lines.size(), expected.size()) << run.out.toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].toStdString(), expected[i].toStdString()) << "line " << i + 1;
    EXPECT_FALSE(run.out.contains(QByteArray("Скрытая")));
    EXPECT_FALSE(run.out.contains(QByteArray("Невидимый")));
    EXPECT_FALSE(run.out.contains(QByteArray("Без признака")));
    EXPECT_TRUE(run.err.isEmpty());
}

TEST_F(ExportTool, LibraryInAFolderWithCyrillicLettersAndSpaces) {
    const std::filesystem::path folder = folder_->Path() / u8"Мои документы" / u8"Сметы 2024";
    std::filesystem::create_directories(folder);
    const std::filesystem::path library = folder / u8"Библиотека норм.kvd";
    std::filesystem::copy_file(Tiny(), library);
    const Outcome run = Export({"tree", QString::fromStdU16String(library.u16string())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), kTinyListing.toStdString());

    // A missing file there is named readably.
    const QString missing = QString::fromStdU16String((folder / u8"Нет такой.kvd").u16string());
    const Outcome failed = Export({"tree", missing});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(failed.err).contains(missing)) << failed.err.toStdString();
}

TEST_F(ExportTool, DocumentBytesComeOutUnchanged) {
    for (const auto& [id, contentId] : {std::pair{1, 101}, {22, 122}, {231, 1231}}) {
        const Outcome run = Export({"doc", Q(Tiny()), QString::number(id)});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.toStdString(), fixtures::TinyContents().at(contentId)) << "entry " << id;
    }
    // An entry whose content row is missing gives an empty document.
    const Outcome empty = Export({"doc", Q(Tiny()), "6"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_TRUE(empty.out.isEmpty());
}

TEST_F(ExportTool, DocumentConvertedToUtf8) {
    const Outcome run = Export({"doc", Q(Tiny()), "21", "--utf8"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const std::string& bytes = fixtures::TinyContents().at(121);
    EXPECT_GT(run.out.size(), static_cast<qsizetype>(bytes.size())); // Cyrillic takes two bytes
    EXPECT_TRUE(run.out.contains(QByteArray("Документ 121")));
    // Back to Windows-1251 it is the stored text again.
    EXPECT_EQ(kvdbuild::Cp1251(std::string_view(run.out.constData(), run.out.size())), bytes);
}

TEST_F(ExportTool, UnknownOrHiddenIdIsRefused) {
    for (const QString id : {"9999", "3", "31", "abc", "12x"}) {
        const Outcome run = Export({"doc", Q(Tiny()), id});
        EXPECT_EQ(run.exitCode, 2) << id.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << id.toStdString();
        EXPECT_FALSE(run.err.isEmpty()) << id.toStdString();
    }
}

TEST_F(ExportTool, FileThatIsNoDatabase) {
    const std::string text = folder_->File("text.kvd");
    fixtures::WriteFile(text, "this is not a database\n");
    for (const std::string& file : {text, folder_->File("missing.kvd")}) {
        for (const QStringList& arguments :
             {QStringList{"tree", Q(file)}, QStringList{"doc", Q(file), "1"}}) {
            const Outcome run = Export(arguments);
            EXPECT_EQ(run.exitCode, 1) << file;
            EXPECT_TRUE(run.out.isEmpty()) << file;
            EXPECT_TRUE(run.err.contains(QByteArray::fromStdString(file))) << run.err.toStdString();
        }
    }
}

TEST_F(ExportTool, RegisterWithoutAColumn) {
    const std::string file = folder_->File("noidcontents.kvd");
    fixtures::BuildRegisterWithoutIdContents(file);
    const Outcome run = Export({"tree", Q(file)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(QByteArray("Field 'idCONTENTS' not found")))
        << run.err.toStdString();
}

TEST_F(ExportTool, FailureDeepInTheRegisterKeepsTheLinesLoadedSoFar) {
    const std::string file = folder_->File("partial.kvd");
    formstest::BuildRegisterFailingAt231(file);
    const Outcome run = Export({"tree", Q(file)});
    EXPECT_EQ(run.exitCode, 1);
    QByteArray expected = kTinyListing;
    expected.replace(QByteArray("    D 231 Глубокий документ\n"), QByteArray());
    EXPECT_EQ(run.out.toStdString(), expected.toStdString());
    EXPECT_FALSE(run.err.isEmpty());
    EXPECT_TRUE(run.err.endsWith('\n'));
}

TEST_F(ExportTool, WrongArgumentsShowTheUsage) {
    for (const QStringList& arguments :
         {QStringList{}, QStringList{"tree"}, QStringList{"list", Q(Tiny())},
          QStringList{"doc", Q(Tiny()), "1", "--latin1"}}) {
        const Outcome run = Export(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(QByteArray("usage:")));
    }
}

} // namespace
