// orvelle-export diff run as a separate program on two editions of a library.
#include "fixtures/Databases.h"
#include "fixtures/Editions.h"
#include "fixtures/ExportRun.h"
#include "fixtures/TempDir.h"

#include <gtest/gtest.h>

namespace {

using namespace orvelle;

fixtures::ExportRun Export(const QStringList& arguments, const std::string& cache) {
    return fixtures::RunExport(QStringLiteral(ORVELLE_EXPORT), arguments, cache);
}

class ExportDiff : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new fixtures::TempDir;
        fixtures::BuildEditions(folder_->File("old.kvd"), folder_->File("new.kvd"));
        fixtures::WriteFile(folder_->File("broken.kvd"), std::string(9000, 'x'));
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static QString File(const char* name) { return QString::fromStdString(folder_->File(name)); }
    static std::string Cache() { return folder_->File("cache"); }

    static fixtures::TempDir* folder_;
};

fixtures::TempDir* ExportDiff::folder_ = nullptr;

struct Case {
    const char* what;
    QStringList arguments; // after "diff"; old.kvd, new.kvd and broken.kvd are in the folder
    int exitCode;
    QByteArray out; // exactly; for exit code 2 stderr holds a message and stdout nothing
};

TEST_F(ExportDiff, OutputAndExitCodes) {
    const QString oldFile = File("old.kvd");
    const QString newFile = File("new.kvd");
    const QByteArray header = ("--- " + oldFile + "\n+++ " + newFile + "\n").toUtf8();
    const Case cases[] = {
        {"every kind of change", {oldFile, newFile}, 1, fixtures::EditionChanges()},
        {"identical libraries", {oldFile, oldFile}, 0, ""},
        {"the merged tree", {oldFile, newFile, "--tree"}, 1, fixtures::EditionTree()},
        {"one entry's lines",
         {oldFile, newFile, "--entry", "13"},
         1,
         header + "@@ -1,2 +1,2 @@\n"
                  "-Расценка на разработку грунта: 120 руб.\n"
                  "+Расценка на разработку грунта: 135 руб.\n"
                  " Вторая строка.\n"},
        {"one entry's words",
         {oldFile, newFile, "--entry", "13", "--words"},
         1,
         "same\tРасценка на разработку грунта:\n"
         "deleted\t 120\n"
         "inserted\t 135\n"
         "same\t руб.\\nВторая строка.\n"},
        {"an added entry's lines",
         {oldFile, newFile, "--entry", "61"},
         1,
         header + "@@ -0,0 +1 @@\n+Новый лист.\n"},
        {"the same by content ids",
         {oldFile, newFile, "--contents", "-", "1061"},
         1,
         header + "@@ -0,0 +1 @@\n+Новый лист.\n"},
        {"content ids that read the same", {oldFile, newFile, "--contents", "1014", "1014"}, 0, ""},
        {"only the markup changed", {oldFile, newFile, "--entry", "14"}, 0, ""},
        {"no such entry", {oldFile, newFile, "--entry", "999"}, 2, ""},
        {"not a database", {File("broken.kvd"), newFile}, 2, ""},
        {"no such file", {oldFile, File("missing.kvd")}, 2, ""},
        {"one library only", {oldFile}, 2, ""},
        {"words without an entry", {oldFile, newFile, "--words"}, 2, ""},
    };
    for (const Case& c : cases) {
        const fixtures::ExportRun run = Export(QStringList{"diff"} + c.arguments, Cache());
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what << ": " << run.err.toStdString();
        EXPECT_EQ(run.out.toStdString(), c.out.toStdString()) << c.what;
        EXPECT_EQ(run.err.isEmpty(), c.exitCode != 2) << c.what << ": " << run.err.toStdString();
    }
    // A content row of one edition as stored, as `doc` gives the entry that shows it.
    const auto stored = Export({"diff", oldFile, newFile, "--stored", "old", "1016"}, Cache());
    EXPECT_EQ(stored.exitCode, 0) << stored.err.toStdString();
    EXPECT_EQ(stored.out, Export({"doc", oldFile, "16"}, Cache()).out);
    EXPECT_TRUE(stored.out.contains("</body>"));
    // The message names the library that could not be read.
    const fixtures::ExportRun broken = Export({"diff", File("broken.kvd"), newFile}, Cache());
    EXPECT_TRUE(broken.err.contains("broken.kvd")) << broken.err.toStdString();
}

TEST_F(ExportDiff, CurrentIndexesGiveTheSameAnswer) {
    for (const char* file : {"old.kvd", "new.kvd"}) {
        ASSERT_EQ(Export({"index", File(file)}, Cache()).exitCode, 0);
    }
    const fixtures::ExportRun run = Export({"diff", File("old.kvd"), File("new.kvd")}, Cache());
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), fixtures::EditionChanges());
}

} // namespace
