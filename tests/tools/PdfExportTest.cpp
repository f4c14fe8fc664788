// orvelle-export pdf run as a separate program: the PDF of a section read back with qpdf.
#include "fixtures/PdfOutline.h"
#include "fixtures/TempDir.h"
#include "kvdbuild/Cp1251.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

using namespace orvelle;
using fixtures::OutlineItem;
using kvdbuild::Cp1251;

// A document of `pages` pages: each but the last ends in a page break.
std::string PagedDocument(const std::string& title, int pages) {
    std::string html = "<html><head><title>" + title + "</title></head><body>";
    for (int page = 1; page <= pages; ++page) {
        html += "<div" + std::string(page < pages ? " style=\"break-after:page\"" : "") + "><p>" +
                title + " " + std::to_string(page) + "</p></div>";
    }
    return html + "</body></html>";
}

// 1 «Раздел А» (folder, 1 page)
//   11 «Документ А1» (2 pages), 12 «Подраздел» (folder, 1 page) with 121 «Документ А2»
//   (3 pages), 13 hidden, 14 «Зависший» (a script that never ends)
// 2 «Документ Б» (1 page)
void BuildSectionLibrary(const std::string& path) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    // idparent, id, childcount, name, orderview, idcontents, ispapka, needshow
    kvdbuild::AddRegisterRows(builder, {
                                           {0, 1, 4, Cp1251(u8"Раздел А"), 1, 101, 1, 1},
                                           {1, 14, 0, Cp1251(u8"Зависший"), 4, 114, 0, 1},
                                           {1, 11, 0, Cp1251(u8"Документ А1"), 1, 111, 0, 1},
                                           {1, 12, 1, Cp1251(u8"Подраздел"), 2, 112, 1, 1},
                                           {12, 121, 0, Cp1251(u8"Документ А2"), 1, 1121, 0, 1},
                                           {1, 13, 0, Cp1251(u8"Скрытый"), 3, 113, 0, 0},
                                           {0, 2, 0, Cp1251(u8"Документ Б"), 2, 102, 0, 1},
                                       });
    kvdbuild::AddContent(builder, 101, PagedDocument("A", 1));
    kvdbuild::AddContent(builder, 111, PagedDocument("A1", 2));
    kvdbuild::AddContent(builder, 112, PagedDocument("Sub", 1));
    kvdbuild::AddContent(builder, 1121, PagedDocument("A2", 3));
    kvdbuild::AddContent(builder, 113, PagedDocument("Hidden", 5));
    kvdbuild::AddContent(builder, 114, "<html><body><p>stuck</p><script>for(;;){}</script>");
    kvdbuild::AddContent(builder, 102, PagedDocument("B", 1));
    builder.Close();
}

struct Outcome {
    int exitCode = -1;
    QByteArray err;
};

QProcess* StartExport(const QStringList& arguments) {
    auto* process = new QProcess;
    process->start(QStringLiteral(ORVELLE_EXPORT), arguments);
    return process;
}

Outcome Finish(QProcess* process) {
    Outcome run;
    if (process->waitForFinished(120000) && process->exitStatus() == QProcess::NormalExit) {
        run.exitCode = process->exitCode();
    }
    run.err = process->readAllStandardError();
    delete process;
    return run;
}

class PdfExport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new fixtures::TempDir();
        BuildSectionLibrary(folder_->File("sections.kvd"));
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static QString Library() { return QString::fromStdString(folder_->File("sections.kvd")); }
    static QString Out(const std::string& name) {
        return QString::fromStdString(folder_->File(name));
    }
    // What is in the folder besides the library: no temporary part may stay behind.
    static QStringList Leftovers(const QStringList& expected) {
        QStringList files = QDir(QString::fromStdString(folder_->Path().string()))
                                .entryList(QDir::Files | QDir::Hidden);
        files.removeAll(QStringLiteral("sections.kvd"));
        for (const QString& name : expected) {
            files.removeAll(name);
        }
        return files;
    }
    static fixtures::TempDir* folder_;
};

fixtures::TempDir* PdfExport::folder_ = nullptr;

OutlineItem Item(const char8_t* title, int depth, int page) {
    return {reinterpret_cast<const char*>(title), depth, page};
}

struct SectionCase {
    const char* id;
    std::vector<OutlineItem> outline;
    int pages;
    bool skips; // the stuck document is in it
};

class PdfOfASection : public PdfExport, public ::testing::WithParamInterface<SectionCase> {};

// One outline item per entry, nested as the tree, each opening the first page of its entry;
// the pages in tree order; hidden entries left out; the stuck document skipped with a note page.
TEST_P(PdfOfASection, OutlineMirrorsTheTreeAndPagesComeInTreeOrder) {
    const SectionCase& section = GetParam();
    const std::string name = std::string("section-") + section.id + ".pdf";
    const Outcome run = Finish(StartExport(
        {"pdf", Library(), section.id, Out(name), "--time-limit", section.skips ? "3" : "60"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const fixtures::PdfContents pdf = fixtures::ReadPdfOutline(folder_->File(name));
    EXPECT_EQ(pdf.outline, section.outline);
    EXPECT_EQ(pdf.pages, section.pages);
    EXPECT_EQ(run.err.contains("skipped"), section.skips) << run.err.toStdString();
    EXPECT_EQ(Leftovers({QString::fromStdString(name)}), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Sections, PdfOfASection,
    ::testing::Values(SectionCase{"1",
                                  {Item(u8"Раздел А", 0, 0), Item(u8"Документ А1", 1, 1),
                                   Item(u8"Подраздел", 1, 3), Item(u8"Документ А2", 2, 4),
                                   Item(u8"Зависший", 1, 7)},
                                  8,
                                  true},
                      SectionCase{
                          "12", {Item(u8"Подраздел", 0, 0), Item(u8"Документ А2", 1, 1)}, 4, false},
                      SectionCase{"2", {Item(u8"Документ Б", 0, 0)}, 1, false}),
    [](const ::testing::TestParamInfo<SectionCase>& info) {
        return std::string("Entry") + info.param.id;
    });

// A missing entry, an interrupted run: exit 1 with a message, and the file asked for stays as
// it was, with no part of the PDF beside it.
TEST_F(PdfExport, FailureOrInterruptionLeavesNoPartialFile) {
    const std::string kept = folder_->File("kept.pdf");
    {
        std::FILE* file = std::fopen(kept.c_str(), "wb");
        std::fputs("earlier file", file);
        std::fclose(file);
    }
    for (const char* id : {"999", "13", "x"}) {
        const Outcome run = Finish(StartExport({"pdf", Library(), id, Out("kept.pdf")}));
        EXPECT_EQ(run.exitCode, 1) << id;
        EXPECT_FALSE(run.err.isEmpty()) << id;
    }
    QProcess* interrupted = StartExport({"pdf", Library(), "1", Out("kept.pdf")});
    // Terminated while the stuck document holds it up.
    interrupted->setReadChannel(QProcess::StandardError);
    QByteArray progress;
    while (!progress.contains("Зависший") && interrupted->waitForReadyRead(60000)) {
        progress += interrupted->readAllStandardError();
    }
    interrupted->terminate();
    const Outcome run = Finish(interrupted);
    EXPECT_EQ(run.exitCode, 1) << (progress + run.err).toStdString();
    EXPECT_EQ(std::filesystem::file_size(kept), std::string("earlier file").size());
    EXPECT_EQ(Leftovers({QStringLiteral("kept.pdf")}).filter(".orvelle"), QStringList());
}

} // namespace
